#include "platform/exclusivefile.h"

#include "platform/fileattr.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qsizetype kTempBaseMax = 200;
constexpr qsizetype kTempSuffix = 6; // mkostemp's XXXXXX

// The name of a temporary sibling: "." + the base name (cut) + "." + six characters.
QByteArray TempPrefix(const QByteArray& base)
{
    return '.' + base.left(kTempBaseMax) + '.';
}

bool IsTempSuffix(const char* s)
{
    for (qsizetype i = 0; i < kTempSuffix; ++i) {
        const char c = s[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    }
    return s[kTempSuffix] == '\0';
}

// The file described by open (an open file's status) is still at path, not replaced or removed.
bool StillAtPath(const struct stat& open, const QByteArray& native)
{
    struct stat named;
    return ::stat(native.constData(), &named) == 0 && open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

// The same file as the one open on fd is still at path.
bool StillAtPath(int fd, const QByteArray& native)
{
    struct stat open;
    return ::fstat(fd, &open) == 0 && StillAtPath(open, native);
}

} // namespace

void RemoveStaleTemporaries(const QString& path)
{
    const QByteArray target = NativePath(path);
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray dir = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : target.left(slash);
    const QByteArray prefix = TempPrefix(slash < 0 ? target : target.mid(slash + 1));
    DIR* d = ::opendir(dir.constData());
    if (!d)
        return;
    const int dirFd = ::dirfd(d);
    while (const dirent* entry = ::readdir(d)) {
        if (std::strncmp(entry->d_name, prefix.constData(), size_t(prefix.size())) == 0
            && IsTempSuffix(entry->d_name + prefix.size()))
            ::unlinkat(dirFd, entry->d_name, 0);
    }
    ::closedir(d);
}

bool WriteAllBytes(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

int CreateTempSibling(const QByteArray& nativeTarget, QByteArray& nativeTemp)
{
    const qsizetype slash = nativeTarget.lastIndexOf('/');
    const QByteArray dir = nativeTarget.left(slash + 1); // empty for a bare name
    nativeTemp = dir + TempPrefix(nativeTarget.mid(slash + 1)) + "XXXXXX";
    return ::mkostemp(nativeTemp.data(), O_CLOEXEC);
}

bool CommitTempSibling(int fd, bool ok, const QByteArray& nativeTemp, const QByteArray& nativeTarget)
{
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok && ::rename(nativeTemp.constData(), nativeTarget.constData()) == 0)
        return true;
    ::unlink(nativeTemp.constData());
    return false;
}

bool ReplaceFileContent(const QString& path, const QByteArray& content)
{
    const QByteArray target = NativePath(path);
    QByteArray temp;
    const int fd = CreateTempSibling(target, temp);
    if (fd < 0)
        return false;
    bool ok = WriteAllBytes(fd, content.constData(), content.size());
    ok = ::fchmod(fd, 0644) == 0 && ok;
    return CommitTempSibling(fd, ok, temp, target);
}

CFile::~CFile()
{
    // Only Close() stores: a writer that returns early or throws leaves the old file as it was.
    Abort();
}

bool CFile::Open(const QString& path, Mode mode)
{
    if (m_open || path.isEmpty())
        return false;
    const QByteArray native = NativePath(path);
    // Non-blocking, so that a pipe or device under the file's name cannot hang the open; only a
    // regular file is accepted below.
    int fd = ::open(native.constData(), (mode == modeRead ? O_RDONLY : O_RDWR) | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0 && mode == modeCreate && errno == ENOENT) {
        // Nothing to lock yet: the file comes into being whole when Close() commits it. The folder
        // must exist and be writable for that, which the probe below tells now.
        const qsizetype slash = native.lastIndexOf('/');
        const QByteArray dir = slash <= 0 ? QByteArray(slash == 0 ? "/" : ".") : native.left(slash);
        struct stat st;
        if (::stat(dir.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || ::access(dir.constData(), W_OK) != 0)
            return false;
        if (native.size() - slash - 1 > 255 - 8) // room for the temporary name's suffix
            return false;
    } else if (fd < 0) {
        return false;
    } else {
        struct stat st;
        // A writer that held the file until just now may have replaced it between our open and
        // our lock: the lock would then be on the old file, which is no longer the one at path.
        // That matters only to an operation that may rewrite or remove the file (Remove checks
        // again on its own); a plain read of the version just replaced is as good as a read just
        // before. An open file's device and inode never change, so the status taken before the
        // lock serves the comparison after it.
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::flock(fd, LOCK_EX | LOCK_NB) != 0
            || (mode != modeRead && !StillAtPath(st, native))) {
            ::close(fd);
            return false;
        }
    }
    m_path = path;
    m_mode = mode;
    m_fd = fd;
    m_open = true;
    m_pos = 0;
    m_dirty = mode == modeCreate;
    m_loaded = mode == modeCreate;
    m_content.clear();
    return true;
}

void CFile::LoadWholeFile()
{
    if (m_loaded)
        return;
    m_content.clear();
    if (m_fd >= 0) {
        char buffer[65536];
        qint64 offset = 0;
        for (;;) {
            const ssize_t n = ::pread(m_fd, buffer, sizeof buffer, offset);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            m_content.append(buffer, n);
            offset += n;
        }
    }
    m_loaded = true;
}

QByteArray CFile::Read(qint64 maxBytes)
{
    if (!m_open || maxBytes <= 0 || m_pos < 0)
        return {};
    if (m_loaded) {
        const QByteArray out = m_content.mid(m_pos, maxBytes);
        m_pos += out.size();
        return out;
    }
    QByteArray out(maxBytes, Qt::Uninitialized);
    qint64 got = 0;
    while (got < maxBytes) {
        const ssize_t n = ::pread(m_fd, out.data() + got, static_cast<size_t>(maxBytes - got), m_pos + got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += n;
        // A short read of a regular file is its end: asking again would only return 0.
        if (n < maxBytes - (got - n))
            break;
    }
    out.truncate(got);
    m_pos += got;
    return out;
}

void CFile::Write(const QByteArray& bytes)
{
    if (!m_open || m_mode == modeRead)
        return;
    LoadWholeFile();
    if (m_content.size() < m_pos)
        m_content.append(QByteArray(m_pos - m_content.size(), '\0'));
    m_content.replace(m_pos, qMin<qint64>(bytes.size(), m_content.size() - m_pos), bytes);
    m_pos += bytes.size();
    m_dirty = true;
}

void CFile::SetLength(qint64 length)
{
    if (!m_open || m_mode == modeRead || length < 0)
        return;
    if (length == 0) {
        m_content.clear();
        m_loaded = true;
    } else {
        LoadWholeFile();
        m_content.resize(length, '\0');
    }
    m_dirty = true;
}

bool CFile::Close()
{
    if (!m_open)
        return false;
    bool ok = true;
    if (m_dirty) {
        // Holding the lock, we are this file's only writer: what a killed one left is litter.
        if (m_fd >= 0)
            RemoveStaleTemporaries(m_path);
        ok = ReplaceFileContent(m_path, m_content);
    }
    Abort();
    return ok;
}

bool CFile::Remove()
{
    if (!m_open)
        return false;
    const QByteArray native = NativePath(m_path);
    const bool removed = m_fd >= 0 && StillAtPath(m_fd, native) && ::unlink(native.constData()) == 0;
    Abort();
    return removed;
}

void CFile::Abort()
{
    if (m_fd >= 0)
        ::close(m_fd); // releases the lock
    m_fd = -1;
    m_open = false;
    m_dirty = false;
    m_loaded = false;
    m_content.clear();
    m_pos = 0;
}
