#include "schedule/schedulerecord.h"

#include <gtest/gtest.h>

TEST(ScheduleRecord, DecodeThenEncodeGivesTheSameLines)
{
    const QStringList files[] = {
        { QStringLiteral("1;8;30;31"), QStringLiteral("2026-12-31,8,30"), QStringLiteral("-1"), QStringLiteral("1") },
        { QStringLiteral("2;9;5;2024-9-16,7"), QStringLiteral("2024-9-23,9,5"), QStringLiteral("2"),
          QStringLiteral("0") },
        { QStringLiteral("-1;0;0;"), QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0") },
    };
    for (const QStringList& lines : files) {
        ScheduleRecord record;
        record.Decode(lines);
        EXPECT_EQ(record.Encode().join(QString()), lines.join(QStringLiteral("\r\n"))) << lines[0].toStdString();
    }
    // The writer's weekend flag is 0 or 1, whatever the record was read with.
    ScheduleRecord seven;
    seven.Decode({ QStringLiteral("1;8;30;31"), QStringLiteral("2026-12-31,8,30"), QStringLiteral("3"),
                   QStringLiteral("7") });
    EXPECT_EQ(seven.weekend, 7);
    EXPECT_EQ(seven.Encode().last(), QStringLiteral("1"));
}

TEST(ScheduleRecord, FieldsNotReadKeepTheirPresets)
{
    ScheduleRecord record;
    record.count = -1;
    record.weekend = 5;
    // Line 2 without a time keeps line 1's; three lines leave the weekend flag alone.
    record.Decode({ QStringLiteral("3;18;0;2024-1-31,1 tail"), QStringLiteral("2024-2-29"), QStringLiteral("x") });
    EXPECT_EQ(record.mode, SCHED_EVERY_N_MONTHS);
    EXPECT_EQ(record.spec, QStringLiteral("2024-1-31,1"));
    EXPECT_EQ(std::tuple(record.next.year, record.next.month, record.next.day, record.next.hour, record.next.minute),
              std::tuple(2024, 2, 29, 18, 0));
    EXPECT_EQ(record.count, -1);
    EXPECT_EQ(record.weekend, 5);
}

TEST(ParseScheduleSpec, EachModeReadsItsOwnNumbers)
{
    const ScheduleSpec yearly = ParseScheduleSpec(SCHED_YEARLY, u"2-29", -1);
    EXPECT_EQ(std::tuple(yearly.year, yearly.month, yearly.day, yearly.interval, yearly.read),
              std::tuple(-1, 2, 29, -1, 2));
    const ScheduleSpec monthly = ParseScheduleSpec(SCHED_MONTHLY, u"15日");
    EXPECT_EQ(std::tuple(monthly.month, monthly.day, monthly.read), std::tuple(0, 15, 1));
    const ScheduleSpec days = ParseScheduleSpec(SCHED_EVERY_N_DAYS, u"2024-9- 15,x", -1);
    EXPECT_EQ(std::tuple(days.year, days.month, days.day, days.interval, days.read), std::tuple(2024, 9, 15, -1, 3));
    const ScheduleSpec unknown = ParseScheduleSpec(7, u"1-2-3,4", -1);
    EXPECT_EQ(std::tuple(unknown.year, unknown.day, unknown.read), std::tuple(-1, -1, 0));
}
