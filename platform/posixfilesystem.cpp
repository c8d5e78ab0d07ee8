#include "platform/posixfilesystem.h"

#include "platform/fileattr.h"
#include "platform/filenames.h"

#include <QRandomGenerator>

#include <algorithm>

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
// A temporary's name: "." + the target's name (cut) + the marker + sixteen random hex digits.
// Nobody names a file so, and only names of exactly this form are ever cleaned away.
constexpr char kTempMarker[] = ".qbtmp-";
constexpr qsizetype kTempRandom = 16;

QByteArray TempPrefix(const QByteArray& name)
{
    return '.' + name.left(kTempBaseMax) + kTempMarker;
}

bool IsTempName(const char* entry, const QByteArray& prefix)
{
    if (std::strncmp(entry, prefix.constData(), size_t(prefix.size())) != 0)
        return false;
    const char* s = entry + prefix.size();
    for (qsizetype i = 0; i < kTempRandom; ++i) {
        if (!((s[i] >= '0' && s[i] <= '9') || (s[i] >= 'a' && s[i] <= 'f')))
            return false;
    }
    return s[kTempRandom] == '\0';
}

// Removes the temporaries of name that a writer killed before its rename left in the folder. Only
// while the file itself is there: a client that replaces a file on a share by removing it and then
// renaming the new one in (smbnetfs does) may have been cut off between the two, and a temporary
// is then the only copy of the file.
void RemoveStaleTemporaries(int dirFd, const QByteArray& name)
{
    struct stat target;
    if (::fstatat(dirFd, name.constData(), &target, AT_SYMLINK_NOFOLLOW) != 0)
        return;
    const int fd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* d = fd < 0 ? nullptr : ::fdopendir(fd);
    if (!d) {
        if (fd >= 0)
            ::close(fd);
        return;
    }
    const QByteArray prefix = TempPrefix(name);
    while (const dirent* entry = ::readdir(d)) {
        if (IsTempName(entry->d_name, prefix))
            ::unlinkat(dirFd, entry->d_name, 0);
    }
    ::closedir(d);
}

// A new file written in the target's folder and renamed over the target, so that a crash leaves
// the old file or the new one. Everything is done relative to the open folder: a path close to
// the length limit is written although the temporary's full path would pass it.
class TempSibling
{
public:
    explicit TempSibling(const QByteArray& target)
    {
        const qsizetype slash = target.lastIndexOf('/');
        const QByteArray dir = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : target.left(slash);
        m_name = target.mid(slash + 1);
        // Only a handle on the folder: writing in it needs no right to list it.
        m_dirFd = ::open(dir.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    }
    ~TempSibling()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_temp.isEmpty())
            ::unlinkat(m_dirFd, m_temp.constData(), 0);
        if (m_dirFd >= 0)
            ::close(m_dirFd);
    }
    TempSibling(const TempSibling&) = delete;
    TempSibling& operator=(const TempSibling&) = delete;

    int DirFd() const { return m_dirFd; }
    const QByteArray& Name() const { return m_name; }
    int Fd() const { return m_fd; }

    // Creates the temporary; a new file's mode follows the umask.
    bool Create()
    {
        if (m_dirFd < 0 || m_name.isEmpty())
            return false;
        const QByteArray prefix = TempPrefix(m_name);
        for (int attempt = 0; attempt < 16; ++attempt) {
            const QByteArray temp = prefix + QByteArray::number(QRandomGenerator::global()->generate64(), 16)
                                                 .rightJustified(kTempRandom, '0');
            m_fd = ::openat(m_dirFd, temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
            if (m_fd >= 0) {
                m_temp = temp;
                return true;
            }
            if (errno != EEXIST)
                return false;
        }
        return false;
    }

    const QByteArray& Temp() const { return m_temp; }

    // When ok so far, syncs and closes the temporary; false when it is not whole on disk.
    bool Finish(bool ok)
    {
        ok = ok && ::fsync(m_fd) == 0;
        ok = ::close(m_fd) == 0 && ok;
        m_fd = -1;
        return ok;
    }
    // The temporary has become the target: nothing to remove.
    void Renamed() { m_temp.clear(); }

private:
    int m_dirFd = -1;
    int m_fd = -1;
    QByteArray m_name;
    QByteArray m_temp; // while it exists
};

// A replacement takes the old file's owner and group where the writer may set them (its group at
// least, for a shared folder whose users share a group), then its permission bits.
bool KeepOwnershipAndMode(int fd, const struct stat& old)
{
    if (::fchown(fd, old.st_uid, old.st_gid) != 0)
        (void)!::fchown(fd, uid_t(-1), old.st_gid); // not this writer's to give away
    return ::fchmod(fd, old.st_mode & 0777) == 0;
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
    const int followError = errno;
    // A link whose target is missing, or that loops, still exists as an entry. One whose target
    // is gone (removed, unmounted) keeps the folder attribute, as a junction does whatever its
    // target: links in the tree stand for folders.
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0)
        return followError == ELOOP ? FILE_ATTRIBUTE_REPARSE_POINT
                                    : FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
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

} // namespace

