#include "schedule/calendar.h"

#include "platform/localtime.h"

#include <limits>

qint64 DaysFromCivil(int year, int month, int day)
{
    // Howard Hinnant's days_from_civil, in 64 bits.
    const qint64 y = qint64(year) - (month <= 2 ? 1 : 0);
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const qint64 yoe = y - era * 400;
    const qint64 mp = (qint64(month) + 9) % 12;
    const qint64 doy = (153 * mp + 2) / 5 + qint64(day) - 1;
    const qint64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(qint64 days, int& year, int& month, int& day)
{
    const qint64 z = days + 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const qint64 doe = z - era * 146097;
    const qint64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const qint64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const qint64 mp = (5 * doy + 2) / 153;
    day = int(doy - (153 * mp + 2) / 5 + 1);
    month = int(mp < 10 ? mp + 3 : mp - 9);
    year = int(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

int DaysInMonth(int year, int month)
{
    if (month == 12)
        return 31;
    return int(DaysFromCivil(year, month + 1, 1) - DaysFromCivil(year, month, 1));
}

namespace {

// The local clock reading of t as seconds on a clock without zones.
bool LocalClock(qint64 t, qint64& clock)
{
    LocalTime lt;
    if (!ToLocalTime(t, lt))
        return false;
    clock = DaysFromCivil(lt.year, lt.month, lt.day) * 86400 + lt.hour * 3600 + lt.minute * 60 + lt.second;
    return true;
}

} // namespace

bool LocalWallTime(int year, int month, int day, int hour, int minute, qint64& out)
{
    qint64 platform;
    if (!MakeLocalTime(year, month, day, hour, minute, 0, platform))
        return false;
    const qint64 wall = DaysFromCivil(year, month, day) * 86400 + qint64(hour) * 3600 + qint64(minute) * 60;

    // The zone offsets in force around that time: a change lies within hours of the platform's
    // answer, so a day either side sees the offsets before and after it.
    qint64 offsets[3];
    int count = 0;
    for (const qint64 probe : { platform - 86400, platform, platform + 86400 }) {
        qint64 clock;
        if (LocalClock(probe, clock))
            offsets[count++] = clock - probe;
    }
    if (count == 0) {
        out = platform;
        return true;
    }

    // Every instant that shows the wall time; the earliest wins (the autumn change shows it twice).
    bool found = false;
    qint64 best = 0;
    qint64 lowest = offsets[0], highest = offsets[0];
    for (int i = 0; i < count; ++i) {
        lowest = qMin(lowest, offsets[i]);
        highest = qMax(highest, offsets[i]);
        const qint64 t = wall - offsets[i];
        qint64 clock;
        if (LocalClock(t, clock) && clock == wall && (!found || t < best)) {
            best = t;
            found = true;
        }
    }
    if (found) {
        out = best;
        return true;
    }

    // The clocks skip the wall time: find the instant of the jump, the first that shows a later
    // time. Read with the later, larger offset the wall time lies before the jump; with the
    // earlier one, after it.
    qint64 lo = wall - highest; // shows a time before the wall time
    qint64 hi = wall - lowest;  // shows a time after it
    qint64 clock;
    if (!LocalClock(lo, clock) || clock >= wall || !LocalClock(hi, clock) || clock < wall) {
        out = platform;
        return true;
    }
    while (hi - lo > 1) {
        const qint64 mid = lo + (hi - lo) / 2;
        if (!LocalClock(mid, clock)) {
            out = platform;
            return true;
        }
        if (clock >= wall)
            hi = mid;
        else
            lo = mid;
    }
    out = hi;
    return true;
}

bool IsBuildableTime(int year, int month, int day, int hour, int minute)
{
    return year >= kFirstYear && year <= kLastYear && month >= 1 && month <= 12 && day >= 1 && day <= 31
        && hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59;
}
