#include "app/rootchoice.h"

#include "platform/messageport.h"
#include "platform/shellport.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {

const QString kRootKey = QStringLiteral("root");

QString Beside(const QString& folder, const QString& name)
{
    return folder + u'/' + name;
}

} // namespace

bool IsInstalledProgram(const QString& programDir, const QString& installedBinDir)
{
    if (programDir.isEmpty() || installedBinDir.isEmpty())
        return false;
    // /bin and /usr/bin are one folder on merged-/usr systems.
    const QString program = QFileInfo(programDir).canonicalFilePath();
    return !program.isEmpty() && program == QFileInfo(installedBinDir).canonicalFilePath();
}

QString CleanFolderPath(const QString& path)
{
    return QDir::cleanPath(QDir(path).absolutePath());
}

bool IsExistingFolder(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

RootChoice ChooseRoot(const QString& programDir, const QString& installedBinDir, const QString& argument,
                      const QString& storedRoot)
{
    RootChoice choice;
    if (!argument.isEmpty()) {
        if (!IsExistingFolder(argument)) {
            choice.kind = RootChoice::BadArgument;
            choice.badFolder = argument;
            return choice;
        }
        choice.root = CleanFolderPath(argument);
        return choice;
    }
    if (!IsInstalledProgram(programDir, installedBinDir)) {
        choice.root = programDir; // a portable copy: its own folder, as always
        return choice;
    }
    if (IsExistingFolder(storedRoot)) {
        choice.root = CleanFolderPath(storedRoot);
        return choice;
    }
    choice.kind = RootChoice::Ask;
    choice.root = storedRoot;
    return choice;
}

QString AskForRoot(const QString& goneRoot)
{
    if (!goneRoot.isEmpty())
        ShowMessage(FormatMessage(QStringLiteral("上次使用的根目录已不存在：%s\n请重新选择根目录。"), { goneRoot }));
    for (;;) {
        const QString picked = Shell().BrowseForFolder(QStringLiteral("选择根目录（要管理的文档文件夹）"));
        if (picked.isEmpty())
            return {};
        if (IsExistingFolder(picked))
            return CleanFolderPath(picked);
        ShowMessage(NotAFolderMessage(picked));
    }
}

QString StoredRoot(const QSettings& settings)
{
    return settings.value(kRootKey).toString();
}

void StoreRoot(QSettings& settings, const QString& root)
{
    settings.setValue(kRootKey, root);
    settings.sync();
}

QString NotAFolderMessage(const QString& folder)
{
    return FormatMessage(QStringLiteral("文件夹不存在或不是文件夹：%s"), { folder });
}

QString HelpDocumentPath(const QString& root, const QString& programDir, const QString& installedDocDir)
{
    const QString name = QStringLiteral("说明.pdf");
    // An empty root is the file system's root; the other two are skipped when unknown.
    if (QFileInfo(Beside(root, name)).isFile())
        return Beside(root, name);
    for (const QString& folder : { programDir, installedDocDir }) {
        if (!folder.isEmpty() && QFileInfo(Beside(folder, name)).isFile())
            return Beside(folder, name);
    }
    return Beside(root, name);
}
