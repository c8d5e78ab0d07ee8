#include "app/commandline.h"

#include "app/rootchoice.h"

#include <QCommandLineParser>
#include <QDir>

namespace {

const QString kVersion = QStringLiteral("2.0.5");

} // namespace

CommandLine ParseCommandLine(const QStringList& arguments)
{
    // Qt's own help and version options print English texts, so both are plain options here.
    QCommandLineParser parser;
    const QCommandLineOption help({ QStringLiteral("h"), QStringLiteral("help") }, QString());
    const QCommandLineOption version({ QStringLiteral("v"), QStringLiteral("version") }, QString());
    parser.addOption(help);
    parser.addOption(version);

    CommandLine result;
    if (!parser.parse(arguments)) {
        result.action = CommandLine::Error;
        const QStringList unknown = parser.unknownOptionNames();
        result.error = unknown.isEmpty()
            ? parser.errorText()
            : QStringLiteral("未知选项：%1").arg((unknown.first().size() == 1 ? QStringLiteral("-") : QStringLiteral("--"))
                                                 + unknown.first());
        return result;
    }
    if (parser.isSet(help)) {
        result.action = CommandLine::Help;
        return result;
    }
    if (parser.isSet(version)) {
        result.action = CommandLine::Version;
        return result;
    }
    const QStringList folders = parser.positionalArguments();
    if (folders.size() > 1) {
        result.action = CommandLine::Error;
        result.error = QStringLiteral("只能给出一个文件夹，却给出了 %1 个。").arg(folders.size());
        return result;
    }
    if (!folders.isEmpty())
        result.folder = folders.first();
    return result;
}

QString HelpText(const QString& rootAccount)
{
    return QStringLiteral(
               "用法：quillbrook [选项] [文件夹]\n"
               "Quillbrook %1：按目录管理文档，并按定时方案提醒。\n"
               "\n"
               "参数：\n"
               "  文件夹         以此文件夹为根目录，列出它下面两层的文档目录。\n"
               "\n"
               "选项：\n"
               "  -h, --help     显示本帮助后退出。\n"
               "  -v, --version  显示版本号后退出。\n"
               "\n"
               "根目录：\n"
               "  给出文件夹时，就以它为根目录；安装的程序会记住它，下次不给文件夹时沿用。\n"
               "  不给文件夹时，便携副本（不在安装目录中的程序）以自己所在的文件夹为根目录；\n"
               "  安装的程序沿用上次给出的文件夹，第一次启动时请您选择一个文件夹。\n"
               "  文件夹不存在或不是文件夹时，程序说明原因并以状态 2 退出。\n"
               "  现在不给文件夹启动时的根目录：%2\n"
               "\n"
               "程序运行时才会提醒；关闭期间错过的提醒在下次启动时补发一次。\n")
        .arg(kVersion, rootAccount);
}

QString VersionText()
{
    return QStringLiteral("Quillbrook %1\n").arg(kVersion);
}

QString RootAccount(const QString& programDir, const QString& installedBinDir, const QString& storedRoot)
{
    const RootChoice choice = ChooseRoot(programDir, installedBinDir, QString(), storedRoot);
    if (choice.kind == RootChoice::Use)
        return QDir::toNativeSeparators(choice.root);
    if (choice.root.isEmpty())
        return QStringLiteral("尚未选择（启动时会请您选择文件夹）");
    return QStringLiteral("%1 已不存在（启动时会请您重新选择）").arg(QDir::toNativeSeparators(choice.root));
}
