#pragma once
// The state the whole program shares: the root and the clock. Everything else the program knows
// lives on disk, in the list's rows, or with the folder that owns it (the search's in search/, the
// tick's in reminder/, the folder under edit in the window layer).
#include <QString>
#include <QtGlobal>

extern QString g_strRootDir; // the root, without a trailing separator; fixed at start
// The system's now, one per thread: the window's is set at start and at every tick, and a worker
// of the pass sets its own to the pass's, so the tick never writes what a worker reads.
extern thread_local qint64 g_tNow;
