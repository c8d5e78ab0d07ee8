#include "schedtest.h"
#include "platform/programstate.h"
#include "schedule/schedule.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

namespace {

const QString kErrStartThisYear =
    QStringLiteral("起始日期不正确，今年指定日期开始，如果周末前推则起始日期需避开周末！");
const QString kErrStartThisMonth =
    QStringLiteral("起始日期不正确，本月指定日期开始，如果周末前推则起始日期需避开周末！");
const QString kErrStart = QStringLiteral("起始日期不正确，如果周末前推则起始日期需避开周末！");
const QString kErrCorrect = QStringLiteral("矫正时间发生错误，请注意格式要求！");
const QString kErrDayInterval = QStringLiteral("间隔天数有错误，请注意格式要求！");
const QString kErrMonthInterval = QStringLiteral("间隔月数有错误，请注意格式要求！");

struct Example
{
    int mode;
    const char16_t* spec;
    int hour, minute, weekend;
    int now[5];
    int next[5];
};

// The worked examples: the next trigger for a schedule and a now.
const Example kExamples[] = {
    { 0, u"2-29", 9, 0, 0, { 2026, 12, 8, 10, 0 }, { 2027, 2, 28, 9, 0 } },
    { 0, u"2-29", 9, 0, 1, { 2026, 12, 8, 10, 0 }, { 2027, 2, 26, 9, 0 } },
    { 0, u"2-29", 9, 0, 0, { 2028, 1, 10, 10, 0 }, { 2028, 2, 29, 9, 0 } },
    { 0, u"12-8", 9, 0, 0, { 2026, 12, 8, 9, 0 }, { 2027, 12, 8, 9, 0 } },
    { 0, u"12-8", 9, 0, 0, { 2026, 12, 8, 8, 59 }, { 2026, 12, 8, 9, 0 } },
    { 1, u"31", 8, 30, 0, { 2026, 12, 8, 10, 0 }, { 2026, 12, 31, 8, 30 } },
    { 1, u"31", 8, 30, 0, { 2027, 1, 31, 9, 0 }, { 2027, 2, 28, 8, 30 } },
    { 1, u"31", 8, 30, 1, { 2027, 1, 31, 9, 0 }, { 2027, 2, 26, 8, 30 } },
    { 1, u"1", 8, 30, 1, { 2026, 10, 29, 9, 0 }, { 2026, 10, 30, 8, 30 } },
    { 2, u"2024-9-16,7", 9, 0, 0, { 2024, 9, 20, 10, 0 }, { 2024, 9, 23, 9, 0 } },
    { 2, u"2024-9-16,5", 9, 0, 1, { 2024, 9, 17, 10, 0 }, { 2024, 9, 20, 9, 0 } },
    { 2, u"2024-9-16,5", 9, 0, 1, { 2024, 9, 20, 10, 0 }, { 2024, 9, 25, 9, 0 } },
    { 3, u"2024-1-31,1", 9, 0, 0, { 2024, 2, 1, 10, 0 }, { 2024, 2, 29, 9, 0 } },
    { 3, u"2024-1-31,1", 9, 0, 1, { 2024, 3, 1, 10, 0 }, { 2024, 3, 29, 9, 0 } },
    { 3, u"2024-11-30,3", 9, 0, 0, { 2025, 1, 1, 10, 0 }, { 2025, 2, 28, 9, 0 } },
};

void CheckExamples(const char* zone)
{
    ScopedTimeZone tz(zone);
    for (const Example& e : kExamples) {
        const QString spec = QString::fromUtf16(e.spec);
        SCOPED_TRACE(testing::Message() << zone << " mode " << e.mode << " " << spec.toStdString() << " weekend "
                                        << e.weekend << " now " << e.now[0] << "-" << e.now[1] << "-" << e.now[2]);
        g_tNow = At(e.now[0], e.now[1], e.now[2], e.now[3], e.now[4]);
        bool ok = true;
        QString error = QStringLiteral("untouched");
        const qint64 t = ComputeNextTrigger(e.mode, spec, e.hour, e.minute, e.weekend, ok, error);
        EXPECT_TRUE(ok);
        EXPECT_EQ(error, QStringLiteral("untouched"));
        EXPECT_EQ(Show(t), Show(At(e.next[0], e.next[1], e.next[2], e.next[3], e.next[4])));
    }

    // The two refused starts: a Sunday with the weekend flag, and a day September does not have.
    // The returned time is the start after the date rules moved it.
    g_tNow = At(2024, 9, 1, 10, 0);
    bool ok = true;
    QString error;
    qint64 t = ComputeNextTrigger(2, QStringLiteral("2024-9-15,1"), 9, 0, 1, ok, error);
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, kErrStart);
    EXPECT_EQ(Show(t), Show(At(2024, 9, 13, 9, 0)));
    ok = true;
    t = ComputeNextTrigger(2, QStringLiteral("2024-9-31,3"), 9, 0, 0, ok, error);
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, kErrStart);
    EXPECT_EQ(Show(t), Show(At(2024, 9, 30, 9, 0)));
}

