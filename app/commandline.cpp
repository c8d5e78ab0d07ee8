#include "app/commandline.h"

#include "app/rootchoice.h"
#include "platform/filenames.h"

#include <QDir>

namespace {

const QString kVersion = QStringLiteral("2.0.5");
const QString kFileUrl = QStringLiteral("file://");

// A folder given as a file URL: its bytes percent-encoded, so that any name can be written in
// plain ASCII (the autostart entry names a root that way when a desktop entry cannot carry it).
// False with an error when the URL does not name a folder on this machine.
bool FolderFromFileUrl(const QString& url, QString& folder, QString& error)
{
    const QString rest = url.mid(kFileUrl.size());
    const qsizetype slash = rest.indexOf(u'/');
    const QString host = rest.left(slash);
    const QByteArray bytes = slash < 0 ? QByteArray() : QByteArray::fromPercentEncoding(EncodeFileName(QStringView(rest).mid(slash)));
    if ((!host.isEmpty() && host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) != 0) || bytes.isEmpty()
        || bytes.contains('\0')) {
        error = QStringLiteral("不是本机文件夹的网址：%1").arg(ReadableName(url));
        return false;
    }
    folder = DecodeFileName(bytes);
    return true;
}

} // namespace

CommandLine ParseCommandLine(const QStringList& arguments)
{
    // By hand rather than with Qt's parser: Qt reads "-dash" as four options and says what is
    // wrong in English.
    CommandLine result;
    bool help = false, version = false, optionsEnd = false;
    QStringList folders;
    QString optionError;
    for (const QString& argument : arguments.mid(1)) {
        if (optionsEnd || argument.size() < 2 || !argument.startsWith(u'-')) {
            folders.append(argument);
        } else if (argument == QStringLiteral("--")) {
            optionsEnd = true;
        } else if (argument == QStringLiteral("-h") || argument == QStringLiteral("--help")) {
            help = true;
        } else if (argument == QStringLiteral("-v") || argument == QStringLiteral("--version")) {
            version = true;
        } else if (optionError.isEmpty()) {
            const QString name = argument.section(u'=', 0, 0);
            if (argument.contains(u'=') && (name == QStringLiteral("--help") || name == QStringLiteral("--version")))
                optionError = QStringLiteral("选项 %1 不带值：%2").arg(name, ReadableName(argument));
            else
                optionError = QStringLiteral("未知选项：%1\n以“-”开头的文件夹请写在 -- 之后：quillbrook -- %1")
                                  .arg(ReadableName(argument));
        }
    }
    if (!optionError.isEmpty()) {
        result.action = CommandLine::Error;
        result.error = optionError;
        return result;
    }
    if (help || version) {
        result.action = help ? CommandLine::Help : CommandLine::Version;
        return result;
    }
    if (folders.size() > 1) {
        result.action = CommandLine::Error;
        result.error = QStringLiteral("只能给出一个文件夹，却给出了 %1 个。").arg(folders.size());
        return result;
    }
    if (folders.isEmpty())
        return result;
    result.folder = folders.first();
    if (result.folder.isEmpty()) {
        // Not the same as no folder: a script whose variable came out empty must not start on another root.
        result.action = CommandLine::Error;
        result.error = QStringLiteral("文件夹名是空的。不给文件夹时，请不要写这个参数。");
        return result;
    }
    if (result.folder.startsWith(kFileUrl, Qt::CaseInsensitive) && !FolderFromFileUrl(result.folder, result.folder, result.error))
        result.action = CommandLine::Error;
    return result;
}

QString HelpText(const QString& rootAccount)
{
    return QStringLiteral(
               "用法：quillbrook [选项] [--] [文件夹]\n"
               "Quillbrook %1：按目录管理文档，并按定时方案提醒。\n"
               "\n"
               "参数：\n"
               "  文件夹         以此文件夹为根目录，列出它下面两层的文档目录。\n"
               "                 也可写成 file:// 网址，名字的字节按百分号编码。\n"
               "\n"
               "选项：\n"
               "  -h, --help     显示本帮助后退出。\n"
               "  -v, --version  显示版本号后退出。\n"
               "  --             其后的参数都是文件夹，即使以“-”开头：quillbrook -- -文件夹\n"
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
    const QString root = ReadableName(QDir::toNativeSeparators(choice.root));
    if (choice.kind == RootChoice::Use)
        return root;
    if (choice.root.isEmpty())
        return QStringLiteral("尚未选择（启动时会请您选择文件夹）");
    if (IsOtherThanFolder(choice.root))
        return QStringLiteral("%1 不是文件夹（启动时会请您重新选择）").arg(root);
    return QStringLiteral("%1 已不存在（启动时会请您重新选择）").arg(root);
}
