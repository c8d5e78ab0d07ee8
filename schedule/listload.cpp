#include "schedule/listload.h"

#include "platform/entrypath.h"
#include "schedule/rowtexts.h"
#include "store/scan.h"

#include <QSet>

#include <algorithm>
#include <condition_variable>
#include <limits>

ScannedRows ScanRowsParallel(const QString& root, int threads, const std::atomic<bool>* cancel, qint64 stuckMs,
                             qsizetype keepFrom)
{
    ScannedRows out;
    QStringList first;
    {
        CollectingMessagePort port;
        const ThreadMessagePort scope(port);
        ListSubDirs(root, first);
        out.messages = port.messages;
    }
    struct Part
    {
        QStringList rows, messages;
    };
    // Shared with the workers, which may outlive this call when a look is passed over.
    struct Shared
    {
        explicit Shared(qsizetype count)
            : parts(size_t(count))
            , board(count)
        {
        }
        std::vector<Part> parts;
        ItemBoard board;
        std::mutex mutex;
        std::condition_variable finished;
    };
    const auto shared = std::make_shared<Shared>(first.size());
    const auto look = [shared, root, first, keepFrom](qsizetype i) {
        if (!shared->board.Begin(i))
            return;
        Part part;
        {
            CollectingMessagePort port;
            const ThreadMessagePort scope(port);
            CollectFolderRows(JoinPath(root, first[i]), part.rows);
            part.messages = port.messages;
        }
        if (keepFrom > 0)
            for (QString& row : part.rows)
                row = row.mid(keepFrom);
        {
            const std::lock_guard lock(shared->mutex);
            shared->parts[size_t(i)] = std::move(part);
            shared->board.Finish(i);
        }
        shared->finished.notify_all();
    };
    if (stuckMs < 0) {
        ParallelFor(first.size(), threads, look, cancel);
    } else {
        // The caller's flag is not handed on: these workers may outlive the caller.
        BackgroundJob job([look, count = first.size(), threads](const std::atomic<bool>& stop) {
            ParallelFor(count, threads, look, &stop);
        }, [shared] {
            const std::lock_guard lock(shared->mutex);
            shared->finished.notify_all();
        });
        // Waits for each look in order; one that does not answer in time is left to its worker.
        std::unique_lock lock(shared->mutex);
        for (qsizetype i = 0; i < first.size(); ++i) {
            while (!(cancel && *cancel) && !job.Finished()) {
                const ItemBoard::Item item = shared->board.Look(i, stuckMs);
                if (item == ItemBoard::Item::Done || item == ItemBoard::Item::PassedOver)
                    break;
                shared->finished.wait_for(lock, std::chrono::milliseconds(
                                                    std::max<qint64>(1, shared->board.MsUntilStuck(i, stuckMs))));
            }
        }
        lock.unlock();
        job.Detach();
    }
    const std::lock_guard lock(shared->mutex);
    for (qsizetype i = 0; i < first.size(); ++i) {
        if (stuckMs >= 0 && shared->board.Look(i, stuckMs) != ItemBoard::Item::Done)
            continue;
        out.folders += shared->parts[size_t(i)].rows;
        out.messages += shared->parts[size_t(i)].messages;
    }
    return out;
}

LoadedRow ReadRowQuietly(const QString& folder)
{
    LoadedRow row;
    row.folder = folder;
    CollectingMessagePort port;
    const ThreadMessagePort scope(port);
    ReadDirTexts(folder, row.desc, row.schedText, row.nextText);
    row.messages = port.messages;
    return row;
}

std::vector<LoadedRow> ReadRowsParallel(const QStringList& folders, int threads)
{
    std::vector<LoadedRow> rows(size_t(folders.size()));
    ParallelFor(folders.size(), threads, [&](qsizetype i) { rows[size_t(i)] = ReadRowQuietly(folders[i]); });
    return rows;
}

namespace {

std::atomic<quint64> g_loads { 0 };

// One copy of each schedule text and next trigger for the rows that show it: a tree's rows repeat
// a few hundred of them, and a row keeps its texts for as long as the list shows it. Each worker
// keeps its own set, for the one load it works for, so no worker waits for another.
void ShareRowTexts(quint64 load, LoadedRow& row)
{
    thread_local quint64 t_load = 0;
    thread_local QSet<QString> t_texts;
    if (t_load != load) {
        t_load = load;
        t_texts.clear();
    }
    for (QString* text : { &row.schedText, &row.nextText }) {
        if (text->isEmpty())
            continue;
        if (const auto it = t_texts.constFind(*text); it != t_texts.cend())
            *text = *it;
        else
            t_texts.insert(*text);
    }
}

} // namespace

struct ListLoadJob::State
{
    std::mutex mutex; // guards the fields below but rows (whose slots the board hands over)
    bool scanned = false;
    bool scanTaken = false;
    ScannedRows scan;
    // A row read waits here until the window takes it; only rows read and not yet taken take room.
    std::vector<std::unique_ptr<LoadedRow>> rows;
    std::unique_ptr<ItemBoard> board;
    qsizetype taken = 0;
    bool stopped = false;
    std::vector<char> given; // rows whose messages went out (taken, or in Stop or TakeLate)
};