struct Failure
{
    int mode;
    const char16_t* spec;
    int hour, minute, weekend;
    int now[5];
    QString message;
    int returned[5]; // all zero: g_tNow
};

} // namespace

TEST(DateRules, WorkedExamplesInShanghai)
{
    CheckExamples("Asia/Shanghai");
}

TEST(DateRules, WorkedExamplesInUtc)
{
    CheckExamples("UTC");
}

TEST(DateRules, WorkedExamplesInBerlin)
{
    // None of the examples touches a change of daylight saving, so a zone with one agrees too.
    CheckExamples("Europe/Berlin");
}

TEST(DateRules, BuildTriggerTimeMonthEndWeekendAndRange)
{
    ScopedTimeZone tz("Asia/Shanghai");
    g_tNow = At(2026, 6, 1, 12, 0);
    auto build = [](int y, int mo, int d, int h, int mi, int weekend, bool& ok) {
        ok = true;
        return BuildTriggerTime(y, mo, d, h, mi, ok, weekend);
    };
    bool ok;
    EXPECT_EQ(Show(build(2027, 4, 31, 9, 0, 0, ok)), Show(At(2027, 4, 30, 9, 0)));
    EXPECT_TRUE(ok);
    EXPECT_EQ(Show(build(2027, 2, 30, 9, 0, 0, ok)), Show(At(2027, 2, 28, 9, 0)));
    EXPECT_EQ(Show(build(2028, 2, 31, 9, 0, 0, ok)), Show(At(2028, 2, 29, 9, 0)));
    EXPECT_EQ(Show(build(2100, 2, 29, 9, 0, 0, ok)), Show(At(2100, 2, 28, 9, 0)));
    // Saturday and Sunday go back to Friday at the same time, also into the previous year.
    EXPECT_EQ(Show(build(2024, 9, 14, 7, 15, 1, ok)), Show(At(2024, 9, 13, 7, 15)));
    EXPECT_EQ(Show(build(2024, 9, 15, 7, 15, 1, ok)), Show(At(2024, 9, 13, 7, 15)));
    EXPECT_EQ(Show(build(2028, 1, 1, 0, 0, 1, ok)), Show(At(2027, 12, 31, 0, 0)));
    EXPECT_EQ(Show(build(2024, 9, 15, 7, 15, 0, ok)), Show(At(2024, 9, 15, 7, 15)));
    // Month end first, then the weekend: 30 November 2024 is a Saturday.
    EXPECT_EQ(Show(build(2024, 11, 31, 9, 0, 1, ok)), Show(At(2024, 11, 29, 9, 0)));
    EXPECT_TRUE(ok);
    EXPECT_EQ(Show(build(3000, 12, 31, 23, 59, 0, ok)), Show(At(3000, 12, 31, 23, 59)));
    EXPECT_TRUE(ok);
    EXPECT_EQ(Show(build(1970, 1, 1, 0, 0, 0, ok)), Show(At(1970, 1, 1, 0, 0)));
    EXPECT_TRUE(ok);

    // Out of range: the flag is cleared and now is returned.
    const int bad[][5] = { { 2026, 1, 1, 24, 0 }, { 2026, 1, 1, 0, 60 }, { 2026, 13, 1, 0, 0 },
                           { 2026, 1, 32, 0, 0 }, { 2026, 0, 1, 0, 0 },  { 2026, 1, 0, 0, 0 },
                           { 2026, 1, 1, -1, 0 }, { 1969, 12, 31, 9, 0 }, { 3001, 1, 1, 9, 0 } };
    for (const auto& b : bad) {
        EXPECT_EQ(build(b[0], b[1], b[2], b[3], b[4], 0, ok), g_tNow) << b[0] << "-" << b[1] << "-" << b[2];
        EXPECT_FALSE(ok);
    }

    // The flag is never set by a success.
    ok = false;
    EXPECT_EQ(BuildTriggerTime(2027, 1, 4, 9, 0, ok, 0), At(2027, 1, 4, 9, 0));
    EXPECT_FALSE(ok);
}

