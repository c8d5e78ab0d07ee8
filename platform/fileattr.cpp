#include "platform/fileattr.h"

#include "platform/filenames.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::uint32_t AttributesFromStat(const struct stat& st)
{
    if (S_ISDIR(st.st_mode))
        return FILE_ATTRIBUTE_DIRECTORY;
    if (S_ISREG(st.st_mode))
        return FILE_ATTRIBUTE_ARCHIVE;
    return FILE_ATTRIBUTE_NORMAL;
}

QByteArray g_failingName;

} // namespace

void SetFailingAttributeName(const QByteArray& name)
{
    g_failingName = name;
}

QByteArray NativePath(const QString& path)
{
    return EncodeFileName(path);
}

std::uint32_t GetFileAttributesAt(int dirFd, const char* name)
{
    if (!g_failingName.isEmpty()) {
        const char* base = std::strrchr(name, '/');
        if (g_failingName == (base ? base + 1 : name))
            return INVALID_FILE_ATTRIBUTES;
    }
    struct stat st;
    if (::fstatat(dirFd, name, &st, 0) == 0)
        return AttributesFromStat(st);
    // A link whose target is missing, or that loops, still exists as an entry.
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0)
        return FILE_ATTRIBUTE_REPARSE_POINT;
    return INVALID_FILE_ATTRIBUTES;
}

std::uint32_t GetEntryAttributes(int dirFd, const char* name, unsigned char direntType)
{
    if (g_failingName.isEmpty()) {
        if (direntType == DT_DIR)
            return FILE_ATTRIBUTE_DIRECTORY;
        if (direntType == DT_REG)
            return FILE_ATTRIBUTE_ARCHIVE;
    }
    return GetFileAttributesAt(dirFd, name);
}

std::uint32_t GetFileAttributesW(const QString& path)
{
    if (path.isEmpty())
        return INVALID_FILE_ATTRIBUTES;
    const QByteArray native = NativePath(path);
    return GetFileAttributesAt(AT_FDCWD, native.constData());
}

bool PathExists(const QString& path)
{
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

bool IsSameOrBelow(const QString& path, const QString& base)
{
    return path == base || path.startsWith(base.endsWith(u'/') ? base : base + u'/');
}

bool DeleteFileW(const QString& path)
{
    const QByteArray native = NativePath(path);
    return !path.isEmpty() && ::unlink(native.constData()) == 0;
}

bool CreateDirectoryW(const QString& path)
{
    const QByteArray native = NativePath(path);
    return !path.isEmpty() && ::mkdir(native.constData(), 0777) == 0;
}
