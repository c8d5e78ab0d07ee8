#pragma once
// What tells one version of a file from another, and whether a file may be removed: for readers
// that must not take a file another program is still writing for a damaged one.
#include <QString>
#include <QtGlobal>

// Which file is at a path (device, inode) and its size and last change.
struct FileStamp
{
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = -1;
    qint64 modifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
};

// False when nothing can be queried at path. Links are followed.
bool GetFileStamp(const QString& path, FileStamp& out);

// True when the folder holding path lets an entry be removed from it: it can be written and
// searched, on a file system mounted for writing.
bool CanRemoveFrom(const QString& path);
