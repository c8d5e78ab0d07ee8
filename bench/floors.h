#pragma once
// The floors: the same file-system work the program does, made with plain system calls and
// nothing else, so each figure can be read as "how far above the unavoidable cost".
#include <string>
#include <vector>

// Reads the tree as the list load does: the root's folders, per first-level folder one query for
// the description file and, when it has none, an enumeration; per row its description file and
// schedule file opened, read and closed. With lock, each open also takes the exclusive lock that
// the program's open without sharing takes. Returns the bytes read.
long ScanFloor(const std::string& root, bool lock);

// Opens, reads and closes the schedule file of every folder (full paths, file-system encoding).
long ScheduleReadFloor(const std::vector<std::string>& folders, bool lock);

// Opens, reads and closes every file of paths once (plain opens, no lock), with readers threads
// each taking the next path in turn: the least a program reading these files in parallel waits.
// With asTheProgram, each open also queries the file's status and takes its exclusive lock, as
// every open of the program does (it accepts only regular files, and opens without sharing).
long ParallelReadFloor(const std::vector<std::string>& paths, int readers, bool asTheProgram = false);

// The file work of firing a folder, for every file of paths, with readers threads each taking the
// next path in turn: the file read; replaced atomically by the same bytes (a new sibling created,
// written, synced, closed and renamed over it); read again. Returns the bytes read.
long ParallelFireFloor(const std::vector<std::string>& paths, int readers);

// Per row, counts the non-empty terms that occur in its text; returns the rows with any.
int SubstringFloor(const std::vector<std::u16string>& rows, const std::vector<std::u16string>& terms);
