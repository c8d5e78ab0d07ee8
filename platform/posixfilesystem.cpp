#include "platform/posixfilesystem.h"

#include "platform/fileattr.h"

#include <QFile>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <thread>
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

// Removes the temporary siblings of target that a writer killed before its rename left behind.
void RemoveStaleTemporaries(const QByteArray& target)
{
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

// A hidden temporary file beside the target (same folder, so the rename stays on one file system).
int CreateTempSibling(const QByteArray& nativeTarget, QByteArray& nativeTemp)
{
    const qsizetype slash = nativeTarget.lastIndexOf('/');
    const QByteArray dir = nativeTarget.left(slash + 1); // empty for a bare name
    nativeTemp = dir + TempPrefix(nativeTarget.mid(slash + 1)) + "XXXXXX";
    return ::mkostemp(nativeTemp.data(), O_CLOEXEC);
}

// Closes fd; when ok so far, syncs and renames temp over target. The temporary file never stays.
bool CommitTempSibling(int fd, bool ok, const QByteArray& nativeTemp, const QByteArray& nativeTarget)
{
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok && ::rename(nativeTemp.constData(), nativeTarget.constData()) == 0)
        return true;
    ::unlink(nativeTemp.constData());
    return false;
}

std::uint32_t AttributesFromStat(const struct stat& st)
{
    if (S_ISDIR(st.st_mode))
        return FILE_ATTRIBUTE_DIRECTORY;
    if (S_ISREG(st.st_mode))
        return FILE_ATTRIBUTE_ARCHIVE;
    return FILE_ATTRIBUTE_NORMAL;
}

std::uint32_t AttributesAt(int dirFd, const char* name)
{
    struct stat st;
    if (::fstatat(dirFd, name, &st, 0) == 0)
        return AttributesFromStat(st);
    // A link whose target is missing, or that loops, still exists as an entry.
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0)
        return FILE_ATTRIBUTE_REPARSE_POINT;
    return INVALID_FILE_ATTRIBUTES;
}

// The file described by an open file's status is still at path, not replaced or removed.
bool StillAtPath(quint64 device, quint64 inode, const QByteArray& native)
{
    struct stat named;
    return ::stat(native.constData(), &named) == 0 && quint64(named.st_dev) == device && quint64(named.st_ino) == inode;
}

// The folder of a file that does not exist yet can take it: it is a writable folder, and the
// name leaves room for the temporary name's suffix.
bool FolderCanTakeNewFile(const QByteArray& native)
{
    const qsizetype slash = native.lastIndexOf('/');
    const QByteArray dir = slash <= 0 ? QByteArray(slash == 0 ? "/" : ".") : native.left(slash);
    struct stat st;
    if (::stat(dir.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || ::access(dir.constData(), W_OK) != 0)
        return false;
    return native.size() - slash - 1 <= 255 - 8;
}

class Fd
{
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return m_fd; }
    int Release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

} // namespace

void LockedFile::Close()
{
    if (m_fd >= 0)
        ::close(m_fd); // releases the lock
    m_fd = -1;
    m_device = m_inode = 0;
    m_size = 0;
}

qint64 LockedFile::ReadAt(char* data, qint64 size, qint64 offset) const
{
    qint64 got = 0;
    while (m_fd >= 0 && got < size) {
        const ssize_t n = ::pread(m_fd, data + got, static_cast<size_t>(size - got), offset + got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += n;
        // A short read of a regular file is its end: asking again would only return 0.
        if (n < size - (got - n))
            break;
    }
    return got;
}

bool PosixFileSystem::Enumerate(const QString& folder, EntryVisitor& visitor)
{
    DIR* dir = ::opendir(NativePath(folder).constData());
    if (!dir)
        return false;
    const int dirFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        // The entry's type, where the file system gives one, spares the query; links are followed.
        const std::uint32_t attributes = entry->d_type == DT_DIR ? FILE_ATTRIBUTE_DIRECTORY
            : entry->d_type == DT_REG                           ? FILE_ATTRIBUTE_ARCHIVE
                                                                : AttributesAt(dirFd, name);
        if (!visitor.Entry(name, attributes))
            break;
    }
    ::closedir(dir);
    return true;
}

std::uint32_t PosixFileSystem::Attributes(const QString& path)
{
    if (path.isEmpty())
        return INVALID_FILE_ATTRIBUTES;
    return AttributesAt(AT_FDCWD, NativePath(path).constData());
}

QString PosixFileSystem::CanonicalPath(const QString& path)
{
    char real[PATH_MAX];
    if (path.isEmpty() || !::realpath(NativePath(path).constData(), real))
        return {};
    return QFile::decodeName(real);
}

FileSystem::OpenStatus PosixFileSystem::OpenExclusive(const QString& path, Access access, LockedFile& file)
{
    const auto start = std::chrono::steady_clock::now();
    const auto wait = std::chrono::milliseconds(m_lockWaitMs);
    for (;;) {
        const OpenStatus status = TryOpenExclusive(path, access, file);
        if (status != OpenStatus::Held || std::chrono::steady_clock::now() - start >= wait)
            return status;
        std::this_thread::sleep_for(std::chrono::milliseconds(kLockStepMs));
    }
}

