#include "schedule/listload.h"

#include "platform/entrypath.h"
#include "schedule/rowtexts.h"
#include "store/scan.h"

#include <algorithm>

ScannedRows ScanRowsParallel(const QString& root, int threads, const std::atomic<bool>* cancel)
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
    std::vector<Part> parts(size_t(first.size()));
    ParallelFor(first.size(), threads, [&](qsizetype i) {
        CollectingMessagePort port;
        const ThreadMessagePort scope(port);
        CollectFolderRows(JoinPath(root, first[i]), parts[size_t(i)].rows);
        parts[size_t(i)].messages = port.messages;
    }, cancel);
    for (const Part& part : parts) {
        out.folders += part.rows;
        out.messages += part.messages;
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

struct ListLoadJob::State
{
    std::mutex mutex; // guards the fields below but rows (whose done slots InOrderProgress guards)
    bool scanned = false;
    bool scanTaken = false;
    ScannedRows scan;
    std::vector<LoadedRow> rows;
    std::unique_ptr<InOrderProgress> progress;
    qsizetype taken = 0;
    bool finished = false;
};

ListLoadJob::ListLoadJob(QString root, std::function<void()> notify, int threads)
    : m_state(std::make_shared<State>())
{
    const std::shared_ptr<State> state = m_state;
    m_job = std::make_unique<BackgroundJob>(
        [state, root = std::move(root), notify, threads](const std::atomic<bool>& cancel) {
            ScannedRows scan = ScanRowsParallel(root, threads, &cancel);
            const QStringList folders = scan.folders;
            {
                const std::lock_guard lock(state->mutex);
                state->rows.resize(size_t(folders.size()));
                state->progress = std::make_unique<InOrderProgress>(folders.size());
                state->scan = std::move(scan);
                state->scanned = true;
            }
            notify();
            ParallelFor(folders.size(), threads, [&](qsizetype i) {
                state->rows[size_t(i)] = ReadRowQuietly(folders[i]);
                if (state->progress->MarkDone(i))
                    notify();
            }, &cancel);
        },
        [state, notify] {
            {
                const std::lock_guard lock(state->mutex);
                state->finished = true;
            }
            notify();
        });
}

ListLoadJob::~ListLoadJob() = default;

void ListLoadJob::Cancel()
{
    if (m_job)
        m_job->Cancel();
}

QStringList ListLoadJob::Stop()
{
    m_job.reset();
    QStringList messages;
    const std::lock_guard lock(m_state->mutex);
    State& s = *m_state;
    if (!s.scanned)
        return messages;
    if (!s.scanTaken)
        messages = s.scan.messages;
    s.scanTaken = true;
    // Rows never read have no messages.
    for (; s.taken < qsizetype(s.rows.size()); ++s.taken)
        messages += s.rows[size_t(s.taken)].messages;
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
    qsizetype prefix = s.progress->DonePrefix();
    if (maxRows >= 0)
        prefix = std::min(prefix, s.taken + maxRows);
    for (; s.taken < prefix; ++s.taken)
        ready.rows.push_back(std::move(s.rows[size_t(s.taken)]));
    // Over only when every row was read: a cancelled load is never finished.
    ready.finished = s.finished && s.taken == ready.rowCount;
    return ready;
}