TEST(DateRules, EveryFailureMessageWithItsReturnedTime)
{
    ScopedTimeZone tz("Asia/Shanghai");
    const Failure failures[] = {
        { 0, u"13-1", 9, 0, 0, { 2026, 6, 1, 10, 0 }, kErrStartThisYear, {} },
        { 0, u"2-", 9, 0, 0, { 2026, 6, 1, 10, 0 }, kErrStartThisYear, {} },
        { 0, u"1-1", 9, 0, 0, { 3000, 12, 31, 10, 0 }, kErrCorrect, {} },
        { 1, u"32", 9, 0, 0, { 2026, 6, 1, 10, 0 }, kErrStartThisMonth, {} },
        { 1, u"1", 24, 0, 0, { 2026, 6, 1, 10, 0 }, kErrStartThisMonth, {} },
        { 1, u"1", 9, 0, 0, { 3000, 12, 31, 10, 0 }, kErrCorrect, {} },
        { 2, u"2024-13-1,3", 9, 0, 0, { 2024, 9, 1, 10, 0 }, kErrStart, {} },
        { 2, u"1969-12-31,1", 9, 0, 0, { 2024, 9, 1, 10, 0 }, kErrStart, {} },
        { 2, u"2024-9-16,0", 9, 0, 0, { 2024, 9, 20, 10, 0 }, kErrDayInterval, { 2024, 9, 16, 9, 0 } },
        // A negative interval is refused like 0: it would never reach a later time.
        { 2, u"2024-9-16,-2", 9, 0, 0, { 2024, 9, 20, 10, 0 }, kErrDayInterval, { 2024, 9, 16, 9, 0 } },
        // An interval too large for 32 bits is not read.
        { 2, u"2024-9-16,99999999999", 9, 0, 0, { 2024, 9, 20, 10, 0 }, kErrDayInterval, { 2024, 9, 16, 9, 0 } },
        // The start cannot be built although its date is today's: the hour is out of range.
        { 2, u"2024-9-16,3", 24, 0, 0, { 2024, 9, 16, 10, 0 }, kErrCorrect, {} },
        { 2, u"3000-12-30,3", 9, 0, 0, { 3000, 12, 31, 10, 0 }, kErrCorrect, {} },
        { 2, u"3000-12-31,1", 9, 0, 0, { 3000, 12, 31, 10, 0 }, kErrCorrect, {} },
        { 3, u"2024-2-30,1", 9, 0, 0, { 2024, 9, 1, 10, 0 }, kErrStart, { 2024, 2, 29, 9, 0 } },
        { 3, u"2024-9-16,0", 9, 0, 0, { 2024, 9, 20, 10, 0 }, kErrMonthInterval, { 2024, 9, 16, 9, 0 } },
        { 3, u"2024-1-31,-1", 9, 0, 0, { 2025, 1, 1, 10, 0 }, kErrCorrect, {} },
        { 3, u"3000-11-30,1", 9, 0, 0, { 3000, 12, 31, 10, 0 }, kErrCorrect, {} },
        { 3, u"2024-1-31,2147483647", 9, 0, 0, { 2025, 1, 1, 10, 0 }, kErrCorrect, {} },
        { 4, u"2024-1-31,1", 9, 0, 0, { 2025, 1, 1, 10, 0 }, QStringLiteral("选项错误！"), {} },
        { -2, u"", 9, 0, 0, { 2025, 1, 1, 10, 0 }, QStringLiteral("选项错误！"), {} },
    };
    for (const Failure& f : failures) {
        const QString spec = QString::fromUtf16(f.spec);
        SCOPED_TRACE(testing::Message() << "mode " << f.mode << " " << spec.toStdString());
        g_tNow = At(f.now[0], f.now[1], f.now[2], f.now[3], f.now[4]);
        bool ok = true;
        QString error;
        const qint64 t = ComputeNextTrigger(f.mode, spec, f.hour, f.minute, f.weekend, ok, error);
        EXPECT_FALSE(ok);
        EXPECT_EQ(error, f.message);
        const qint64 expected = f.returned[0] == 0
            ? g_tNow
            : At(f.returned[0], f.returned[1], f.returned[2], f.returned[3], f.returned[4]);
        EXPECT_EQ(Show(t), Show(expected));
    }

    // A negative month interval from a start later than now returns the start.
    g_tNow = At(2024, 1, 1, 10, 0);
    bool ok = true;
    QString error;
    EXPECT_EQ(Show(ComputeNextTrigger(3, QStringLiteral("2024-1-31,-1"), 9, 0, 0, ok, error)),
              Show(At(2024, 1, 31, 9, 0)));
    EXPECT_TRUE(ok);
}