FileSystem::OpenStatus PosixFileSystem::TryOpenExclusive(const QString& path, Access access, LockedFile& file)
{
    file.Close();
    if (path.isEmpty())
        return OpenStatus::Failed;
    const QByteArray native = NativePath(path);
    // Non-blocking, so that a pipe or device under the file's name cannot hang the open; only a
    // regular file is accepted below.
    const int fd = ::open(native.constData(), (access == Access::Read ? O_RDONLY : O_RDWR) | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        if (errno != ENOENT)
            return OpenStatus::Failed;
        // Nothing to lock yet: a new file comes into being whole when it is replaced in. The
        // folder must exist and be writable for that, which the probe tells now.
        return access != Access::Create || FolderCanTakeNewFile(native) ? OpenStatus::NoFile : OpenStatus::Failed;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return OpenStatus::Failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return OpenStatus::Held;
    }
    // A writer that held the file until just now may have replaced it between our open and our
    // lock: the lock would then be on the old file, which is no longer the one at path. That
    // matters only to an operation that may rewrite or remove the file (removal checks again on
    // its own); a plain read of the version just replaced is as good as a read just before. An
    // open file's device and inode never change, so the status taken before the lock serves.
    // The new file is then tried as a held one would be.
    if (access != Access::Read && !StillAtPath(st.st_dev, st.st_ino, native)) {
        ::close(fd);
        return OpenStatus::Held;
    }
    file.m_fd = fd;
    file.m_device = st.st_dev;
    file.m_inode = st.st_ino;
    file.m_size = st.st_size;
    return OpenStatus::Opened;
}

int PosixFileSystem::BeforeWrite(qint64)
{
    return 0;
}

bool PosixFileSystem::WriteAll(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        if (const int error = BeforeWrite(size)) {
            errno = error;
            return false;
        }
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

bool PosixFileSystem::Replace(const QString& path, const QByteArray& content, const LockedFile* held)
{
    const QByteArray target = NativePath(path);
    if (held)
        RemoveStaleTemporaries(target);
    QByteArray temp;
    const int fd = CreateTempSibling(target, temp);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, content.constData(), content.size());
    ok = ::fchmod(fd, 0644) == 0 && ok;
    return CommitTempSibling(fd, ok, temp, target);
}

bool PosixFileSystem::CopyContent(int in, int out, qint64 total, const QString& name, const CopyProgressFn& progress)
{
    static char buffer[1 << 17];
    qint64 done = 0;
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        if (!WriteAll(out, buffer, n))
            return false;
        done += n;
        if (progress)
            progress({ name, done, total });
    }
}

bool PosixFileSystem::Copy(const QString& source, const QString& target, const CopyProgressFn& progress)
{
    // The source is opened with the exclusive lock every opener of this program takes, so a file
    // that another process holds is not copied.
    LockedFile in;
    if (OpenExclusive(source, Access::Read, in) != OpenStatus::Opened)
        return false;
    struct stat st;
    if (::fstat(in.m_fd, &st) != 0)
        return false;
    // An existing copy that someone holds is not replaced either; it stays locked until it is.
    // A target that is the source itself (reached through a link) is already locked by the open
    // above and is refused here.
    LockedFile existing;
    if (OpenExclusive(target, Access::Read, existing) == OpenStatus::Held)
        return false;

    const QByteArray to = NativePath(target);
    QByteArray temp;
    Fd out(CreateTempSibling(to, temp));
    if (out.Get() < 0)
        return false;
    bool ok = CopyContent(in.m_fd, out.Get(), st.st_size, source, progress);
    ok = ok && ::fchmod(out.Get(), st.st_mode & 0777) == 0;
    const struct timespec times[2] = { st.st_atim, st.st_mtim };
    ok = ok && ::futimens(out.Get(), times) == 0;
    return CommitTempSibling(out.Release(), ok, temp, to);
}

bool PosixFileSystem::MakeFolder(const QString& path)
{
    return !path.isEmpty() && ::mkdir(NativePath(path).constData(), 0777) == 0;
}

bool PosixFileSystem::MakeLink(const QString& target, const QString& link)
{
    return ::symlink(NativePath(target).constData(), NativePath(link).constData()) == 0;
}

bool PosixFileSystem::Remove(const QString& path, const LockedFile* held)
{
    if (path.isEmpty())
        return false;
    const QByteArray native = NativePath(path);
    if (held && (!held->IsOpen() || !StillAtPath(held->m_device, held->m_inode, native)))
        return false;
    return ::unlink(native.constData()) == 0;
}

namespace {
PosixFileSystem g_posix;
FileSystem* g_fs = &g_posix;
} // namespace

FileSystem& Fs()
{
    return *g_fs;
}

void SetFileSystem(FileSystem* fs)
{
    g_fs = fs ? fs : &g_posix;
}