void LockedFile::CloseFile()
{
    if (m_fd >= 0)
        ::close(m_fd); // releases the file's lock
    m_fd = -1;
}

void LockedFile::Close()
{
    CloseFile();
    if (m_folderFd >= 0)
        ::close(m_folderFd); // releases the folder's lock
    m_folderFd = -1;
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
    return DecodeFileName(QByteArrayView(real));
}

FileSystem::OpenStatus PosixFileSystem::OpenExclusive(const QString& path, Access access, LockedFile& file)
{
    OpenStatus status = TryOpenExclusive(path, access, file);
    if (status != OpenStatus::Held)
        return status;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_lockWaitMs);
    while (status == OpenStatus::Held && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kLockStepMs));
        status = TryOpenExclusive(path, access, file);
    }
    return status;
}

// The folder of a file, as the system names it.
static QByteArray FolderOf(const QByteArray& native)
{
    const qsizetype slash = native.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : native.left(slash);
}

PosixFileSystem::FolderLock PosixFileSystem::TryLockFolder(const QByteArray& native, LockedFile& file)
{
    if (file.m_folderFd >= 0)
        return FolderLock::Taken;
    // A folder this writer may not read has no lock to give: the file's own lock is then all
    // there is, as on a file system without locks on folders.
    const int fd = ::open(FolderOf(native).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return FolderLock::None;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        return error == EWOULDBLOCK ? FolderLock::Busy : FolderLock::None;
    }
    file.m_folderFd = fd;
    return FolderLock::Taken;
}

FileSystem::OpenStatus PosixFileSystem::TryOpenExclusive(const QString& path, Access access, LockedFile& file)
{
    file.Close();
    if (path.isEmpty())
        return OpenStatus::Failed;
    const QByteArray native = NativePath(path);
    // A writer holds the folder from before it reads until after its rename: the rename needs the
    // file let go on a file server with Windows rules, and the folder's lock still keeps a second
    // writer from reading the old file meanwhile. Readers take the file's lock only.
    if (access != Access::Read && TryLockFolder(native, file) == FolderLock::Busy)
        return OpenStatus::Held;
    const OpenStatus status = TryOpenFile(native, access, file);
    // A new file keeps the folder's lock until it is stored.
    if (status != OpenStatus::Opened && !(status == OpenStatus::NoFile && access == Access::Create))
        file.Close();
    return status;
}

FileSystem::OpenStatus PosixFileSystem::TryOpenFile(const QByteArray& native, Access access, LockedFile& file)
{
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

int PosixFileSystem::RenameAt(int dirFd, const char* from, const char* to)
{
    return ::renameat(dirFd, from, dirFd, to);
}

int PosixFileSystem::UnlinkAt(int dirFd, const char* name)
{
    return ::unlinkat(dirFd, name, 0);
}

bool PosixFileSystem::WhileOpenElsewhere(const std::function<int()>& call, std::initializer_list<int> busy)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_lockWaitMs);
    for (;;) {
        if (call() == 0)
            return true;
        const int error = errno;
        if (std::find(busy.begin(), busy.end(), error) == busy.end() || std::chrono::steady_clock::now() >= until) {
            errno = error;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kLockStepMs));
    }
}

bool PosixFileSystem::RenameInto(int dirFd, const QByteArray& temp, const QByteArray& name, LockedFile* held)
{
    // A file server with Windows rules refuses to replace a file that is open, ours included; the
    // folder's lock, still held, keeps the other writers of this program out.
    if (held)
        held->CloseFile();
    // The server refuses as long as another client has the file open: EBUSY, or EEXIST from a
    // client that removes the old file before renaming (a POSIX rename never says EEXIST).
    return WhileOpenElsewhere([&] { return RenameAt(dirFd, temp.constData(), name.constData()); }, { EBUSY, EEXIST });
}

bool PosixFileSystem::Replace(const QString& path, const QByteArray& content, LockedFile* held)
{
    TempSibling temp(NativePath(path));
    if (temp.DirFd() < 0)
        return false;
    if (held && (held->IsOpen() || held->HoldsFolder()))
        RemoveStaleTemporaries(temp.DirFd(), temp.Name());
    struct stat old;
    const bool replacing = held && held->IsOpen() ? ::fstat(held->m_fd, &old) == 0
                                                  : ::fstatat(temp.DirFd(), temp.Name().constData(), &old, 0) == 0
                                                        && S_ISREG(old.st_mode);
    if (!temp.Create())
        return false;
    bool ok = WriteAll(temp.Fd(), content.constData(), content.size());
    if (replacing)
        ok = KeepOwnershipAndMode(temp.Fd(), old) && ok;
    if (!temp.Finish(ok) || !RenameInto(temp.DirFd(), temp.Temp(), temp.Name(), held))
        return false;
    temp.Renamed();
    return true;
}

