#pragma once
// The description file: a folder is managed exactly when it holds one. Its name is found
// whatever the case of its letters; a new one is written as kDescFileName.
#include "platform/entrypath.h"

#include <QString>

inline const QString kDescFileName = QStringLiteral("Quillbrook.desc");

// True when the folder's description file exists as a file (archive attribute).
bool IsManagedDir(const QString& folder);
// Creates or replaces the description file; shows "%s创建失败！" and returns false when it cannot.
bool WriteDirDesc(const QString& folder, const QString& text);
// The stored description; empty when there is none or it cannot be read. Shows nothing.
QString ReadDirDesc(const QString& folder);
