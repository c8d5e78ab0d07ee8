#include "app/rootchoice.h"

#include "platform/fileattr.h"
#include "platform/filenames.h"
#include "platform/filesystem.h"
#include "platform/messageport.h"
#include "platform/shellport.h"

#include <QDir>
#include <QSettings>

namespace {

const QString kRootKey = QStringLiteral("root");

QString Beside(const QString& folder, const QString& name)
{
    return folder + u'/' + name;
}

// Every path here is taken by its bytes (filenames.h): Qt's own file classes would read a name
// that is not UTF-8 as another one.
bool IsFile(const QString& path)
{
    const std::uint32_t attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_ARCHIVE);
}

} // namespace

bool IsInstalledProgram(const QString& programDir, const QString& installedBinDir)
{
    if (programDir.isEmpty() || installedBinDir.isEmpty())
        return false;
    // /bin and /usr/bin are one folder on merged-/usr systems.
    const QString program = Fs().CanonicalPath(programDir);
    return !program.isEmpty() && program == Fs().CanonicalPath(installedBinDir);
}

QString CleanFolderPath(const QString& path)
{
    return QDir::cleanPath(path.startsWith(u'/') ? path : WorkingFolder() + u'/' + path);
}

bool IsExistingFolder(const QString& path)
{
    const std::uint32_t attributes = path.isEmpty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)
           && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool IsOtherThanFolder(const QString& path)
{
    // A link that leads nowhere stands for a folder that has gone.
    const std::uint32_t attributes = path.isEmpty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES
           && !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
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
    if (IsOtherThanFolder(goneRoot))
        ShowMessage(FormatMessage(QStringLiteral("上次使用的根目录不是文件夹：%s\n请重新选择根目录。"), { goneRoot }));
    else if (!goneRoot.isEmpty())
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
    const QVariant value = settings.value(kRootKey);
    if (value.typeId() == QMetaType::QByteArray)
        return DecodeFileName(value.toByteArray());
    return value.toString();
}

void StoreRoot(QSettings& settings, const QString& root)
{
    // A name that is not UTF-8 is kept as its bytes (a text would keep U+FFFD in their place); any
    // other stays a text, as older settings files hold it and a person reads it.
    if (HasRawBytes(root))
        settings.setValue(kRootKey, EncodeFileName(root));
    else
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
    if (IsFile(Beside(root, name)))
        return Beside(root, name);
    for (const QString& folder : { programDir, installedDocDir }) {
        if (!folder.isEmpty() && IsFile(Beside(folder, name)))
            return Beside(folder, name);
    }
    return Beside(root, name);
}
