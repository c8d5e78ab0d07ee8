#pragma once
// Archiving a managed folder: its contents copied into a sub-folder named after a year.
#include "platform/filesystem.h"

#include <QString>
#include <QtGlobal>

// True for the names of year folders, "2000" to "2099"; such folders are never copied.
bool IsYearFolderName(const QString& name);

// True for the two management files, whatever the case of their letters; they are never copied.
bool IsManagementFileName(const QString& name);

// The year an archive made at time t goes to: the local year of t minus one (-1 when t cannot be
// converted to a local date).
int ArchiveYearOf(qint64 t);

// Copies the source's files, then its sub-folders, into dest, overwriting earlier copies. Stops at
// the first failure with "文件%s拷贝到%s失败！" and one "目录%s拷贝到%s失败！" per enclosing level;
// what was copied before stays. The destination itself, and a linked folder that leads back into a
// folder being copied, are never entered as a source. progress hears, file by file, how far the
// copy of each has come (for a progress window; it is called on the copying thread).
bool CopyFolderTree(QString source, QString dest, const CopyProgressFn& progress = {});

// The archive of one folder into its sub-folder named after year, with the closing message.
// Refuses a folder that is not managed; false when the copy failed.
bool ArchiveToYearFolder(const QString& folder, int year, const CopyProgressFn& progress = {});
