#pragma once
// The program-wide state, all in one place. Everything else the program knows lives on disk or in
// the list's rows.
#include <QString>
#include <QStringList>
#include <QtGlobal>

class CSortStringArray; // search/search.h

extern QString g_strRootDir;             // the root, without a trailing separator; fixed at start
// The system's now, one per thread: the window's is set at start and at every tick, and a worker
// of the pass sets its own to the pass's, so the tick never writes what a worker reads.
extern thread_local qint64 g_tNow;
extern QString g_strEditingDir;          // column 0 of the row whose settings dialog is open, else empty
extern QStringList g_arrRowTexts;        // each row's four texts joined, as of the last search
extern CSortStringArray g_arrMatchKeys;  // "count,row" of every matching row, sorted (search/search.cpp)
extern int g_nMatchPos;                  // index of the match shown last
extern int g_nLastMinute;                // local minute of the hour at the last pass; -1 before the first
extern int g_nAlertTicks;                // 0: no alert; otherwise ticks since the last firing, plus one
