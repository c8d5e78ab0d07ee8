#pragma once
// The folder enumerators and the scan of the root, two levels deep.
#include <QString>
#include <QStringList>

// Appends the names of folder's sub-folders (links to folders included, and links whose target is
// gone), in file-system order. A folder that cannot be read appends nothing. An entry whose
// attributes cannot be read shows "%s获取属性异常！" with its path and ends the enumeration,
// keeping what was found.
void ListSubDirs(QString folder, QStringList& names);
// The same for the entries that are files.
void ListDirFiles(QString folder, QStringList& names);

// Appends the rows one first-level folder gives: itself when it is managed or has no sub-folders,
// otherwise its sub-folders.
void CollectFolderRows(const QString& path, QStringList& rows);
// The full paths of the folders that become rows, in order: each first-level folder that is
// managed or has no sub-folders, otherwise its sub-folders.
QStringList CollectRowPaths(const QString& root);
