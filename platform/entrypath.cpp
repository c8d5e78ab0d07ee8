#include "platform/entrypath.h"

#include "platform/fileattr.h"

#include <QFile>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

namespace {

char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool SameIgnoringAsciiCase(const char* entry, const QByteArray& name)
{
    if (std::strlen(entry) != std::size_t(name.size()))
        return false;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (AsciiLower(entry[i]) != AsciiLower(name[i]))
            return false;
    }
    return true;
}

} // namespace

QString JoinPath(const QString& folder, const QString& name)
{
    // The file system's top folder "/" already ends in the separator.
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

QString FindEntryPath(const QString& folder, const QString& name)
{
    const QString exact = JoinPath(folder, name);
    struct stat st;
    if (::lstat(NativePath(exact).constData(), &st) == 0)
        return exact;
    DIR* dir = ::opendir(NativePath(folder).constData());
    if (!dir)
        return exact;
    const QByteArray wanted = QFile::encodeName(name);
    QByteArray found;
    while (const dirent* entry = ::readdir(dir)) {
        if (SameIgnoringAsciiCase(entry->d_name, wanted) && (found.isEmpty() || found > entry->d_name))
            found = entry->d_name;
    }
    ::closedir(dir);
    return found.isEmpty() ? exact : JoinPath(folder, QFile::decodeName(found));
}