TEST(DateRules, NextTriggerIsAlwaysLaterThanNow)
{
    ScopedTimeZone tz("Asia/Shanghai");
    bool ok = true;
    QString error;
    // Yearly 1-1 with the weekend flag on 31 December 2022: 1 January 2023 is a Sunday, moved back
    // to 30 December 2022, already past; the next trigger is 1 January 2024 (a Monday).
    g_tNow = At(2022, 12, 31, 10, 0);
    EXPECT_EQ(Show(ComputeNextTrigger(0, QStringLiteral("1-1"), 9, 0, 1, ok, error)), Show(At(2024, 1, 1, 9, 0)));
    EXPECT_TRUE(ok);

    // Every N days from a start long past: skipped ahead to the first trigger after now.
    g_tNow = At(2026, 3, 4, 9, 0);
    EXPECT_EQ(Show(ComputeNextTrigger(2, QStringLiteral("1970-1-2,1"), 9, 0, 0, ok, error)),
              Show(At(2026, 3, 5, 9, 0)));
    EXPECT_EQ(Show(ComputeNextTrigger(2, QStringLiteral("1970-1-1,7"), 9, 0, 0, ok, error)),
              Show(At(2026, 3, 5, 9, 0))); // 1 January 1970 and 5 March 2026 are Thursdays
    EXPECT_EQ(Show(ComputeNextTrigger(2, QStringLiteral("2026-3-2,2"), 8, 0, 0, ok, error)),
              Show(At(2026, 3, 6, 8, 0)));
    EXPECT_TRUE(ok);

    // From a Monday every 5 days with the weekend flag: Monday, Friday, Wednesday, Monday.
    const int expected[][3] = { { 2024, 9, 20 }, { 2024, 9, 25 }, { 2024, 9, 30 }, { 2024, 10, 4 } };
    g_tNow = At(2024, 9, 16, 9, 0);
    for (const auto& day : expected) {
        const qint64 t = ComputeNextTrigger(2, QStringLiteral("2024-9-16,5"), 9, 0, 1, ok, error);
        EXPECT_EQ(Show(t), Show(At(day[0], day[1], day[2], 9, 0)));
        g_tNow = t;
    }
    EXPECT_TRUE(ok);

    // Every month from the 31st keeps coming back to the 31st.
    const int months[][3] = { { 2024, 2, 29 }, { 2024, 3, 31 }, { 2024, 4, 30 }, { 2024, 5, 31 } };
    g_tNow = At(2024, 1, 31, 18, 0);
    for (const auto& day : months) {
        const qint64 t = ComputeNextTrigger(3, QStringLiteral("2024-1-31,1"), 18, 0, 0, ok, error);
        EXPECT_EQ(Show(t), Show(At(day[0], day[1], day[2], 18, 0)));
        g_tNow = t;
    }
    EXPECT_TRUE(ok);
}

// Every N days with the weekend rule once stepped trigger by trigger from its start: a start in
// 1970 took seconds, and a now beyond the last buildable year stepped through every year first.
TEST(DateRules, SlowCatchUpOfEveryNDaysFromADistantStart)
{
    ScopedTimeZone tz("Asia/Shanghai");
    // The rule as written, step by step, for comparison: add N days, rebuild with the weekend rule.
    auto stepwise = [](int y, int m, int d, int n, qint64 now) {
        bool ok = true;
        qint64 t = BuildTriggerTime(y, m, d, 9, 0, ok, 1);
        while (ok && t <= now) {
            LocalTime lt;
            ToLocalTime(t + qint64(n) * 86400, lt);
            t = BuildTriggerTime(lt.year, lt.month, lt.day, 9, 0, ok, 1);
        }
        return t;
    };
    bool ok = true;
    QString error;
    for (const qint64 now : { At(2024, 9, 20, 10, 0), At(2031, 1, 4, 8, 0), At(2031, 1, 4, 9, 30) }) {
        g_tNow = now;
        for (const int n : { 3, 4, 5, 6, 8, 13 }) {
            const QString spec = QStringLiteral("1990-1-1,%1").arg(n); // a Monday
            EXPECT_EQ(Show(ComputeNextTrigger(2, spec, 9, 0, 1, ok, error)), Show(stepwise(1990, 1, 1, n, now)))
                << n;
        }
    }
    EXPECT_TRUE(ok);

    // The worst cases answer at once.
    QElapsedTimer timer;
    timer.start();
    g_tNow = At(2999, 12, 30, 10, 0);
    const qint64 t = ComputeNextTrigger(2, QStringLiteral("1970-1-1,3"), 9, 0, 1, ok, error);
    EXPECT_TRUE(ok);
    EXPECT_GT(t, g_tNow);
    for (const qint64 beyond : { At(3001, 1, 1, 0, 0), qint64(1) << 60 }) {
        g_tNow = beyond;
        for (const int weekend : { 0, 1 }) {
            ok = true;
            EXPECT_EQ(ComputeNextTrigger(2, QStringLiteral("1970-1-1,1"), 9, 0, weekend, ok, error), g_tNow);
            EXPECT_FALSE(ok);
            EXPECT_EQ(error, QStringLiteral("矫正时间发生错误，请注意格式要求！"));
        }
    }
    EXPECT_LT(timer.elapsed(), 500);
}
