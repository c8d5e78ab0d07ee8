#include "platform/localtime.h"

#include <ctime>

namespace {

qint64 (*g_timeSource)() = nullptr;

} // namespace

qint64 CurrentTime()
{
    return g_timeSource ? g_timeSource() : static_cast<qint64>(std::time(nullptr));
}

void SetTimeSource(qint64 (*source)())
{
    g_timeSource = source;
}

bool ToLocalTime(qint64 t, LocalTime& out)
{
    const std::time_t tt = static_cast<std::time_t>(t);
    std::tm tm {};
    if (!::localtime_r(&tt, &tm))
        return false;
    out.year = tm.tm_year + 1900;
    out.month = tm.tm_mon + 1;
    out.day = tm.tm_mday;
    out.hour = tm.tm_hour;
    out.minute = tm.tm_min;
    out.second = tm.tm_sec;
    out.weekday = tm.tm_wday;
    return true;
}

bool MakeLocalTime(int year, int month, int day, int hour, int minute, int second, qint64& out)
{
    std::tm tm {};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1)) {
        // -1 is also one second before 1970 in UTC; only a real failure leaves tm unnormalised.
        std::tm check {};
        const std::time_t minusOne = -1;
        if (!::localtime_r(&minusOne, &check) || check.tm_year != tm.tm_year || check.tm_mon != tm.tm_mon
            || check.tm_mday != tm.tm_mday || check.tm_hour != tm.tm_hour || check.tm_min != tm.tm_min)
            return false;
    }
    out = static_cast<qint64>(t);
    return true;
}
