#pragma once
// The pass's file work on worker threads. Each row's schedule file is checked; a row that may be
// due is handed to the firing procedure right there, and the folder's auto.bat looked up. What
// the procedure says is shown by the window while the worker waits, where the procedure says it. The window takes the outcomes in list order and does what the user sees.
// A row whose check does not answer within the bound is passed over in this pass (nothing was
// written for it) and checked again in the next; every other row goes on.
#include "platform/parallel.h"
#include "reminder/duecheck.h"
#include "schedule/schedule.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class RowList;

struct RowOutcome
{
    int row = -1;
    QString relative;
    DueState state = DueState::NotDue; // what the check found
    bool passedOver = false;           // the check did not answer in time: nothing was done
    bool fired = false;
    QString schedText, nextText, dueText; // a fired row's new texts and the trigger that fell due
    QString batch;                        // a fired folder's auto.bat, found whatever its case; empty if none
    bool said = false;                    // the firing procedure showed something (PendingMessage)
    ScheduleFault fault = ScheduleFault::None;
};

class PassJob
{
public:
    // The rows of rows, each read as root + its path, at now; the row whose path is skip (the one
    // under edit) is not read. wake runs on a worker whenever an outcome is ready, and may run
    // after the job is gone.
    PassJob(const QString& root, const RowList& rows, const QString& skip, qint64 now, std::function<void()> wake,
            int threads = kFileWorkers, qint64 stuckMs = kStuckItemMs);
    ~PassJob(); // never waits for a worker stuck in the file system
    PassJob(const PassJob&) = delete;
    PassJob& operator=(const PassJob&) = delete;

    // The outcomes after those taken, in list order, as far as they are in, at most maxRows of
    // them (window's thread).
    std::vector<RowOutcome> Take(qsizetype maxRows = -1);
    // A message the first row not taken is waiting to have shown (its worker waits meanwhile), and
    // that row's path; MessageShown lets the worker go on.
    bool PendingMessage(QString& message) const;
    QString PendingRelative() const;
    void MessageShown();
    // Every row's outcome has been taken.
    bool Finished() const;
    // Milliseconds until the row in the way may be passed over; -1 when only its worker's word
    // moves the pass on (it is being fired), or nothing waits.
    qint64 RetryMs() const;

    struct State;

private:
    std::shared_ptr<State> m_state;
    qint64 m_stuckMs;
    std::unique_ptr<BackgroundJob> m_job;
};
