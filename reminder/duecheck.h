#pragma once
// Whether a folder's schedule is due, read as the firing procedure reads it but without writing or
// showing anything: the pass's workers hand only the rows that may be due to that procedure.
#include "platform/parallel.h"

#include <QString>
#include <QStringList>

#include <vector>

enum class DueState : unsigned char {
    NotDue,     // no schedule file, no schedule, stopped, or the stored trigger is later than now
    Due,        // the stored trigger is not later than now (or cannot form a time)
    Unreadable, // the file is there but cannot be opened (another opener holds it) or is damaged
};

// Reads the folder's schedule file as the firing procedure does, and tells what that procedure
// would find at now, without writing, removing or showing anything. A due file's record and stamp
// go into read, when given, for ProcessReadSchedule.
struct ScheduleRead;
DueState CheckDue(const QString& folder, qint64 now, ScheduleRead* read = nullptr);

// CheckDue for every folder on worker threads; the states in list order. Cancelled, the folders
// not yet read count as Unreadable (their procedure then reads them itself).
std::vector<DueState> CheckDueParallel(const QStringList& folders, qint64 now, int threads = kFileWorkers,
                                       const std::atomic<bool>* cancel = nullptr);
