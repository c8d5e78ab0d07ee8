#pragma once
// The list load's file work off the window's thread: the scan of the root and the reads of every
// row's texts run on worker threads. What the load would show (the enumerations' and the schedule
// files' messages) is gathered, not shown, and handed out in the order the load shows it: the
// scan's messages first, then each row's with that row, rows in list order.
#include "platform/parallel.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

struct ScannedRows
{
    QStringList folders;  // the rows' paths (from keepFrom on), in list order
    QStringList messages; // what the enumerations would show, in order
};

// The rows CollectRowPaths gives for root, in the same order; the first-level folders are looked
// into in parallel. Cancelled, it returns what it has. A first-level folder whose look takes
// longer than stuckMs (on a share that stopped answering) is passed over: its rows are missing,
// and its worker is let go without waiting; stuckMs < 0 waits for every one. Each path is kept
// from its keepFrom-th character on (the list keeps them without the root: a long root would
// otherwise be held once per row while the load lasts).
ScannedRows ScanRowsParallel(const QString& root, int threads = kFileWorkers,
                             const std::atomic<bool>* cancel = nullptr, qint64 stuckMs = -1, qsizetype keepFrom = 0);

struct LoadedRow
{
    QString folder; // its path, from the load's keepFrom on
    QString desc, schedText, nextText;
    QStringList messages; // what reading its texts would show, before they go into the row
    bool passedOver = false; // its read did not answer in time: the row has its path only
};

// ReadDirTexts for one folder, with its messages gathered.
LoadedRow ReadRowQuietly(const QString& folder);

// ReadRowQuietly for every folder, in parallel; the rows in list order.
std::vector<LoadedRow> ReadRowsParallel(const QStringList& folders, int threads = kFileWorkers);

// A whole load in the background: the scan, then the rows' texts, handed out in list order as the
// rows from the first on are ready. A row whose read does not answer within stuckMs is handed out
// with its path only, so one folder on a share that stopped answering holds up no other.
class ListLoadJob
{
public:
    // notify runs on a worker thread whenever more is ready to take, and once the load is over;
    // it may run after the job is gone when the job was stopped (Stop). The rows' paths are
    // handed out from their keepFrom-th character on.
    ListLoadJob(QString root, std::function<void()> notify, int threads = kFileWorkers,
                qint64 stuckMs = kStuckItemMs, qsizetype keepFrom = 0);
    ~ListLoadJob(); // cancels; waits for the workers unless the job was stopped
    ListLoadJob(const ListLoadJob&) = delete;
    ListLoadJob& operator=(const ListLoadJob&) = delete;

    void Cancel();
    // Cancels and lets the workers go, never waiting for them. Returns what the rows read but not
    // taken would show, and the scan's messages if they were not taken, in the order a load shows
    // them; what a row still in work shows when it ends comes from TakeLate.
    QStringList Stop();
    // The messages of rows whose read ended after they were passed over or after Stop: a damaged
    // file removed then is still said.
    QStringList TakeLate();
    // Every worker has returned.
    bool WorkersDone() const;

    struct Ready
    {
        bool scanned = false;      // the scan has ended: scanMessages and rowCount are set
        QStringList scanMessages;  // the scan's messages, in the first take after the scan only
        qsizetype rowCount = 0;    // rows the scan found
        std::vector<LoadedRow> rows; // the rows after those taken before, in list order
        bool finished = false;     // the last row is in rows or was taken before
        qint64 retryMs = -1;       // when not finished: a row in the way may be passed over after this
    };
    // What is ready since the last take, at most maxRows rows (window's thread).
    Ready Take(qsizetype maxRows = -1);

private:
    struct State;
    std::shared_ptr<State> m_state;
    qint64 m_stuckMs;
    std::unique_ptr<BackgroundJob> m_job;
};
