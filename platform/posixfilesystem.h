#pragma once
// The file system of a POSIX system, the one Fs() gives unless a test installs another.
#include "platform/filesystem.h"

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
    OpenStatus OpenExclusive(const QString& path, Access access, LockedFile& file) override;
    bool Replace(const QString& path, const QByteArray& content, const LockedFile* held) override;
    bool Copy(const QString& source, const QString& target, const CopyProgressFn& progress) override;
    bool MakeFolder(const QString& path) override;
    bool MakeLink(const QString& target, const QString& link) override;
    bool Remove(const QString& path, const LockedFile* held) override;

protected:
    // Asked before each piece of bytes written to a new file: 0 to go on, or the error number
    // the write fails with (a test reports a full disk here).
    virtual int BeforeWrite(qint64 bytes);

private:
    OpenStatus TryOpenExclusive(const QString& path, Access access, LockedFile& file);
    bool WriteAll(int fd, const char* data, qint64 size);
    qint64 CopyPiece(int in, int out, qint64 offset, qint64 size);
    bool CopyContent(int in, int out, qint64 total, const QString& name, const CopyProgressFn& progress);

    int m_lockWaitMs = kLockWaitMs;
};
