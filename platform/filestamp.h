#pragma once
// What tells one version of a file from another, and whether a file may be removed: for readers
// that must not take a file another program is still writing for a damaged one. Both ask the file
// system in use.
#include "platform/filesystem.h"

#include <QString>

// False when nothing can be queried at path. Links are followed.
bool GetFileStamp(const QString& path, FileStamp& out);

// True when the folder holding path lets an entry be removed from it.
bool CanRemoveFrom(const QString& path);
