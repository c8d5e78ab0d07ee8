// The due check on worker threads tells the pass exactly which rows its firing procedure would
// act on: a row it calls not due is one the procedure leaves with no message and no write.
#include "platform/localtime.h"
#include "platform/programstate.h"
#include "reminder/duecheck.h"
#include "reminder/passjob.h"
#include "schedule/rowlist.h"
#include "schedule/schedule.h"
#include "schedule/schedulerecord.h"
#include "store/textfile.h"
#include "store/desc.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

qint64 At(int year, int month, int day, int hour, int minute, int second = 0)
{
    qint64 t = 0;
    EXPECT_TRUE(MakeLocalTime(year, month, day, hour, minute, second, t));
    return t;
}

struct Case
{
    const char* name;
    QString file; // null: no schedule file
    qint64 now;
    DueState expected;
};

// Runs the check on one copy of the folder and the procedure on another, and holds the check to
// what the procedure did. A due one is also fired from the check's read on a third copy, which
// must write the same file and give the texts a read of it gives.
void Compare(const Case& c)
{
    SCOPED_TRACE(c.name);
    TempTree tree;
    for (const char* copy : { "check", "procedure", "fromread" }) {
        tree.MakeDir(QString::fromLatin1(copy));
        if (!c.file.isNull())
            tree.WriteText(QString::fromLatin1(copy) + u'/' + kTimerFileName, c.file);
    }
    const QString timer = QStringLiteral("procedure/") + kTimerFileName;
    const QByteArray before = tree.ReadBytes(timer);

    RecordingMessagePort messages;
    const DueState state = CheckDue(tree.Path(QStringLiteral("check")), c.now);
    EXPECT_EQ(tree.ReadBytes(QStringLiteral("check/") + kTimerFileName), before); // the check never writes
    EXPECT_TRUE(messages.messages.isEmpty());

    g_tNow = c.now;
    const bool fired = ProcessDueSchedule(tree.Path(QStringLiteral("procedure")));
    const bool acted = fired || !messages.messages.isEmpty() || tree.ReadBytes(timer) != before;
    EXPECT_EQ(state, c.expected);
    switch (state) {
    case DueState::NotDue: EXPECT_FALSE(acted); break;
    case DueState::Due: EXPECT_TRUE(fired || acted); break;
    case DueState::Unreadable: EXPECT_FALSE(messages.messages.isEmpty()); break;
    }
    if (state != DueState::Due)
        return;
    ScheduleRead read;
    ASSERT_EQ(CheckDue(tree.Path(QStringLiteral("fromread")), c.now, &read), DueState::Due);
    QString schedText, nextText, reread, rereadNext;
    EXPECT_EQ(ProcessReadSchedule(tree.Path(QStringLiteral("fromread")), read, schedText, nextText), fired);
    EXPECT_EQ(tree.ReadBytes(QStringLiteral("fromread/") + kTimerFileName), tree.ReadBytes(timer));
    if (fired) {
        GetScheduleTexts(tree.Path(QStringLiteral("procedure")), reread, rereadNext);
        EXPECT_EQ(schedText, reread);
        EXPECT_EQ(nextText, rereadNext);
    }
}

} // namespace