ListLoadJob::ListLoadJob(QString root, std::function<void()> notify, int threads, qint64 stuckMs, qsizetype keepFrom)
    : m_state(std::make_shared<State>())
    , m_stuckMs(stuckMs)
{
    const std::shared_ptr<State> state = m_state;
    m_job = std::make_unique<BackgroundJob>(
        [state, root = std::move(root), notify, threads, stuckMs, keepFrom](const std::atomic<bool>& cancel) {
            ScannedRows scan = ScanRowsParallel(root, threads, &cancel, stuckMs, keepFrom);
            const QString prefix = root.left(keepFrom); // what each row's path lacks
            const quint64 load = ++g_loads;
            const QStringList folders = scan.folders;
            {
                const std::lock_guard lock(state->mutex);
                state->rows.resize(size_t(folders.size()));
                state->given.assign(size_t(folders.size()), 0);
                state->board = std::make_unique<ItemBoard>(folders.size());
                state->scan = std::move(scan);
                state->scanned = true;
            }
            notify();
            ItemBoard& board = *state->board;
            ParallelFor(folders.size(), threads, [&](qsizetype i) {
                if (!board.Begin(i))
                    return;
                auto row = std::make_unique<LoadedRow>(ReadRowQuietly(prefix + folders[i]));
                row->folder = folders[i];
                ShareRowTexts(load, *row);
                state->rows[size_t(i)] = std::move(row);
                // The window takes rows in order: a row after the one it waits for wakes nobody.
                bool awaited = false;
                board.Finish(i, &awaited);
                if (awaited)
                    notify();
            }, &cancel);
        },
        notify);
}

ListLoadJob::~ListLoadJob() = default;

void ListLoadJob::Cancel()
{
    if (m_job)
        m_job->Cancel();
}

bool ListLoadJob::WorkersDone() const
{
    return !m_job || m_job->Finished();
}

QStringList ListLoadJob::Stop()
{
    m_job->Detach();
    QStringList messages;
    const std::lock_guard lock(m_state->mutex);
    State& s = *m_state;
    s.stopped = true;
    if (!s.scanned)
        return messages;
    if (!s.scanTaken)
        messages = s.scan.messages;
    s.scanTaken = true;
    // Rows never read have no messages; a row in work says its own later.
    for (qsizetype i = s.taken; i < qsizetype(s.rows.size()); ++i) {
        if (s.board->Look(i, std::numeric_limits<qint64>::max()) == ItemBoard::Item::Done && !s.given[size_t(i)]
            && s.rows[size_t(i)]) {
            s.given[size_t(i)] = 1;
            messages += s.rows[size_t(i)]->messages;
        }
    }
    return messages;
}

QStringList ListLoadJob::TakeLate()
{
    QStringList messages;
    const std::lock_guard lock(m_state->mutex);
    State& s = *m_state;
    if (!s.scanned)
        return messages;
    const auto give = [&](qsizetype i) {
        if (!s.given[size_t(i)] && s.rows[size_t(i)]) {
            s.given[size_t(i)] = 1;
            messages += s.rows[size_t(i)]->messages;
        }
    };
    for (const qsizetype i : s.board->TakeLate())
        give(i);
    if (s.stopped)
        for (qsizetype i = s.taken; i < qsizetype(s.rows.size()); ++i)
            if (s.board->Look(i, std::numeric_limits<qint64>::max()) == ItemBoard::Item::Done)
                give(i);
    return messages;
}

ListLoadJob::Ready ListLoadJob::Take(qsizetype maxRows)
{
    Ready ready;
    const std::lock_guard lock(m_state->mutex);
    State& s = *m_state;
    if (!s.scanned)
        return ready;
    ready.scanned = true;
    ready.rowCount = s.scan.folders.size();
    if (!s.scanTaken) {
        ready.scanMessages = s.scan.messages;
        s.scanTaken = true;
    }
    const qsizetype end = maxRows >= 0 ? std::min(ready.rowCount, s.taken + maxRows) : ready.rowCount;
    for (; s.taken < end; ++s.taken) {
        const size_t i = size_t(s.taken);
        const ItemBoard::Item item = s.board->Look(s.taken, m_stuckMs);
        if (item == ItemBoard::Item::Done) {
            s.given[i] = 1;
            ready.rows.push_back(std::move(*s.rows[i]));
            s.rows[i].reset();
        } else if (item == ItemBoard::Item::PassedOver) {
            LoadedRow row;
            row.folder = s.scan.folders[s.taken];
            row.passedOver = true;
            ready.rows.push_back(std::move(row));
        } else {
            const qint64 ms = s.board->MsUntilStuck(s.taken, m_stuckMs);
            ready.retryMs = ms < 0 ? -1 : std::max<qint64>(1, ms);
            break;
        }
    }
    ready.finished = s.taken == ready.rowCount;
    return ready;
}
