#include "platform/localtime.h"
#include "platform/programstate.h"
#include "schedule/calendar.h"
#include "schedule/schedule.h"
#include "schedule/schedulerecord.h"

namespace {

const QString kErrStartThisYear =
    QStringLiteral("起始日期不正确，今年指定日期开始，如果周末前推则起始日期需避开周末！");
const QString kErrStartThisMonth =
    QStringLiteral("起始日期不正确，本月指定日期开始，如果周末前推则起始日期需避开周末！");
const QString kErrStart = QStringLiteral("起始日期不正确，如果周末前推则起始日期需避开周末！");
const QString kErrCorrect = QStringLiteral("矫正时间发生错误，请注意格式要求！");
const QString kErrDayInterval = QStringLiteral("间隔天数有错误，请注意格式要求！");
const QString kErrMonthInterval = QStringLiteral("间隔月数有错误，请注意格式要求！");
const QString kErrMode = QStringLiteral("选项错误！");

qint64 Fail(bool& ok)
{
    ok = false;
    return g_tNow;
}

bool SameDate(qint64 t, int year, int month, int day)
{
    LocalTime lt;
    return ToLocalTime(t, lt) && lt.year == year && lt.month == month && lt.day == day;
}

// The trigger at hour:minute of a day reached by whole calendar days from a valid day, without
// the weekend rule. Stepping in days rather than seconds keeps the time of day across a change
// of daylight saving.
qint64 TimeOfDayCount(qint64 days, int hour, int minute, bool& ok)
{
    int year, month, day;
    CivilFromDays(days, year, month, day);
    if (year < kFirstYear || year > kLastYear)
        return Fail(ok);
    qint64 t;
    if (!LocalWallTime(year, month, day, hour, minute, t))
        return Fail(ok);
    return t;
}

// The day a trigger on this day fires with the weekend rule: Saturday and Sunday go back to Friday.
qint64 MovedOffWeekend(qint64 days)
{
    const qint64 weekday = ((days + 4) % 7 + 7) % 7; // 1970-01-01 was a Thursday
    return weekday == 6 ? days - 1 : weekday == 0 ? days - 2 : days;
}

} // namespace

qint64 BuildTriggerTime(int year, int month, int day, int hour, int minute, bool& ok, int weekend)
{
    if (!IsBuildableTime(year, month, day, hour, minute))
        return Fail(ok);
    // A day the month does not have moves back to the month's last day.
    day = qMin(day, DaysInMonth(year, month));
    qint64 t;
    if (!LocalWallTime(year, month, day, hour, minute, t))
        return Fail(ok);
    LocalTime lt;
    if (!ToLocalTime(t, lt) || lt.year != year || lt.month != month)
        return Fail(ok);
    if (weekend != 0) {
        // Saturday and Sunday fire on the Friday before, at the same time of day.
        const int back = lt.weekday == 6 ? 1 : lt.weekday == 0 ? 2 : 0;
        if (back != 0)
            return TimeOfDayCount(DaysFromCivil(year, month, day) - back, hour, minute, ok);
    }
    return t;
}

qint64 ComputeNextTrigger(int mode, const QString& spec, int hour, int minute, int weekend, bool& ok,
                          QString& error)
{
    const NextTrigger next = ComputeNext(mode, ParseScheduleSpec(mode, spec), hour, minute, weekend);
    if (!next.ok) {
        ok = false;
        error = next.error;
    }
    return next.time;
}

