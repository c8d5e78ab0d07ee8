#include "reminder/duecheck.h"

#include "platform/exclusivefile.h"
#include "platform/fileattr.h"
#include "schedule/calendar.h"
#include "schedule/scanformat.h"
#include "schedule/schedule.h"
#include "store/desc.h"
#include "store/textfile.h"

namespace {

// More than any zone's distance from UTC, as the firing procedure's own shortcut takes it.
constexpr qint64 kZoneSlack = 2 * 86400;

} // namespace

DueState CheckDue(const QString& folder, qint64 now)
{
    // The procedure's load steps: an open without sharing, one buffer's worth, the lines.
    const QString path = JoinPath(folder, kTimerFileName);
    CFile file;
    if (!file.Open(path, CFile::modeRead))
        return PathExists(path) ? DueState::Unreadable : DueState::NotDue;
    const QString text = ReadUnicodeText(file);
    file.Close();
    QStringList lines;
    SplitLines(text, lines);
    if (lines.size() < 3)
        return DueState::Unreadable; // the procedure removes it and says so

    int mode = SCHED_NONE, hour = 0, minute = 0;
    QString spec;
    ScanFormat(lines[0], u"%d;%d;%d;%s", { &mode, &hour, &minute }, &spec, kMaxSpecLength);
    if (mode == SCHED_NONE)
        return DueState::NotDue;
    int count = 0;
    ScanFormat(lines[2], u"%d", { &count });
    if (count == 0)
        return DueState::NotDue;
    // Line 2's hour and minute stand where they can be read. Where the procedure keeps line 1's
    // instead (a set time the spring change skipped), both name the same instant, so the answer
    // is the same.
    int year = 0, month = 0, day = 0;
    ScanFormat(lines[1], u"%d-%d-%d,%d,%d", { &year, &month, &day, &hour, &minute });

    const bool inRange = IsBuildableTime(year, month, day, hour, minute);
    if (inRange && DaysFromCivil(year, month, day) * 86400 + qint64(hour) * 3600 + qint64(minute) * 60 - kZoneSlack > now)
        return DueState::NotDue;
    qint64 t = 0;
    if (inRange && LocalWallTime(year, month, day, hour, minute, t) && t > now)
        return DueState::NotDue;
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
