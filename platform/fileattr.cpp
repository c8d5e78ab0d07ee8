#include "platform/fileattr.h"

#include "platform/filenames.h"
#include "platform/filesystem.h"

#include <cstdlib>
#include <unistd.h>

QByteArray NativePath(const QString& path)
{
    return EncodeFileName(path);
}

std::uint32_t GetFileAttributesW(const QString& path)
{
    return Fs().Attributes(path);
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
    return Fs().Remove(path, nullptr);
}

bool CreateDirectoryW(const QString& path)
{
    return Fs().MakeFolder(path);
}

QString WorkingFolder()
{
    char* bytes = ::getcwd(nullptr, 0);
    const QString folder = bytes ? DecodeFileName(QByteArrayView(bytes)) : QStringLiteral("/");
    std::free(bytes);
    return folder;
}