// Copies up to size bytes at offset from in to the same offset in out: in the kernel where it
// can (a network file system copies on the server), else through a buffer. The bytes copied, 0
// at the end of the source, -1 on an error.
qint64 PosixFileSystem::CopyPiece(int in, int out, qint64 offset, qint64 size)
{
    loff_t from = offset, to = offset;
    for (;;) {
        const ssize_t n = ::copy_file_range(in, &from, out, &to, size_t(size), 0);
        if (n >= 0)
            return n;
        if (errno == EINTR)
            continue;
        if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP && errno != ETXTBSY)
            return -1;
        break;
    }
    QByteArray buffer(qMin<qint64>(size, 1 << 20), Qt::Uninitialized);
    ssize_t n;
    do
        n = ::pread(in, buffer.data(), size_t(buffer.size()), offset);
    while (n < 0 && errno == EINTR);
    if (n <= 0)
        return n;
    for (ssize_t written = 0; written < n;) {
        const ssize_t w = ::pwrite(out, buffer.constData() + written, size_t(n - written), offset + written);
        if (w < 0 && errno == EINTR)
            continue;
        if (w < 0)
            return -1;
        written += w;
    }
    return n;
}

bool PosixFileSystem::CopyContent(int in, int out, qint64 total, const QString& name, const CopyProgressFn& progress)
{
    constexpr qint64 kPiece = 8 << 20;
    if (progress)
        progress({ name, 0, total });
    qint64 at = 0;
    bool shrunk = false;
    while (at < total && !shrunk) {
        // Only the data is copied: holes stay holes in the copy where its file system keeps them.
        off_t data = ::lseek(in, at, SEEK_DATA);
        if (data < 0 && errno == ENXIO)
            break; // a hole to the end
        if (data < 0)
            data = at; // no hole finding here: everything is data
        off_t hole = ::lseek(in, data, SEEK_HOLE);
        if (hole < 0 || hole > total)
            hole = total;
        for (qint64 pos = data; pos < hole;) {
            const qint64 piece = qMin(kPiece, hole - pos);
            if (const int error = BeforeWrite(piece)) {
                errno = error;
                return false;
            }
            const qint64 n = CopyPiece(in, out, pos, piece);
            if (n < 0)
                return false;
            if (n == 0) { // the file became shorter since it was measured
                total = pos;
                shrunk = true;
                break;
            }
            pos += n;
            if (progress)
                progress({ name, pos, total });
        }
        at = hole;
    }
    // The length, with a hole at the end where there is one.
    if (::ftruncate(out, total) != 0)
        return false;
    if (progress)
        progress({ name, total, total });
    return true;
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

    TempSibling temp(NativePath(target));
    if (!temp.Create())
        return false;
    bool ok = CopyContent(in.m_fd, temp.Fd(), st.st_size, source, progress);
    ok = ok && ::fchmod(temp.Fd(), st.st_mode & 0777) == 0;
    const struct timespec times[2] = { st.st_atim, st.st_mtim };
    ok = ok && ::futimens(temp.Fd(), times) == 0;
    // The existing copy is let go only for the rename, which a file server refuses while it is open.
    if (!temp.Finish(ok) || !RenameInto(temp.DirFd(), temp.Temp(), temp.Name(), &existing))
        return false;
    temp.Renamed();
    return true;
}

bool PosixFileSystem::MakeFolder(const QString& path)
{
    return !path.isEmpty() && ::mkdir(NativePath(path).constData(), 0777) == 0;
}

bool PosixFileSystem::MakeLink(const QString& target, const QString& link)
{
    return ::symlink(NativePath(target).constData(), NativePath(link).constData()) == 0;
}

bool PosixFileSystem::Remove(const QString& path, LockedFile* held)
{
    if (path.isEmpty())
        return false;
    const QByteArray native = NativePath(path);
    if (held) {
        if (!held->IsOpen())
            return false;
        // The file is let go before its removal (a file server with Windows rules removes no open
        // file); the folder's lock keeps this program's writers from putting a new file there in
        // between, so the file removed is the one judged. A reader's open takes it now.
        FolderLock lock = TryLockFolder(native, *held);
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_lockWaitMs);
        while (lock == FolderLock::Busy && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(kLockStepMs));
            lock = TryLockFolder(native, *held);
        }
        if (lock == FolderLock::Busy || !StillAtPath(held->m_device, held->m_inode, native))
            return false;
        held->CloseFile();
    }
    return WhileOpenElsewhere([&] { return UnlinkAt(AT_FDCWD, native.constData()); }, { EBUSY });
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

bool PosixFileSystem::Stamp(const QString& path, FileStamp& out)
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

bool PosixFileSystem::CanRemoveFrom(const QString& path)
{
    const QByteArray native = NativePath(path);
    const qsizetype slash = native.lastIndexOf('/');
    const QByteArray dir = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : native.left(slash);
    // access() answers for root too on a read-only mount (EROFS).
    return ::access(dir.constData(), W_OK | X_OK) == 0;
}
