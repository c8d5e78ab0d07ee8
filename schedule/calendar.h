#pragma once
// Calendar arithmetic for the date rules: whole days in the proleptic Gregorian calendar, and the
// conversion of a local wall-clock time to an instant that never lets daylight saving move it.
#include <QtGlobal>

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
