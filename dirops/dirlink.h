#pragma once
// Bringing an outside folder into the tree: a folder link (a directory symbolic link) at a path
// below the root that points to the outside folder.
#include <QString>

// Creates the link at linkPath pointing to externalDir with one system call; no command
// interpreter is involved, so quotes or other shell characters in either path are just names.
// Shows "%s已存在，请更改目录名称！" when linkPath exists, "%s创建失败！" when no link came of it.
bool CreateDirJunction(QString externalDir, QString linkPath);

// The tests of the link dialog's OK that need no disk change, in their order: the message of the
// first one that fails, empty when all pass. managedDir is relative to root and begins with "/";
// it may not climb out of the root with "..", nor go into a linked folder that lies outside it.
QString CheckLinkInput(const QString& root, const QString& externalDir, const QString& managedDir);

// The rest of OK: creates the link's parent folder (one level, whatever comes of it), then the link.
// True when the link was made. Expects input that CheckLinkInput passed.
bool CreateLinkFolder(const QString& root, const QString& externalDir, const QString& managedDir);