TEST(DueCheck, AgreesWithTheFiringProcedureOnEveryKindOfFile)
{
    ScopedTimeZone zone("Asia/Shanghai");
    const qint64 trigger = At(2026, 12, 8, 10, 0);
    const QString monthly = QStringLiteral("1;10;0;8\r\n2026-12-8,10,0\r\n%1\r\n0");
    const Case cases[] = {
        { "no file", QString(), trigger, DueState::NotDue },
        { "no schedule", QStringLiteral("-1;0;0;\r\n0\r\n0\r\n0"), trigger, DueState::NotDue },
        { "line 1 unreadable", QStringLiteral("x;1;2;3\r\n2026-12-8,10,0\r\n5\r\n0"), trigger, DueState::NotDue },
        { "stopped", monthly.arg(0), trigger, DueState::NotDue },
        { "a second before", monthly.arg(-1), trigger - 1, DueState::NotDue },
        { "at the trigger", monthly.arg(-1), trigger, DueState::Due },
        { "count 1 at the trigger", monthly.arg(1), trigger, DueState::Due },
        { "count -5 long after", monthly.arg(-5), trigger + 3 * 86400, DueState::Due },
        { "a day ahead", monthly.arg(3), trigger - 86400, DueState::NotDue },
        { "months ahead", monthly.arg(3), trigger - 90 * 86400, DueState::NotDue },
        { "three lines", QStringLiteral("1;10;0;8\r\n2026-12-8,10,0\r\n2"), trigger, DueState::Due },
        { "two lines", QStringLiteral("1;10;0;8\r\n2026-12-8,10,0"), trigger - 86400, DueState::Unreadable },
        { "empty", QStringLiteral(""), trigger, DueState::Unreadable },
        { "line 2 not a time", QStringLiteral("1;10;0;8\r\nsoon\r\n2\r\n0"), trigger, DueState::Due },
        { "line 2 hour 24", QStringLiteral("1;10;0;8\r\n2026-12-8,24,0\r\n2\r\n0"), trigger - 86400, DueState::Due },
        { "line 2 year 3001", QStringLiteral("1;10;0;8\r\n3001-1-8,10,0\r\n2\r\n0"), trigger, DueState::Due },
        { "line 2 half read", QStringLiteral("1;10;0;8\r\n2026-12-8\r\n2\r\n0"), trigger, DueState::Due },
        { "line 2 differs from line 1", QStringLiteral("1;10;0;8\r\n2026-12-8,9,45\r\n2\r\n0"), At(2026, 12, 8, 9, 45), DueState::Due },
        { "line 2 differs, before", QStringLiteral("1;10;0;8\r\n2026-12-8,9,45\r\n2\r\n0"), At(2026, 12, 8, 9, 44, 59), DueState::NotDue },
        { "due, bad spec", QStringLiteral("1;10;0;40\r\n2026-12-8,10,0\r\n2\r\n0"), trigger, DueState::Due },
    };
    for (const Case& c : cases)
        Compare(c);

    // A file another opener holds: the procedure says it cannot open it.
    TempTree tree;
    tree.MakeDir(QStringLiteral("f"));
    tree.WriteText(QStringLiteral("f/") + kTimerFileName, monthly.arg(3));
    HeldFile held(tree.Path(QStringLiteral("f/")) + kTimerFileName);
    ASSERT_TRUE(held.IsHeld());
    EXPECT_EQ(CheckDue(tree.Path(QStringLiteral("f")), trigger - 86400), DueState::Unreadable);
}

TEST(DueCheck, AFileSavedBetweenTheCheckAndTheFiringIsKept)
{
    // The user saves new settings after the check found the old ones due: firing the old record
    // would put them back.
    ScopedTimeZone zone("Asia/Shanghai");
    const qint64 trigger = At(2026, 12, 8, 10, 0);
    TempTree tree;
    tree.MakeDir(QStringLiteral("f"));
    tree.WriteText(QStringLiteral("f/") + kTimerFileName, QStringLiteral("1;10;0;8\r\n2026-12-8,10,0\r\n3\r\n0"));
    ScheduleRead read;
    ASSERT_EQ(CheckDue(tree.Path(QStringLiteral("f")), trigger, &read), DueState::Due);
    g_tNow = trigger;
    const QString saved = QStringLiteral("0;7;15;1-20\r\n2027-1-20,7,15\r\n-1\r\n1");
    tree.WriteText(QStringLiteral("f/") + kTimerFileName, saved);
    RecordingMessagePort messages;
    QString schedText, nextText;
    ScheduleFault fault = ScheduleFault::None;
    EXPECT_FALSE(ProcessReadSchedule(tree.Path(QStringLiteral("f")), read, schedText, nextText, &fault));
    EXPECT_EQ(fault, ScheduleFault::Changing);
    EXPECT_TRUE(messages.messages.isEmpty());
    QString text;
    ASSERT_TRUE(ReadTextFile(tree.Path(QStringLiteral("f/")) + kTimerFileName, text));
    EXPECT_EQ(text, saved);
}

TEST(DueCheck, TheSpringChangeAndZonesFarFromUtc)
{
    // 02:30 on 2027-03-14 does not exist in New York: the stored trigger says 03:30, the set time
    // stays 02:30, and both are the same instant.
    {
        ScopedTimeZone zone("America/New_York");
        const QString file = QStringLiteral("1;2;30;14\r\n2027-3-14,3,30\r\n-1\r\n0");
        const qint64 instant = At(2027, 3, 14, 3, 30);
        Compare({ "spring, at", file, instant, DueState::Due });
        Compare({ "spring, before", file, instant - 1, DueState::NotDue });
    }
    // Zones 14 hours east and 11 west of UTC: the two-day shortcut never decides wrongly.
    for (const char* name : { "Pacific/Kiritimati", "Pacific/Pago_Pago" }) {
        ScopedTimeZone zone(name);
        const QString file = QStringLiteral("1;0;0;10\r\n2026-12-10,0,0\r\n-1\r\n0");
        const qint64 instant = At(2026, 12, 10, 0, 0);
        for (const qint64 offset : { -2 * 86400 - 60, -86400, -1, 0, 60 })
            Compare({ name, file, instant + offset, offset < 0 ? DueState::NotDue : DueState::Due });
    }
}

