#pragma once
// The schedule value: a schedule file's four lines as one record with one codec, and the one
// reading of a mode's details ("2-29", "31", "2024-9-15,3") that the date rules, the list texts
// and the settings checks share. No file access here; schedule.h's operations do that.
#include "platform/filesystem.h"
#include "schedule/schedule.h"

#include <QString>
#include <QStringList>
#include <QStringView>

// The numbers of a mode's details. Yearly: month, day. Monthly: day. Every N days or months:
// year, month, day of the start and the interval.
struct ScheduleSpec
{
    int year = 0;
    int month = 0;
    int day = 0;
    int interval = 0;
    int read = 0; // how many numbers the reading filled
};

// The mode's format ("%d-%d", "%d" or "%d-%d-%d,%d"); empty for a mode outside 0 to 3.
QStringView ScheduleSpecFormat(int mode);

// Reads the details with the mode's format from the start of the text: blanks before a number are
// skipped, reading stops at the first character that does not fit, and what follows the last
// number is ignored. Numbers never reached (all of them for an unknown mode) are `unread`.
ScheduleSpec ParseScheduleSpec(int mode, QStringView spec, int unread = 0);

// Line 2: the next trigger, local calendar time, as stored.
struct StoredTrigger
{
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
};

// A schedule file's content. The readers preset the fields with their own defaults and decode
// over them: a field the file does not yield keeps its preset.
struct ScheduleRecord
{
    int mode = SCHED_NONE; // line 1: "%d;%d;%d;%s"
    int hour = 0;
    int minute = 0;
    QString spec;          // at most kMaxSpecLength characters, cut at the first blank
    StoredTrigger next;    // line 2: "%d-%d-%d,%d,%d"
    int count = 0;         // line 3
    int weekend = 0;       // line 4, any value but 0 counts as set

    // Reads three or four lines (a missing fourth reads as nothing). Line 2's time starts as line
    // 1's, so a line 2 without one keeps the set time.
    void Decode(const QStringList& lines);

    // The file's four pieces, line ends included, in the order they are stored: mode -1 gives the
    // fixed no-schedule file, anything else line 1 from mode, time and details, line 2 from next,
    // line 3 from count, line 4 "1" or "0".
    QStringList Encode() const;

    // The time of day the schedule fires at from now on. Line 2's replaces line 1's, except where
    // line 2's is the same instant (the set time lay in the hour the spring change skips: the
    // schedule keeps its set time) or cannot be a time of day at all (line 2 then counts as
    // damaged, like a bad date, and line 1 stands).
    void TimeOfDay(int& outHour, int& outMinute) const;
};

// A schedule file as a reader found it: the record, and which file it was (its stamp, taken while
// the reader held it).
struct ScheduleRead
{
    ScheduleRecord record;
    FileStamp stamp;
};

// True when now (g_tNow) lies in the years a trigger can be built in. Outside them a computation
// fails for a reason that is not the schedule's: nothing is fired, written or removed.
bool ClockCanCarryTriggers();

// The next trigger of a schedule, strictly later than g_tNow, or why there is none.
struct NextTrigger
{
    qint64 time = 0;
    bool ok = true;
    QString error; // one of the date rules' reasons when not ok
};
NextTrigger ComputeNext(int mode, const ScheduleSpec& spec, int hour, int minute, int weekend);
