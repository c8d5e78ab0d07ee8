#include "reminder/duecheck.h"

#include "platform/exclusivefile.h"
#include "platform/fileattr.h"
#include "schedule/schedule.h"
#include "schedule/schedulerecord.h"
#include "store/desc.h"
#include "store/textfile.h"

DueState CheckDue(const QString& folder, qint64 now)
{
    // The procedure's load steps: an open without sharing, one buffer's worth, the lines.
    QString path;
    CFile file;
    if (!OpenScheduleFile(folder, file, CFile::modeRead, path))
        return PathExists(path) ? DueState::Unreadable : DueState::NotDue;
    const QString text = ReadUnicodeText(file);
    file.Close();
    QStringList lines;
    SplitLines(text, lines);
    if (lines.size() < 3)
        return DueState::Unreadable; // the procedure looks again, and removes it and says so
    ScheduleRecord record;
    record.Decode(lines);
    return RecordIsDue(record, now) ? DueState::Due : DueState::NotDue;
}

std::vector<DueState> CheckDueParallel(const QStringList& folders, qint64 now, int threads,
                                       const std::atomic<bool>* cancel)
{
    std::vector<DueState> states(size_t(folders.size()), DueState::Unreadable);
    ParallelFor(folders.size(), threads, [&](qsizetype i) { states[size_t(i)] = CheckDue(folders[i], now); },
                cancel);
    return states;
}

bool CheckedRows::MustVisit(int row, const QString& relative) const
{
    return row < 0 || row >= relatives.size() || relatives[row] != relative || states[size_t(row)] != DueState::NotDue;
}

DueCheckJob::DueCheckJob(const QString& root, QStringList relatives, qint64 now, std::function<void()> done)
{
    m_rows.relatives = std::move(relatives);
    m_rows.states.assign(size_t(m_rows.relatives.size()), DueState::Unreadable);
    // Each worker joins its row's path as it goes: a list of every path, made up front, would
    // stay in the window's memory after the pass.
    m_job = std::make_unique<BackgroundJob>(
        [this, root, now](const std::atomic<bool>& cancel) {
            // Read through a const reference: a non-const [] may detach the list, which is a write.
            const QStringList& relatives = m_rows.relatives;
            ParallelFor(relatives.size(), kFileWorkers, [&](qsizetype i) {
                const QString& relative = relatives[i];
                if (!relative.isEmpty())
                    m_rows.states[size_t(i)] = CheckDue(root + relative, now);
            }, &cancel);
        },
        std::move(done));
}

DueCheckJob::~DueCheckJob() = default;

bool DueCheckJob::Finished() const
{
    return m_job->Finished();
}
