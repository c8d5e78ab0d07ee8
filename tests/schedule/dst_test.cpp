// Schedules fired one trigger after another through a year with both changes of daylight saving.
#include "platform/programstate.h"
#include "schedtest.h"
#include "schedule/calendar.h"
#include "schedule/scanformat.h"
#include "schedule/schedule.h"
#include "testsupport.h"

#include <QRegularExpression>
#include <QStringList>
#include <ctime>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

namespace {

struct Zone
{
    const char* name;
    int standardOffset; // seconds east of UTC
    int daylightOffset;
    qint64 springChange; // the instant the clocks jump forward in 2024
};

// Berlin: 31 March 2024 02:00 -> 03:00, 27 October 03:00 -> 02:00.
// New York: 10 March 2024 02:00 -> 03:00, 3 November 02:00 -> 01:00.
const Zone kBerlin { "Europe/Berlin", 3600, 7200, 1711846800 };  // 2024-03-31T01:00:00Z
const Zone kNewYork { "America/New_York", -18000, -14400, 1710054000 }; // 2024-03-10T07:00:00Z

qint64 UtcClock(int y, int mo, int d, int h, int mi)
{
    std::tm tm {};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    return static_cast<qint64>(::timegm(&tm));
}

bool Shows(qint64 t, int y, int mo, int d, int h, int mi)
{
    LocalTime lt;
    return ToLocalTime(t, lt) && lt.year == y && lt.month == mo && lt.day == d && lt.hour == h && lt.minute == mi
        && lt.second == 0;
}

// When a reminder set for that local time should fire: the earlier instant when the clocks show
// it twice, the jump itself when they skip it.
qint64 ExpectedInstant(const Zone& zone, int y, int mo, int d, int h, int mi)
{
    const qint64 clock = UtcClock(y, mo, d, h, mi);
    const qint64 daylight = clock - zone.daylightOffset;
    const qint64 standard = clock - zone.standardOffset;
    if (Shows(daylight, y, mo, d, h, mi))
        return daylight; // the earlier of the two where both show it
    if (Shows(standard, y, mo, d, h, mi))
        return standard;
    EXPECT_TRUE(daylight < zone.springChange && zone.springChange <= standard) << "not in the spring gap";
    return zone.springChange;
}

QStringList FileLines(const TempTree& tree)
{
    const QByteArray bytes = tree.ReadBytes(QStringLiteral("Quillbrook.Timer"));
    if (bytes.size() < 2)
        return {};
    const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2),
                                            (bytes.size() - 2) / 2);
    return text.split(QStringLiteral("\r\n"));
}

// The stored next trigger, read from line 2 of the file independently of the program's readers.
qint64 StoredTrigger(const Zone& zone, const TempTree& tree)
{
    const QStringList lines = FileLines(tree);
    EXPECT_EQ(lines.size(), 4);
    if (lines.size() < 2)
        return 0;
    int y = 0, mo = 0, d = 0, h = 0, mi = 0;
    EXPECT_EQ(ScanFormat(lines[1], u"%d-%d-%d,%d,%d", { &y, &mo, &d, &h, &mi }), 5) << lines[1].toStdString();
    return ExpectedInstant(zone, y, mo, d, h, mi);
}

int Weekday(qint64 days)
{
    return int(((days + 4) % 7 + 7) % 7); // 1970-01-01 was a Thursday
}

// Fires the schedule trigger by trigger through 2024 and checks every firing against the calendar:
// nextDay gives the day after a firing's day.
void FireThroughTheYear(const Zone& zone, int mode, const QString& spec, int hour, int minute, bool weekend,
                        qint64 firstDay, const std::function<qint64(qint64)>& nextDay)
{
    SCOPED_TRACE(testing::Message() << zone.name << " mode " << mode << " " << spec.toStdString() << " at " << hour
                                    << ":" << minute);
    ScopedTimeZone tz(zone.name);
    RecordingMessagePort messages;
    TempTree tree;
    const QString folder = tree.Root();
    g_tNow = At(2024, 1, 1, 0, 0);
    ASSERT_TRUE(WriteScheduleFile(folder, Schedule(mode, hour, minute, spec, -1, weekend)));

    const qint64 end = At(2025, 1, 1, 0, 0);
    qint64 day = firstDay;
    int firings = 0;
    for (;;) {
        const qint64 next = StoredTrigger(zone, tree);
        if (next >= end)
            break;
        int y, mo, d;
        CivilFromDays(day, y, mo, d);
        const qint64 expected = ExpectedInstant(zone, y, mo, d, hour, minute);
        ASSERT_EQ(Show(next), Show(expected)) << "firing " << firings;
        if (weekend) {
            EXPECT_NE(Weekday(day), 0);
            EXPECT_NE(Weekday(day), 6);
        }

        g_tNow = next - 60;
        ASSERT_FALSE(ProcessDueSchedule(folder)) << "due a minute early at " << Show(next);
        g_tNow = next;
        ASSERT_TRUE(ProcessDueSchedule(folder)) << "did not fire at " << Show(next);
        ++firings;
        // Once per period: neither the next minute nor the same clock time an hour later (the
        // repeated hour of autumn) fires it again.
        g_tNow = next + 60;
        ASSERT_FALSE(ProcessDueSchedule(folder)) << "fired twice at " << Show(next);
        g_tNow = next + 3600;
        ASSERT_FALSE(ProcessDueSchedule(folder)) << "fired again an hour after " << Show(next);
        // The schedule keeps its set time of day in line 1.
        const QStringList lines = FileLines(tree);
        ASSERT_EQ(lines.size(), 4);
        EXPECT_TRUE(lines[0].startsWith(QStringLiteral("%1;%2;%3;").arg(mode).arg(hour).arg(minute)))
            << lines[0].toStdString();
        day = nextDay(day);
        ASSERT_LT(firings, 400);
    }
    EXPECT_TRUE(messages.messages.isEmpty()) << messages.messages.join(u'\n').toStdString();
    // The last day expected after the year must be what the file holds.
    int y, mo, d;
    CivilFromDays(day, y, mo, d);
    EXPECT_EQ(Show(StoredTrigger(zone, tree)), Show(ExpectedInstant(zone, y, mo, d, hour, minute)));
}

