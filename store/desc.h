#pragma once
// The description file: a folder is managed exactly when it holds one.
#include <QString>

inline const QString kDescFileName = QStringLiteral("Quillbrook.desc");

// folder + separator + name, the one way paths are joined; a folder that ends in the separator
// (the top folder "/") gets no second one.
QString JoinPath(const QString& folder, const QString& name);

// True when the folder's description file exists as a file (archive attribute).
bool IsManagedDir(const QString& folder);
// Creates or replaces the description file; shows "%s创建失败！" and returns false when it cannot.
bool WriteDirDesc(const QString& folder, const QString& text);
// The stored description; empty when there is none or it cannot be read. Shows nothing.
QString ReadDirDesc(const QString& folder);
