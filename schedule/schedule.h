#pragma once
// Schedules: the record kept in a folder's schedule file, the date rules that give its next
// trigger, the list texts, advancing a fired schedule and stopping one. Every operation takes the
// folder's full path, shows its own messages and returns false after a failure.
#include "platform/exclusivefile.h"

#include <QString>

#include <functional>

enum ScheduleMode {
    SCHED_NONE = -1,
    SCHED_YEARLY = 0,
    SCHED_MONTHLY = 1,
    SCHED_EVERY_N_DAYS = 2,
    SCHED_EVERY_N_MONTHS = 3,
};

inline const QString kTimerFileName = QStringLiteral("Quillbrook.Timer");

// The longest schedule text (the mode's details) the schedule file keeps; it holds no blanks.
constexpr int kMaxSpecLength = 63;

// The local time of the day at hour:minute, with the month-end rule and, when weekend is set, the
// weekend rule. On failure clears ok and returns g_tNow.
qint64 BuildTriggerTime(int year, int month, int day, int hour, int minute, bool& ok, int weekend);

// The first trigger strictly later than g_tNow. On failure clears ok and puts the reason in error.
qint64 ComputeNextTrigger(int mode, const QString& spec, int hour, int minute, int weekend, bool& ok,
                          QString& error);

// What an operation met beyond its result, for callers that show a condition's message only once
// (the operation has shown it already, or shows nothing for it).
enum class ScheduleFault {
    None,
    Removed,         // a damaged or uncomputable file was removed ("已自动清理")
    NotRemoved,      // such a file could not be removed and is still there
    Changing,        // the file changed while it was looked at: left alone, nothing shown
    ClockOutOfRange, // now lies outside the years a trigger can be built in: nothing fired or written
};

// Opens folder's schedule file whatever the case of its name, the program's spelling first (trees
// from Windows carry QUILLBROOK.TIMER and the like). path receives the file opened, or the one that
// would not open, or the program's spelling when the folder has none. Shows nothing.
bool OpenScheduleFile(const QString& folder, CFile& file, CFile::Mode mode, QString& path);

struct ScheduleRecord; // schedule/schedulerecord.h

// Stores the record's mode, time, details, count and weekend flag with the next trigger computed
// from them; record.next is not read.
bool WriteScheduleFile(const QString& folder, const ScheduleRecord& record, ScheduleFault* fault = nullptr);
// Fills record for the settings dialog. The caller's mode, hour and minute are the presets a file
// that does not yield them keeps; spec, count and weekend start empty. No schedule (no file, or
// mode -1) gives mode -1 and every other field empty. next receives the stored trigger; weekend
// comes out 0 or 1. On failure record is left as it was.
bool ReadScheduleForEdit(const QString& folder, ScheduleRecord& record, ScheduleFault* fault = nullptr);
bool GetScheduleTexts(QString folder, QString& schedText, QString& nextText, ScheduleFault* fault = nullptr);
// When it fires and dueText is given, dueText receives the trigger that fell due, as the list shows it.
bool ProcessDueSchedule(QString folder, ScheduleFault* fault = nullptr, QString* dueText = nullptr);

// ProcessDueSchedule going on from a read of the file that met no fault, instead of reading it
// again: it writes only while the file is still the one read. When it fires, the row's texts are
// those GetScheduleTexts gives for the file written, formed without reading it.
struct ScheduleRead;
bool ProcessReadSchedule(const QString& folder, const ScheduleRead& read, QString& schedText, QString& nextText,
                         ScheduleFault* fault = nullptr, QString* dueText = nullptr);
bool StopSchedule(QString folder, ScheduleFault* fault = nullptr);

// Whether a schedule read from its file fires at now: it has a mode and a count left, and its
// stored trigger is not later than now or cannot form a time.
bool RecordIsDue(const ScheduleRecord& record, qint64 now);
// The list texts of a record as GetScheduleTexts forms them from a file's.
void ScheduleTexts(const ScheduleRecord& record, QString& schedText, QString& nextText);

// A file that reads as damaged is looked at again after this pause and removed only when it is
// still the same file, unchanged and still damaged: another program may be writing it in place.
constexpr int kDamageRecheckMs = 200;
// Replaces the pause (tests shorten it, or change the file during it); an empty one restores it.
void SetDamageRecheckPause(std::function<void()> pause);