qint64 Day(int y, int mo, int d)
{
    return DaysFromCivil(y, mo, d);
}

void Daily(const Zone& zone, int hour, int minute)
{
    FireThroughTheYear(zone, SCHED_EVERY_N_DAYS, QStringLiteral("2024-1-1,1"), hour, minute, false,
                       Day(2024, 1, 1), [](qint64 d) { return d + 1; });
}

void EveryThreeDaysOffWeekends(const Zone& zone, int hour, int minute)
{
    FireThroughTheYear(zone, SCHED_EVERY_N_DAYS, QStringLiteral("2024-1-1,3"), hour, minute, true,
                       Day(2024, 1, 1), [](qint64 d) {
                           d += 3;
                           return Weekday(d) == 6 ? d - 1 : Weekday(d) == 0 ? d - 2 : d;
                       });
}

void Monthly(const Zone& zone, int dayOfMonth, int hour, int minute)
{
    const auto dayIn = [dayOfMonth](int y, int mo) { return Day(y, mo, qMin(dayOfMonth, DaysInMonth(y, mo))); };
    FireThroughTheYear(zone, SCHED_MONTHLY, QString::number(dayOfMonth), hour, minute, false, dayIn(2024, 1),
                       [dayIn](qint64 d) {
                           int y, mo, day;
                           CivilFromDays(d, y, mo, day);
                           return mo == 12 ? dayIn(y + 1, 1) : dayIn(y, mo + 1);
                       });
}

} // namespace

TEST(DaylightSaving, BerlinDailyKeepsItsTime)
{
    Daily(kBerlin, 9, 0);
    Daily(kBerlin, 2, 30); // in the spring gap on 31 March, twice on 27 October
}

TEST(DaylightSaving, BerlinEveryThreeDaysWithWeekendRule)
{
    EveryThreeDaysOffWeekends(kBerlin, 9, 0);
    EveryThreeDaysOffWeekends(kBerlin, 2, 30);
}

TEST(DaylightSaving, BerlinMonthly)
{
    Monthly(kBerlin, 31, 9, 0);
    Monthly(kBerlin, 31, 2, 30); // 31 March 02:30 does not exist
    Monthly(kBerlin, 27, 2, 30); // 27 October 02:30 exists twice
}

TEST(DaylightSaving, NewYorkDailyKeepsItsTime)
{
    Daily(kNewYork, 9, 0);
    Daily(kNewYork, 2, 30); // in the spring gap on 10 March
    Daily(kNewYork, 1, 30); // twice on 3 November
}

TEST(DaylightSaving, NewYorkEveryThreeDaysWithWeekendRule)
{
    EveryThreeDaysOffWeekends(kNewYork, 9, 0);
    EveryThreeDaysOffWeekends(kNewYork, 1, 30);
}

TEST(DaylightSaving, NewYorkMonthly)
{
    Monthly(kNewYork, 10, 2, 30);
    Monthly(kNewYork, 3, 1, 30);
}

TEST(DaylightSaving, BuildTriggerTimeAtTheChanges)
{
    ScopedTimeZone tz(kBerlin.name);
    g_tNow = At(2024, 1, 1, 0, 0);
    bool ok = true;
    // The skipped half hour fires when the clocks jump; the repeated one the first time round.
    EXPECT_EQ(BuildTriggerTime(2024, 3, 31, 2, 30, ok, 0), kBerlin.springChange);
    EXPECT_EQ(BuildTriggerTime(2024, 10, 27, 2, 30, ok, 0), UtcClock(2024, 10, 27, 0, 30));
    EXPECT_TRUE(ok);
    // Saturday 30 March 2024 moves back a calendar day at the same time of day, and the Sunday of
    // 27 October back two, whatever the change between.
    EXPECT_EQ(Show(BuildTriggerTime(2024, 3, 31, 9, 0, ok, 1)), Show(At(2024, 3, 29, 9, 0)));
    EXPECT_EQ(Show(BuildTriggerTime(2024, 10, 27, 2, 30, ok, 1)), Show(At(2024, 10, 25, 2, 30)));
    EXPECT_TRUE(ok);
}
