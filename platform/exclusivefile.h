#pragma once
// A file opened without sharing. The open takes an exclusive lock (flock, LOCK_NB): it fails at
// once when another process, or another open in this process, holds the file. The lock is
// advisory; every opener in this program takes it.
//
// Writes never touch the file in place: they build the new content in memory and Close()
// replaces the file atomically (temporary sibling, fsync, rename) while the lock is held, so a
// crash leaves either the old or the new content, never a torn file. Only Close() stores: a CFile
// destroyed while open (an early return, an exception) discards what was written.
#include <QByteArray>
#include <QString>

class CFile
{
public:
    enum Mode {
        modeRead,      // existing file, read only
        modeReadWrite, // existing file, read and rewrite
        modeCreate,    // create or replace: reads see an empty file, Close() writes the new content
    };

    CFile() = default;
    ~CFile(); // discards, as Abort()
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // False when the file cannot be opened or locked, or names a folder.
    bool Open(const QString& path, Mode mode);
    bool IsOpen() const { return m_open; }

    qint64 GetPosition() const { return m_pos; }
    void Seek(qint64 pos) { m_pos = pos; }
    // Reads up to maxBytes at the position; returns the bytes read (fewer at the end of the file).
    QByteArray Read(qint64 maxBytes);
    // Writes at the position, growing the file as needed.
    void Write(const QByteArray& bytes);
    void SetLength(qint64 length);

    // Ends the operation: commits what was written, then releases the lock. False when the new
    // content could not be stored; the old file is then unchanged.
    bool Close();
    // Ends the operation without storing anything written.
    void Abort();
    // Ends the operation by removing the file, while the lock still keeps other openers out. A
    // file that another program has put in its place since the open is left alone. False when
    // nothing was removed.
    bool Remove();

private:
    void LoadWholeFile();

    QString m_path;
    Mode m_mode = modeRead;
    int m_fd = -1;
    bool m_open = false;
    qint64 m_pos = 0;
    bool m_dirty = false;
    bool m_loaded = false; // m_content holds the whole file
    QByteArray m_content;
};

// The pieces of an atomic replacement, for writers that stream their content (the archive copy):
// a hidden temporary file beside the target (same folder, so the rename stays on one file system),
// every byte written, and the commit that syncs it and renames it over the target.
int CreateTempSibling(const QByteArray& nativeTarget, QByteArray& nativeTemp);
bool WriteAllBytes(int fd, const char* data, qint64 size);
// Closes fd; when ok so far, syncs and renames temp over target. The temporary file never stays.
bool CommitTempSibling(int fd, bool ok, const QByteArray& nativeTemp, const QByteArray& nativeTarget);

// Replaces the file at path by content atomically. Used by CFile::Close; exposed for tests.
bool ReplaceFileContent(const QString& path, const QByteArray& content);

// Removes the temporary siblings of path that a writer killed before its rename left behind.
// Called by a writer that holds the file's lock, so no live writer of that file owns them.
void RemoveStaleTemporaries(const QString& path);