NextTrigger ComputeNext(int mode, const ScheduleSpec& spec, int hour, int minute, int weekend)
{
    bool ok = true;
    auto fail = [](const QString& message, qint64 t) { return NextTrigger { t, false, message }; };
    auto done = [](qint64 t) { return NextTrigger { t, true, QString() }; };
    LocalTime now;
    const bool nowKnown = ToLocalTime(g_tNow, now);

    switch (mode) {
    case SCHED_YEARLY: {
        const int month = spec.month, day = spec.day;
        int year = nowKnown ? now.year : 0;
        qint64 t = BuildTriggerTime(year, month, day, hour, minute, ok, weekend);
        if (!ok)
            return fail(kErrStartThisYear, t);
        // With the weekend rule the next year's day can still lie before now (1 January moved back
        // to 30 December), so step a year at a time until it is later.
        while (t <= g_tNow) {
            t = BuildTriggerTime(++year, month, day, hour, minute, ok, weekend);
            if (!ok)
                return fail(kErrCorrect, t);
        }
        return done(t);
    }
    case SCHED_MONTHLY: {
        const int day = spec.day;
        int year = nowKnown ? now.year : 0;
        int month = nowKnown ? now.month : 0;
        qint64 t = BuildTriggerTime(year, month, day, hour, minute, ok, weekend);
        if (!ok)
            return fail(kErrStartThisMonth, t);
        while (t <= g_tNow) {
            if (++month > 12) {
                month = 1;
                ++year;
            }
            t = BuildTriggerTime(year, month, day, hour, minute, ok, weekend);
            if (!ok)
                return fail(kErrCorrect, t);
        }
        return done(t);
    }
    case SCHED_EVERY_N_DAYS: {
        const int year = spec.year, month = spec.month, day = spec.day, interval = spec.interval;
        qint64 t = BuildTriggerTime(year, month, day, hour, minute, ok, weekend);
        if (!SameDate(t, year, month, day))
            return fail(kErrStart, t);
        // A negative interval would never reach a later time.
        if (interval <= 0)
            return fail(kErrDayInterval, t);
        if (!ok)
            return fail(kErrCorrect, t);
        // No trigger can be built beyond the last year: a now past it (or one the platform
        // cannot convert) would only be reached after stepping through every year up to it.
        if (t <= g_tNow && (!nowKnown || now.year > kLastYear))
            return fail(kErrCorrect, g_tNow);
        // Steps count whole calendar days from the last trigger's day (after any weekend move).
        qint64 days = DaysFromCivil(year, month, day);
        const bool weekendBetween = interval >= 3 && weekend != 0;
        if (t <= g_tNow) {
            // Triggers on days up to the day before yesterday all lie before now; step over them
            // in whole days, which costs no time conversion.
            const qint64 today = DaysFromCivil(now.year, now.month, now.day);
            if (!weekendBetween) {
                // Without moves the triggers are evenly spaced.
                if (today - days > interval)
                    days += (today - 1 - days) / interval * qint64(interval);
            } else {
                while (days + interval < today - 1)
                    days = MovedOffWeekend(days + interval);
            }
        }
        while (t <= g_tNow) {
            days += interval;
            if (interval >= 3) {
                int y, m, d;
                CivilFromDays(days, y, m, d);
                if (y > kLastYear)
                    return fail(kErrCorrect, g_tNow);
                t = BuildTriggerTime(y, m, d, hour, minute, ok, weekend);
                if (!ok)
                    return fail(kErrCorrect, t);
                LocalTime moved;
                if (ToLocalTime(t, moved))
                    days = DaysFromCivil(moved.year, moved.month, moved.day);
            } else {
                t = TimeOfDayCount(days, hour, minute, ok);
                if (!ok)
                    return fail(kErrCorrect, t);
            }
        }
        return done(t);
    }
    case SCHED_EVERY_N_MONTHS: {
        const int year = spec.year, month = spec.month, day = spec.day, interval = spec.interval;
        qint64 t = BuildTriggerTime(year, month, day, hour, minute, ok, weekend);
        if (!SameDate(t, year, month, day))
            return fail(kErrStart, t);
        if (interval == 0)
            return fail(kErrMonthInterval, t);
        if (!ok)
            return fail(kErrCorrect, t);
        // 64 bits: a large interval must not wrap; years beyond the range fail in the build.
        qint64 y = year, m = month;
        while (t <= g_tNow) {
            m += interval;
            if (m > 12) {
                y += (m - 13) / 12 + 1;
                m = (m - 13) % 12 + 1;
            }
            if (y > kLastYear || m < 1)
                return fail(kErrCorrect, g_tNow);
            t = BuildTriggerTime(int(y), int(m), day, hour, minute, ok, weekend);
            if (!ok)
                return fail(kErrCorrect, t);
        }
        return done(t);
    }
    default:
        return fail(kErrMode, g_tNow);
    }
}
