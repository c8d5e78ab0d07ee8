#pragma once
// Calendar arithmetic for the date rules: whole days in the proleptic Gregorian calendar, and the
// conversion of a local wall-clock time to an instant that never lets daylight saving move it.
#include <QtGlobal>

// The years the platform's time conversion accepts.
constexpr int kFirstYear = 1970;
constexpr int kLastYear = 3000;

// True when the fields can name a trigger: a year the platform converts, month 1 to 12, day 1 to
// 31 (whatever the month), hour 0 to 23, minute 0 to 59.
bool IsBuildableTime(int year, int month, int day, int hour, int minute);

// Days since 1970-01-01 of a calendar day. Linear in day, so a day beyond the month's end counts
// on into the following month.
qint64 DaysFromCivil(int year, int month, int day);
// The calendar day of a day count.
void CivilFromDays(qint64 days, int& year, int& month, int& day);
int DaysInMonth(int year, int month);

// The instant at which local clocks show year-month-day hour:minute:00. A time that the clocks
// skip (the spring change) gives the first instant after it; a time they show twice (the autumn
// change) gives the first of the two. False when the platform cannot convert it.
bool LocalWallTime(int year, int month, int day, int hour, int minute, qint64& out);
