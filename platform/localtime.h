#pragma once
// Local time as the C library sees it (TZ, daylight saving decided by the platform). Times are
// seconds since 1970-01-01 UTC.
#include <QtGlobal>


struct LocalTime
{
    int year = 0;
    int month = 0;   // 1 to 12
    int day = 0;     // 1 to 31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int weekday = 0; // 0 Sunday to 6 Saturday
};

// The wall clock now, or the test clock when one is set.
qint64 CurrentTime();
// Replaces the wall clock (tests drive the reminder tick with it); nullptr restores it.
void SetTimeSource(qint64 (*source)());

// Splits t into local calendar fields; false when the platform cannot convert it.
bool ToLocalTime(qint64 t, LocalTime& out);

// Builds the local time of the given fields with mktime (tm_isdst = -1, so the platform decides
// daylight saving and normalises out-of-range fields); false when the platform refuses.
bool MakeLocalTime(int year, int month, int day, int hour, int minute, int second, qint64& out);
