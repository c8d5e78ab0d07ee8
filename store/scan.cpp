#include "store/scan.h"

#include "platform/fileattr.h"
#include "platform/messageport.h"
#include "store/desc.h"

#include <QFile>
#include <dirent.h>

namespace {

void ListEntries(const QString& folder, QStringList& names, std::uint32_t wanted)
{
    DIR* dir = ::opendir(NativePath(folder).constData());
    if (!dir)
        return;
    const int dirFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        const std::uint32_t attributes = GetEntryAttributes(dirFd, name, entry->d_type);
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            ShowMessage(FormatMessage(QStringLiteral("%s获取属性异常！"),
                                      { JoinPath(folder, QFile::decodeName(name)) }));
            break;
        }
        if (attributes & wanted)
            names.append(QFile::decodeName(name));
    }
    ::closedir(dir);
}

} // namespace

void ListSubDirs(QString folder, QStringList& names)
{
    ListEntries(folder, names, FILE_ATTRIBUTE_DIRECTORY);
}

void ListDirFiles(QString folder, QStringList& names)
{
    ListEntries(folder, names, FILE_ATTRIBUTE_ARCHIVE);
}

QStringList CollectRowPaths(const QString& root)
{
    QStringList first;
    ListSubDirs(root, first);
    QStringList rows;
    QStringList second;
    for (const QString& name : std::as_const(first)) {
        const QString path = JoinPath(root, name);
        if (IsManagedDir(path)) {
            rows.append(path);
            continue;
        }
        second.clear();
        ListSubDirs(path, second);
        if (second.isEmpty()) {
            rows.append(path);
            continue;
        }
        for (const QString& sub : std::as_const(second))
            rows.append(JoinPath(path, sub));
    }
    return rows;
}
