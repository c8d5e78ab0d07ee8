#pragma once
// A file system for fault tests: the real one underneath, with failures on request. It is the
// program's file system for its lifetime.
#include "platform/posixfilesystem.h"

#include <QList>
#include <QStringList>

#include <array>
#include <atomic>
#include <condition_variable>
#include <mutex>

// The kinds of call that can be made to fail. Each entry an enumeration returns counts as one
// attribute query; a copy's opens of its two files count as opens.
enum class FsCall { Enumerate, Attributes, Open, Replace, Copy, MakeFolder, MakeLink, Remove, Count };

class FaultFileSystem final : public PosixFileSystem
{
public:
    FaultFileSystem() { SetFileSystem(this); }
    ~FaultFileSystem() override; // releases the block and waits for the calls held there

    // The nth call of that kind from now fails (1: the next one).
    void FailNthCall(FsCall call, int nth);
    // Every call of that kind on the path fails; a bare name matches an entry of that name in
    // any folder.
    void FailOnPath(FsCall call, const QString& nameOrPath);
    // A write to a new file that would take more than this many bytes in all fails with ENOSPC
    // (-1: no limit).
    void SetFreeSpace(qint64 bytes) { m_freeSpace = bytes; }
    // Runs before each piece written to a new file (to look at the folder in the middle of a write).
    std::function<void()> onWrite;
    // Runs before each exclusive open (to act as another program would, just before it).
    std::function<void(const QString& path, Access access)> onOpen;
    // Every call on a path inside folder waits until Release, as when a share mounted there stopped
    // answering (the folder's own entry, in its parent, still answers).
    void BlockUnder(const QString& folder);
    void Release();
    // Calls waiting at the block now.
    int Blocked() const;
    // Calls of that kind made so far.
    int Calls(FsCall call) const { return m_calls[Index(call)]; }

    // A file server's rules (Samba, Windows): a file that is open, by a handle of this process or
    // of one of otherClients, is neither replaced by a rename nor removed. The rename fails with
    // EBUSY for this process's handles and EEXIST for another client's, as smbnetfs reports them.
    bool windowsRules = false;
    QList<qint64> otherClients;
    // Runs before each rename over a file and each removal (to look at the folder meanwhile).
    std::function<void()> onRename;
    std::function<void()> onRemove;

    bool Enumerate(const QString& folder, EntryVisitor& visitor) override;
    std::uint32_t Attributes(const QString& path) override;
    bool Stamp(const QString& path, FileStamp& out) override;
    OpenStatus OpenExclusive(const QString& path, Access access, LockedFile& file) override;
    bool Replace(const QString& path, const QByteArray& content, LockedFile* held) override;
    bool Copy(const QString& source, const QString& target, const CopyProgressFn& progress) override;
    bool MakeFolder(const QString& path) override;
    bool MakeLink(const QString& target, const QString& link) override;
    bool Remove(const QString& path, LockedFile* held) override;

protected:
    int BeforeWrite(qint64 bytes) override;
    int RenameAt(int dirFd, const char* from, const char* to) override;
    int UnlinkAt(int dirFd, const char* name) override;

private:
    static int Index(FsCall call) { return static_cast<int>(call); }
    // Counts the call; true when it is to fail.
    bool Fails(FsCall call, const QString& path);
    // Under the server's rules, the error a rename over or removal of the entry meets: 0 when
    // nothing holds it open.
    int OpenOnServer(int dirFd, const char* name, int otherClientsError) const;

    static constexpr int kKinds = static_cast<int>(FsCall::Count);
    std::array<std::atomic<int>, kKinds> m_calls {}; // counted from worker threads too
    std::array<int, kKinds> m_failAt {};
    std::array<QStringList, kKinds> m_failPaths;
    qint64 m_freeSpace = -1;
    mutable std::mutex m_blockMutex;
    std::condition_variable m_blockChanged;
    QString m_blockPrefix;
    int m_blocked = 0;
};
