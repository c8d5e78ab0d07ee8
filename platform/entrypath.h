#pragma once
// Paths of a folder's entries: how they are joined, and how a name is found whatever the case of
// its letters (trees copied from a file system that ignores case carry the program's file names
// in any case).
#include <QString>

// folder + separator + name, the one way paths are joined; a folder that ends in the separator
// (the top folder "/") gets no second one.
QString JoinPath(const QString& folder, const QString& name);

// The path of folder's entry called name, ASCII letters compared without case: the entry spelt
// exactly so when there is one, otherwise the other spelling first in byte order (so every caller
// finds the same one). When there is none, or the folder cannot be read, folder + name as given:
// the spelling a new file gets. Shows nothing. found, when given, tells whether an entry was found.
QString FindEntryPath(const QString& folder, const QString& name, bool* found = nullptr);
