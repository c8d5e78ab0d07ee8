#pragma once
// Helpers shared by the schedule tests.
#include "platform/localtime.h"
#include "schedule/schedulerecord.h"

#include <QString>
#include <gtest/gtest.h>

// A schedule to write; the writer computes its next trigger.
inline ScheduleRecord Schedule(int mode, int hour, int minute, const QString& spec, int count, bool weekend)
{
    return { mode, hour, minute, spec, {}, count, weekend ? 1 : 0 };
}

// The instant of a local time in the current zone (not for times at a change of daylight saving).
inline qint64 At(int year, int month, int day, int hour, int minute)
{
    qint64 t = 0;
    EXPECT_TRUE(MakeLocalTime(year, month, day, hour, minute, 0, t));
    return t;
}

// A local time as "Y-M-D HH:MM", for readable failures.
inline std::string Show(qint64 t)
{
    LocalTime lt;
    if (!ToLocalTime(t, lt))
        return "?";
    return QString::asprintf("%d-%02d-%02d %02d:%02d:%02d", lt.year, lt.month, lt.day, lt.hour, lt.minute, lt.second)
        .toStdString();
}
