#include "platform/filestamp.h"

#include "platform/fileattr.h"

#include <sys/stat.h>
#include <unistd.h>

bool GetFileStamp(const QString& path, FileStamp& out)
{
    struct stat st;
    if (::stat(NativePath(path).constData(), &st) != 0)
        return false;
    out.device = st.st_dev;
    out.inode = st.st_ino;
    out.size = st.st_size;
    out.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return true;
}

bool CanRemoveFrom(const QString& path)
{
    const QByteArray native = NativePath(path);
    const qsizetype slash = native.lastIndexOf('/');
    const QByteArray dir = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : native.left(slash);
    // access() answers for root too on a read-only mount (EROFS).
    return ::access(dir.constData(), W_OK | X_OK) == 0;
}
