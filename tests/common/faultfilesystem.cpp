#include "faultfilesystem.h"

#include "platform/fileattr.h"
#include "platform/parallel.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <chrono>
#include <thread>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Hands the entries on, each with its attribute query counted and failed as told.
class FaultyVisitor final : public EntryVisitor
{
public:
    FaultyVisitor(EntryVisitor& inner, const QString& folder, std::function<bool(const QString&)> fails)
        : m_inner(inner), m_folder(folder), m_fails(std::move(fails))
    {
    }
    bool Entry(const char* name, std::uint32_t attributes) override
    {
        if (m_fails(m_folder + u'/' + QFile::decodeName(name)))
            attributes = INVALID_FILE_ATTRIBUTES;
        return m_inner.Entry(name, attributes);
    }

private:
    EntryVisitor& m_inner;
    const QString& m_folder;
    std::function<bool(const QString&)> m_fails;
};

// Some handle of the process pid (not a bare O_PATH one, which a server never sees) is open on
// the file with this status.
bool HasOpen(qint64 pid, const struct stat& file)
{
    const QString base = QStringLiteral("/proc/%1/").arg(pid);
    const QStringList fds = QDir(base + QStringLiteral("fd")).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& fd : fds) {
        struct stat st;
        if (::stat(QFile::encodeName(base + QStringLiteral("fd/") + fd).constData(), &st) != 0 || st.st_dev != file.st_dev
            || st.st_ino != file.st_ino)
            continue;
        QFile info(base + QStringLiteral("fdinfo/") + fd);
        if (!info.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : info.readAll().split('\n')) {
            if (line.startsWith("flags:") && !(line.mid(6).trimmed().toLongLong(nullptr, 8) & O_PATH))
                return true;
        }
    }
    return false;
}

} // namespace

int FaultFileSystem::OpenOnServer(int dirFd, const char* name, int otherClientsError) const
{
    struct stat file;
    if (!windowsRules || ::fstatat(dirFd, name, &file, AT_SYMLINK_NOFOLLOW) != 0)
        return 0;
    if (HasOpen(::getpid(), file))
        return EBUSY;
    for (qint64 pid : otherClients) {
        if (HasOpen(pid, file))
            return otherClientsError;
    }
    return 0;
}

int FaultFileSystem::RenameAt(int dirFd, const char* from, const char* to)
{
    if (onRename)
        onRename();
    if (const int error = OpenOnServer(dirFd, to, EEXIST)) {
        errno = error;
        return -1;
    }
    return PosixFileSystem::RenameAt(dirFd, from, to);
}

int FaultFileSystem::UnlinkAt(int dirFd, const char* name)
{
    if (onRemove)
        onRemove();
    if (const int error = OpenOnServer(dirFd, name, EBUSY)) {
        errno = error;
        return -1;
    }
    return PosixFileSystem::UnlinkAt(dirFd, name);
}

void FaultFileSystem::FailNthCall(FsCall call, int nth)
{
    m_failAt[Index(call)] = m_calls[Index(call)] + nth;
}

void FaultFileSystem::FailOnPath(FsCall call, const QString& nameOrPath)
{
    m_failPaths[Index(call)].append(nameOrPath);
}

FaultFileSystem::~FaultFileSystem()
{
    Release();
    // Workers the program let go may still be on their way through here.
    for (int waited = 0; BackgroundJob::Running() > 0 && waited < 10'000; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::unique_lock lock(m_blockMutex);
    m_blockChanged.wait(lock, [this] { return m_blocked == 0; });
    lock.unlock();
    SetFileSystem(nullptr);
}

void FaultFileSystem::BlockUnder(const QString& prefix)
{
    const std::lock_guard lock(m_blockMutex);
    m_blockPrefix = prefix;
}

void FaultFileSystem::Release()
{
    const std::lock_guard lock(m_blockMutex);
    m_blockPrefix.clear();
    m_blockChanged.notify_all();
}

int FaultFileSystem::Blocked() const
{
    const std::lock_guard lock(m_blockMutex);
    return m_blocked;
}

bool FaultFileSystem::Fails(FsCall call, const QString& path)
{
    {
        std::unique_lock lock(m_blockMutex);
        const auto held = [&] { return !m_blockPrefix.isEmpty() && path.startsWith(m_blockPrefix + u'/'); };
        if (held()) {
            ++m_blocked;
            m_blockChanged.notify_all();
            m_blockChanged.wait(lock, [&] { return !held(); });
            --m_blocked;
            m_blockChanged.notify_all();
        }
    }
    const int i = Index(call);
    const bool nth = ++m_calls[i] == m_failAt[i];
    const QString name = path.mid(path.lastIndexOf(u'/') + 1);
    const bool named = m_failPaths[i].contains(path) || m_failPaths[i].contains(name);
    if (nth || named)
        errno = EIO;
    return nth || named;
}

bool FaultFileSystem::Enumerate(const QString& folder, EntryVisitor& visitor)
{
    if (Fails(FsCall::Enumerate, folder))
        return false;
    FaultyVisitor faulty(visitor, folder, [this](const QString& path) { return Fails(FsCall::Attributes, path); });
    return PosixFileSystem::Enumerate(folder, faulty);
}

std::uint32_t FaultFileSystem::Attributes(const QString& path)
{
    return Fails(FsCall::Attributes, path) ? INVALID_FILE_ATTRIBUTES : PosixFileSystem::Attributes(path);
}

FileSystem::OpenStatus FaultFileSystem::OpenExclusive(const QString& path, Access access, LockedFile& file)
{
    if (onOpen)
        onOpen(path, access);
    if (Fails(FsCall::Open, path)) {
        file.Close();
        return OpenStatus::Failed;
    }
    return PosixFileSystem::OpenExclusive(path, access, file);
}

bool FaultFileSystem::Replace(const QString& path, const QByteArray& content, LockedFile* held)
{
    return !Fails(FsCall::Replace, path) && PosixFileSystem::Replace(path, content, held);
}

bool FaultFileSystem::Copy(const QString& source, const QString& target, const CopyProgressFn& progress)
{
    // A rule on either end's path fails the copy; the call is counted once.
    const bool failed = Fails(FsCall::Copy, source);
    const int i = Index(FsCall::Copy);
    const QString name = target.mid(target.lastIndexOf(u'/') + 1);
    if (failed || m_failPaths[i].contains(target) || m_failPaths[i].contains(name)) {
        errno = EIO;
        return false;
    }
    return PosixFileSystem::Copy(source, target, progress);
}

bool FaultFileSystem::MakeFolder(const QString& path)
{
    return !Fails(FsCall::MakeFolder, path) && PosixFileSystem::MakeFolder(path);
}

bool FaultFileSystem::MakeLink(const QString& target, const QString& link)
{
    return !Fails(FsCall::MakeLink, link) && PosixFileSystem::MakeLink(target, link);
}

bool FaultFileSystem::Remove(const QString& path, LockedFile* held)
{
    return !Fails(FsCall::Remove, path) && PosixFileSystem::Remove(path, held);
}

int FaultFileSystem::BeforeWrite(qint64 bytes)
{
    if (onWrite)
        onWrite();
    if (m_freeSpace < 0)
        return 0;
    if (bytes > m_freeSpace)
        return ENOSPC;
    m_freeSpace -= bytes;
    return 0;
}

bool FaultFileSystem::Stamp(const QString& path, FileStamp& out)
{
    return !Fails(FsCall::Attributes, path) && PosixFileSystem::Stamp(path, out);
}
