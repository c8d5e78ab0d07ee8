#pragma once
// The pass's file work off the window's thread: worker threads read the rows' schedule files and
// tell which rows the pass must visit. The window's thread then runs the firing procedure for
// those rows alone, in list order; for every other row that procedure would have returned at
// once, without a message and without writing.
#include "platform/parallel.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

enum class DueState : unsigned char {
    NotDue,     // no schedule file, no schedule, stopped, or the stored trigger is later than now
    Due,        // the stored trigger is not later than now (or cannot form a time)
    Unreadable, // the file is there but cannot be opened (another opener holds it) or is damaged
};

// Reads the folder's schedule file as the firing procedure does, and tells what that procedure
// would find at now, without writing, removing or showing anything.
DueState CheckDue(const QString& folder, qint64 now);

// CheckDue for every folder on worker threads; the states in list order. Cancelled, the folders
// not yet read count as Unreadable (their procedure then reads them itself).
std::vector<DueState> CheckDueParallel(const QStringList& folders, qint64 now, int threads = kFileWorkers,
                                       const std::atomic<bool>* cancel = nullptr);

// The states of a list's rows as the pass checked them, each with the row's column-0 text then.
struct CheckedRows
{
    QStringList relatives;
    std::vector<DueState> states;

    // Whether the pass visits row, whose column 0 reads relative now: every row but one checked
    // under that same text and found not due. A row the check did not see, or that moved, is
    // left to the firing procedure.
    bool MustVisit(int row, const QString& relative) const;
};

// The pass's check in the background: the schedule files of root + each relative path, read by
// worker threads; done runs on a worker once the states are in. Relatives left empty are not read
// (they count as not checked). The destructor waits for the workers.
class DueCheckJob
{
public:
    DueCheckJob(const QString& root, QStringList relatives, qint64 now, std::function<void()> done);
    ~DueCheckJob();
    DueCheckJob(const DueCheckJob&) = delete;
    DueCheckJob& operator=(const DueCheckJob&) = delete;

    bool Finished() const;
    // The states; only once Finished().
    const CheckedRows& Result() const { return m_rows; }

private:
    CheckedRows m_rows;
    std::unique_ptr<BackgroundJob> m_job;
};
