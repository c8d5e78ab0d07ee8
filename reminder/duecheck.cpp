#include "reminder/duecheck.h"

#include "platform/exclusivefile.h"
#include "platform/fileattr.h"
#include "platform/filestamp.h"
#include "schedule/schedule.h"
#include "schedule/schedulerecord.h"
#include "store/desc.h"
#include "store/textfile.h"

DueState CheckDue(const QString& folder, qint64 now, ScheduleRead* read)
{
    // The procedure's load steps: an open without sharing, one buffer's worth, the lines.
    QString path;
    CFile file;
    if (!OpenScheduleFile(folder, file, CFile::modeRead, path))
        return PathExists(path) ? DueState::Unreadable : DueState::NotDue;
    const QString text = ReadUnicodeText(file);
    QStringList lines;
    SplitLines(text, lines);
    if (lines.size() < 3)
        return DueState::Unreadable; // the procedure looks again, and removes it and says so
    ScheduleRecord record;
    record.Decode(lines);
    if (!RecordIsDue(record, now))
        return DueState::NotDue;
    if (read) {
        // Which file was read, while it is still held: the firing writes only while it is there.
        if (!GetFileStamp(path, read->stamp))
            return DueState::Unreadable;
        read->record = std::move(record);
    }
    return DueState::Due;
}

std::vector<DueState> CheckDueParallel(const QStringList& folders, qint64 now, int threads,
                                       const std::atomic<bool>* cancel)
{
    std::vector<DueState> states(size_t(folders.size()), DueState::Unreadable);
    ParallelFor(folders.size(), threads, [&](qsizetype i) { states[size_t(i)] = CheckDue(folders[i], now); },
                cancel);
    return states;
}
