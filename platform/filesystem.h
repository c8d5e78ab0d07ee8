#pragma once
// The one door to the file system. Every folder and file the program touches below the window
// layer is reached through Fs(): the POSIX implementation by default, a fault-injecting one in
// tests. Nothing outside platform/ calls the operating system's file functions.
//
// Paths are full paths with "/" separators, as the rest of the program forms them.
#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <cstdint>
#include <functional>

class FileSystem;

// A regular file opened under the exclusive lock every opener of this program takes. An open that
// may rewrite or remove the file also holds its folder's lock, which the replace and the removal
// keep after they let go of the file itself: a file server with Windows rules neither replaces
// nor removes a file that is open. Destroying or closing it releases both.
class LockedFile
{
public:
    LockedFile() = default;
    ~LockedFile() { Close(); }
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    // The folder's lock is held (a new file has only that: there is no file to open yet).
    bool HoldsFolder() const { return m_folderFd >= 0; }
    void Close();
    // Reads up to size bytes at offset; the bytes read, fewer at the end of the file.
    qint64 ReadAt(char* data, qint64 size, qint64 offset) const;
    // The file's length when it was opened.
    qint64 Size() const { return m_size; }

private:
    friend class PosixFileSystem;
    // Lets go of the file, keeping the folder's lock.
    void CloseFile();

    int m_fd = -1;
    int m_folderFd = -1;
    quint64 m_device = 0;
    quint64 m_inode = 0;
    qint64 m_size = 0;
};

// Receives a folder's entries one at a time.
class EntryVisitor
{
public:
    // name: the entry's file-system name; attributes: as GetFileAttributesW gives them for its
    // path (INVALID_FILE_ATTRIBUTES when the query failed). False ends the enumeration.
    virtual bool Entry(const char* name, std::uint32_t attributes) = 0;

protected:
    ~EntryVisitor() = default;
};

// How far a copy has come: bytes of the file done and in all, and the file being copied.
// Which file is at a path (device, inode) and its size and last change: what tells one version of
// a file from another.
struct FileStamp
{
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = -1;
    qint64 modifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
};

struct CopyProgress
{
    QString file;
    qint64 done = 0;
    qint64 total = 0;
};
using CopyProgressFn = std::function<void(const CopyProgress&)>;

class FileSystem
{
public:
    enum class Access {
        Read,   // an existing file, to read
        Write,  // an existing file that may be rewritten or removed: it must still be the file
                // at its path once locked
        Create, // as Write; a missing file is fine when its folder can take a new one
    };
    enum class OpenStatus {
        Opened,   // file holds the lock
        NoFile,   // nothing at the path (for Create: and the folder can take the new file)
        Held,     // another opener holds the file
        Failed,   // anything else: not a regular file, no access, a path that cannot be
    };

    virtual ~FileSystem() = default;

    // Visits folder's entries but "." and ".." in the order the file system returns them, until
    // the visitor says stop. False when the folder cannot be read (nothing visited).
    virtual bool Enumerate(const QString& folder, EntryVisitor& visitor) = 0;
    // The attributes of the entry at path (GetFileAttributesW's rules).
    virtual std::uint32_t Attributes(const QString& path) = 0;
    // The path with every link followed, or empty when it does not lead anywhere.
    virtual QString CanonicalPath(const QString& path) = 0;
    // Which file is at path and its size and last change, links followed; false when nothing can
    // be queried there.
    virtual bool Stamp(const QString& path, FileStamp& out) = 0;
    // True when the folder holding path lets an entry be removed from it: it can be written and
    // searched, on a file system mounted for writing.
    virtual bool CanRemoveFrom(const QString& path) = 0;

    // Opens a regular file without sharing: when another opener holds it (for Write and Create:
    // or another writer holds its folder), tries again for a short bounded time (about half a
    // second), then fails. A pipe or device under the name never blocks the open. For Create, a
    // missing file leaves file holding the folder's lock only.
    virtual OpenStatus OpenExclusive(const QString& path, Access access, LockedFile& file) = 0;
    // Replaces the file at path by content atomically (a temporary sibling, synced and renamed
    // over it): a failure leaves the old file as it was. held: what the caller's open holds; the
    // file itself is let go before the rename, its folder's lock kept, and no live writer owns
    // the temporaries a killed writer left, so they are removed. A rename the server refuses
    // because another client has the file open is tried again for about half a second.
    virtual bool Replace(const QString& path, const QByteArray& content, LockedFile* held) = 0;
    // Copies one regular file over target, atomically as Replace, keeping its mode and times.
    // The source must not be held by another opener, nor the file at target.
    virtual bool Copy(const QString& source, const QString& target, const CopyProgressFn& progress) = 0;
    // Creates one folder (no ancestors); false when it could not be created or exists.
    virtual bool MakeFolder(const QString& path) = 0;
    // Creates a symbolic link at link pointing to target, as given.
    virtual bool MakeLink(const QString& target, const QString& link) = 0;
    // Removes a file, never a folder. With held, only while path still names the held file: the
    // folder's lock is taken if the open did not, then the file is let go and removed. A removal
    // the server refuses because the file is open elsewhere is tried again as a replace is.
    virtual bool Remove(const QString& path, LockedFile* held) = 0;
};

// The file system in use.
FileSystem& Fs();
// Installs the file system used from now on (not owned); nullptr restores the POSIX one.
void SetFileSystem(FileSystem* fs);
