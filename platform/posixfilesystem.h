#pragma once
// The file system of a POSIX system, the one Fs() gives unless a test installs another.
#include "platform/filesystem.h"

#include <functional>
#include <initializer_list>

class PosixFileSystem : public FileSystem
{
public:
    // How long an exclusive open waits for a file another opener holds, trying again every step:
    // two copies of the program on one tree hold a file for microseconds, and neither should
    // report that as a failure; a longer hold still fails, and nothing waits without end.
    static constexpr int kLockWaitMs = 500;
    static constexpr int kLockStepMs = 15;
    // Tests that meet many held files may shorten the wait (0: fail at once).
    void SetLockWait(int ms) { m_lockWaitMs = ms; }

    bool Enumerate(const QString& folder, EntryVisitor& visitor) override;
    std::uint32_t Attributes(const QString& path) override;
    QString CanonicalPath(const QString& path) override;
    bool Stamp(const QString& path, FileStamp& out) override;
    bool CanRemoveFrom(const QString& path) override;
    OpenStatus OpenExclusive(const QString& path, Access access, LockedFile& file) override;
    bool Replace(const QString& path, const QByteArray& content, LockedFile* held) override;
    bool Copy(const QString& source, const QString& target, const CopyProgressFn& progress) override;
    bool MakeFolder(const QString& path) override;
    bool MakeLink(const QString& target, const QString& link) override;
    bool Remove(const QString& path, LockedFile* held) override;

protected:
    // Asked before each piece of bytes written to a new file: 0 to go on, or the error number
    // the write fails with (a test reports a full disk here).
    virtual int BeforeWrite(qint64 bytes);
    // The rename of a finished file over its target and the removal of a file, relative to an
    // open folder (AT_FDCWD for a full path): 0, or -1 with errno. A test puts a file server's
    // rules here.
    virtual int RenameAt(int dirFd, const char* from, const char* to);
    virtual int UnlinkAt(int dirFd, const char* name);

private:
    enum class FolderLock { Taken, Busy, None };
    OpenStatus TryOpenExclusive(const QString& path, Access access, LockedFile& file);
    OpenStatus TryOpenFile(const QByteArray& native, Access access, LockedFile& file);
    // Takes the lock of the file's folder into file, unless it holds it already.
    FolderLock TryLockFolder(const QByteArray& native, LockedFile& file);
    // Runs call until it succeeds or fails for another reason than the file being open on the
    // server (busy), for at most the lock wait.
    bool WhileOpenElsewhere(const std::function<int()>& call, std::initializer_list<int> busy);
    // Renames a finished temporary over its target in the open folder, once held (when given)
    // has let go of the old file.
    bool RenameInto(int dirFd, const QByteArray& temp, const QByteArray& name, LockedFile* held);
    bool WriteAll(int fd, const char* data, qint64 size);
    qint64 CopyPiece(int in, int out, qint64 offset, qint64 size);
    bool CopyContent(int in, int out, qint64 total, const QString& name, const CopyProgressFn& progress);

    int m_lockWaitMs = kLockWaitMs;
};
