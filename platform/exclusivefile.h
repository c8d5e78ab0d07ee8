#pragma once
// A file opened without sharing. The open takes an exclusive lock (flock, LOCK_NB): when another
// process, or another open in this process, holds the file it tries again for about half a
// second, then fails. The lock is advisory; every opener in this program takes it.
//
// Writes never touch the file in place: they build the new content in memory and Close()
// replaces the file atomically (temporary sibling, fsync, rename), so a crash leaves either the
// old or the new content, never a torn file. An open that may write also locks the file's folder
// until it ends: the rename lets go of the file first (a Windows file server replaces no open
// file), and a second writer still cannot read the old content meanwhile. Only Close() stores: a
// CFile destroyed while open (an early return, an exception) discards what was written.
#include "platform/filesystem.h"

#include <QByteArray>
#include <QString>

// No file of this program is read past this many bytes: its formats need a few KiB at most, and
// a huge file under one of its names must not be loaded into memory.
constexpr qint64 kMaxFileReadBytes = 16 * 1024;

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
    // The file's length when it was opened (0 for a file being created).
    qint64 GetLength() const { return m_file.Size(); }
    // Reads up to maxBytes at the position; returns the bytes read (fewer at the end of the file,
    // none past kMaxFileReadBytes).
    QByteArray Read(qint64 maxBytes);
    // The same into data (room for maxBytes), for a reader that keeps no copy of the bytes.
    qint64 Read(char* data, qint64 maxBytes);
    // Writes at the position, growing the file as needed. Writing into an existing file keeps at
    // most its first kMaxFileReadBytes around what is written.
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
    LockedFile m_file; // for a new file, only its folder's lock
    bool m_open = false;
    qint64 m_pos = 0;
    bool m_dirty = false;
    bool m_loaded = false; // m_content holds the whole file
    QByteArray m_content;
};