TEST(DueCheck, InParallelTheStatesComeInListOrder)
{
    ScopedTimeZone zone("Asia/Shanghai");
    const qint64 now = At(2026, 12, 8, 10, 0);
    TempTree tree;
    QStringList folders;
    std::vector<DueState> expected;
    for (int i = 0; i < 300; ++i) {
        const QString name = QStringLiteral("d%1").arg(i);
        tree.MakeDir(name);
        folders.append(tree.Path(name));
        switch (i % 4) {
        case 0: expected.push_back(DueState::NotDue); break; // no file
        case 1:
            tree.WriteText(name + u'/' + kTimerFileName, QStringLiteral("1;10;0;8\r\n2026-12-8,10,0\r\n2\r\n0"));
            expected.push_back(DueState::Due);
            break;
        case 2:
            tree.WriteText(name + u'/' + kTimerFileName, QStringLiteral("1;10;0;9\r\n2026-12-9,10,0\r\n2\r\n0"));
            expected.push_back(DueState::NotDue);
            break;
        default:
            tree.WriteText(name + u'/' + kTimerFileName, QStringLiteral("1;10;0;9"));
            expected.push_back(DueState::Unreadable);
            break;
        }
    }
    RecordingMessagePort messages;
    EXPECT_EQ(CheckDueParallel(folders, now, kFileWorkers), expected);
    EXPECT_EQ(CheckDueParallel(folders, now, 1), expected);
    EXPECT_TRUE(messages.messages.isEmpty());
    EXPECT_TRUE(tree.Exists(QStringLiteral("d3/") + kTimerFileName)); // damaged, but left to the procedure

    // Cancelled before it starts: every row is left to the procedure.
    const std::atomic<bool> cancel { true };
    const std::vector<DueState> cancelled = CheckDueParallel(folders, now, 4, &cancel);
    EXPECT_EQ(cancelled, std::vector<DueState>(folders.size(), DueState::Unreadable));
}

TEST(DueCheck, ThePassFiresOnlyDueRowsOnItsWorkersAndLeavesTheRowUnderEditUnread)
{
    ScopedTimeZone zone("Asia/Shanghai");
    TempTree tree;
    RecordingMessagePort messages;
    const QString later = QStringLiteral("1;10;0;9\r\n2026-12-9,10,0\r\n2\r\n0");
    const QString due = QStringLiteral("1;10;0;8\r\n2026-12-8,10,0\r\n2\r\n0");
    for (const char* name : { "a", "b", "c" })
        tree.MakeDir(QString::fromLatin1(name));
    tree.WriteText(QStringLiteral("a/") + kTimerFileName, later);
    tree.WriteText(QStringLiteral("b/") + kTimerFileName, due);
    tree.WriteBytes(QStringLiteral("b/AUTO.BAT"), "true\n");
    tree.WriteText(QStringLiteral("c/") + kTimerFileName, due);
    RowList rows;
    std::vector<Row> list(3);
    list[0].relative = QStringLiteral("/a");
    list[1].relative = QStringLiteral("/b");
    list[2].relative = QStringLiteral("/c");
    rows.Append(std::move(list));
    // The third row is under edit: not read.
    PassJob job(tree.Root(), rows, QStringLiteral("/c"), At(2026, 12, 8, 10, 0), {});
    std::vector<RowOutcome> outcomes;
    while (!job.Finished()) {
        for (RowOutcome& outcome : job.Take())
            outcomes.push_back(std::move(outcome));
        std::this_thread::yield();
    }
    ASSERT_EQ(outcomes.size(), 3u);
    EXPECT_EQ(outcomes[0].state, DueState::NotDue);
    EXPECT_FALSE(outcomes[0].fired);
    EXPECT_TRUE(outcomes[1].fired);
    EXPECT_EQ(outcomes[1].schedText, QStringLiteral("每月8日10点0分触发"));
    EXPECT_EQ(outcomes[1].batch, tree.Path(QStringLiteral("b/AUTO.BAT")));
    EXPECT_TRUE(outcomes[2].passedOver);
    EXPECT_FALSE(outcomes[2].fired);
    EXPECT_EQ(tree.ReadBytes(QStringLiteral("c/") + kTimerFileName), Utf16File(due));
    EXPECT_NE(tree.ReadBytes(QStringLiteral("b/") + kTimerFileName), Utf16File(due));
    EXPECT_TRUE(messages.messages.isEmpty()); // gathered on the workers, never shown there
}
