#include "schedule/schedulerecord.h"

#include "platform/localtime.h"
#include "platform/programstate.h"
#include "schedule/calendar.h"
#include "schedule/scanformat.h"

QStringView ScheduleSpecFormat(int mode)
{
    switch (mode) {
    case SCHED_YEARLY: return u"%d-%d";
    case SCHED_MONTHLY: return u"%d";
    case SCHED_EVERY_N_DAYS:
    case SCHED_EVERY_N_MONTHS: return u"%d-%d-%d,%d";
    default: return {};
    }
}

ScheduleSpec ParseScheduleSpec(int mode, QStringView spec, int unread)
{
    ScheduleSpec s { unread, unread, unread, unread, 0 };
    const QStringView format = ScheduleSpecFormat(mode);
    switch (mode) {
    case SCHED_YEARLY: s.read = ScanFormat(spec, format, { &s.month, &s.day }); break;
    case SCHED_MONTHLY: s.read = ScanFormat(spec, format, { &s.day }); break;
    case SCHED_EVERY_N_DAYS:
    case SCHED_EVERY_N_MONTHS: s.read = ScanFormat(spec, format, { &s.year, &s.month, &s.day, &s.interval }); break;
    default: break;
    }
    return s;
}

void ScheduleRecord::Decode(const QStringList& lines)
{
    ScanFormat(lines.value(0), u"%d;%d;%d;%s", { &mode, &hour, &minute }, &spec, kMaxSpecLength);
    next.hour = hour;
    next.minute = minute;
    ScanFormat(lines.value(1), u"%d-%d-%d,%d,%d", { &next.year, &next.month, &next.day, &next.hour, &next.minute });
    ScanFormat(lines.value(2), u"%d", { &count });
    ScanFormat(lines.value(3), u"%d", { &weekend });
}

QStringList ScheduleRecord::Encode() const
{
    if (mode == SCHED_NONE)
        return { QStringLiteral("-1;0;0;\r\n"), QStringLiteral("0\r\n"), QStringLiteral("0\r\n"), QStringLiteral("0") };
    const QString crLf = QStringLiteral("\r\n");
    const QChar semicolon = u';', dash = u'-', comma = u',';
    return {
        QString::number(mode) + semicolon + QString::number(hour) + semicolon + QString::number(minute) + semicolon
            + spec + crLf,
        QString::number(next.year) + dash + QString::number(next.month) + dash + QString::number(next.day) + comma
            + QString::number(next.hour) + comma + QString::number(next.minute) + crLf,
        QString::number(count) + crLf,
        weekend != 0 ? QStringLiteral("1") : QStringLiteral("0"),
    };
}

void ScheduleRecord::TimeOfDay(int& outHour, int& outMinute) const
{
    outHour = hour;
    outMinute = minute;
    if (next.hour == hour && next.minute == minute)
        return;
    if (next.hour < 0 || next.hour > 23 || next.minute < 0 || next.minute > 59)
        return;
    qint64 stored, set;
    if (IsBuildableTime(next.year, next.month, next.day, next.hour, next.minute)
        && IsBuildableTime(next.year, next.month, next.day, hour, minute)
        && LocalWallTime(next.year, next.month, next.day, next.hour, next.minute, stored)
        && LocalWallTime(next.year, next.month, next.day, hour, minute, set) && stored == set)
        return;
    outHour = next.hour;
    outMinute = next.minute;
}

bool ClockCanCarryTriggers()
{
    LocalTime now;
    return ToLocalTime(g_tNow, now) && now.year >= kFirstYear && now.year <= kLastYear;
}
