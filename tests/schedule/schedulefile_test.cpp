#include "schedtest.h"
#include "platform/programstate.h"
#include "schedule/rowtexts.h"
#include "schedule/schedule.h"
#include "testsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <climits>
#include <csignal>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString kTimer = QStringLiteral("Quillbrook.Timer");
const QString kDamagedRead = QStringLiteral("获取定时信息错误，文件%1内容异常，已自动清理！");
const QString kDamagedDue = QStringLiteral("处理定时错误，文件%1内容异常，已自动清理！");
const QString kOpenFailed = QStringLiteral("处理定时错误，%1打开失败！");

QByteArray Lines(const QString& text)
{
    return Utf16File(text);
}

// What the settings dialog is given besides the details.
std::tuple<int, int, int, int, int> Numbers(const ScheduleRecord& r)
{
    return { r.mode, r.hour, r.minute, r.count, r.weekend };
}

class ScheduleFile : public testing::Test
{
protected:
    ScopedTimeZone tz { "Asia/Shanghai" };
    RecordingMessagePort messages;
    TempTree tree;
    QString folder = tree.Root();
    QString file = tree.Path(kTimer);

    ScheduleFile() { SetDamageRecheckPause([] {}); }
    ~ScheduleFile() override { SetDamageRecheckPause(nullptr); }

    void Put(const QString& text) { tree.WriteBytes(kTimer, Lines(text)); }
    QByteArray Bytes() const { return tree.ReadBytes(kTimer); }
};

} // namespace

TEST_F(ScheduleFile, WritesTheExactBytes)
{
    g_tNow = At(2026, 12, 8, 10, 0);
    ASSERT_TRUE(WriteScheduleFile(folder, Schedule(SCHED_MONTHLY, 8, 30, QStringLiteral("31"), -1, true)));
    EXPECT_EQ(Bytes(), Lines(QStringLiteral("1;8;30;31\r\n2026-12-31,8,30\r\n-1\r\n1")));

    // No leading zeros in line 2; the count is written as passed.
    ASSERT_TRUE(WriteScheduleFile(folder, Schedule(SCHED_YEARLY, 7, 5, QStringLiteral("3-5"), 0, false)));
    EXPECT_EQ(Bytes(), Lines(QStringLiteral("0;7;5;3-5\r\n2027-3-5,7,5\r\n0\r\n0")));

    // No schedule: the fixed four lines whatever else is passed.
    ASSERT_TRUE(WriteScheduleFile(folder, Schedule(SCHED_NONE, 23, 59, QStringLiteral("2024-1-1,3"), 7, true)));
    EXPECT_EQ(Bytes(), Lines(QStringLiteral("-1;0;0;\r\n0\r\n0\r\n0")));
    EXPECT_TRUE(messages.messages.isEmpty());
    // Nothing is left beside the file.
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList { kTimer });
}

TEST_F(ScheduleFile, FailedComputationRemovesTheOldSchedule)
{
    g_tNow = At(2024, 9, 1, 10, 0);
    ASSERT_TRUE(WriteScheduleFile(folder, Schedule(SCHED_MONTHLY, 8, 30, QStringLiteral("31"), -1, true)));
    EXPECT_FALSE(
        WriteScheduleFile(folder, Schedule(SCHED_EVERY_N_DAYS, 9, 0, QStringLiteral("2024-9-31,3"), -1, false)));
    EXPECT_FALSE(tree.Exists(kTimer));
    EXPECT_EQ(messages.messages,
              QStringList { folder + QStringLiteral("初始化发生错误，已自动清理！起始日期不正确，如果周末前推则起始日期需避开周末！") });
}

TEST_F(ScheduleFile, WriteFailuresLeaveTheOldFile)
{
    g_tNow = At(2024, 9, 1, 10, 0);
    Put(QStringLiteral("1;8;30;31\r\n2024-9-30,8,30\r\n-1\r\n1"));
    const QByteArray before = Bytes();
    {
        HeldFile held(file);
        ASSERT_TRUE(held.IsHeld());
        EXPECT_FALSE(WriteScheduleFile(folder, Schedule(SCHED_MONTHLY, 9, 0, QStringLiteral("1"), 3, false)));
    }
    EXPECT_EQ(Bytes(), before);
    const QString missing = tree.Path(QStringLiteral("no/such"));
    EXPECT_FALSE(WriteScheduleFile(missing, Schedule(SCHED_NONE, 0, 0, QString(), 0, false)));
    EXPECT_EQ(messages.messages,
              (QStringList { file + QStringLiteral("创建失败，请检查目录是否有写权限！"),
                             missing + u'/' + kTimer + QStringLiteral("创建失败，请检查目录是否有写权限！") }));
}

TEST_F(ScheduleFile, LoadStepsForEveryReader)
{
    g_tNow = At(2024, 9, 20, 10, 0);
    // No file.
    ScheduleRecord record { 5, 5, 5, QStringLiteral("x"), {}, 5, 1 };
    QString sched = QStringLiteral("old"), next = QStringLiteral("old");
    EXPECT_TRUE(ReadScheduleForEdit(folder, record));
    EXPECT_EQ(Numbers(record), std::tuple(-1, 0, 0, 0, 0));
    EXPECT_TRUE(record.spec.isEmpty());
    EXPECT_TRUE(GetScheduleTexts(folder, sched, next));
    EXPECT_TRUE(sched.isEmpty() && next.isEmpty());
    EXPECT_FALSE(ProcessDueSchedule(folder));
    EXPECT_TRUE(StopSchedule(folder));
    EXPECT_FALSE(tree.Exists(kTimer)); // stopping creates nothing
    EXPECT_TRUE(messages.messages.isEmpty());

    // A file another process holds: each reader reports it and leaves everything as it was.
    const QString active = QStringLiteral("2;9;5;2024-9-16,7\r\n2024-9-23,9,5\r\n2\r\n0");
    Put(active);
    {
        HeldFile held(file);
        ASSERT_TRUE(held.IsHeld());
        sched = next = QStringLiteral("old");
        EXPECT_FALSE(ReadScheduleForEdit(folder, record));
        EXPECT_FALSE(GetScheduleTexts(folder, sched, next));
        EXPECT_EQ(sched + next, QStringLiteral("oldold"));
        EXPECT_FALSE(ProcessDueSchedule(folder));
        EXPECT_FALSE(StopSchedule(folder));
    }
    EXPECT_EQ(Bytes(), Lines(active));
    EXPECT_EQ(messages.messages, QStringList(4, kOpenFailed.arg(file)));
    messages.messages.clear();

    // Fewer than three lines: deleted, with the reader's own message.
    const std::function<bool()> readers[] = {
        [&] { return ReadScheduleForEdit(folder, record); },
        [&] { return GetScheduleTexts(folder, sched, next); },
        [&] { return ProcessDueSchedule(folder); },
        [&] { return StopSchedule(folder); },
    };
    const QString damage[] = { kDamagedRead, kDamagedRead, kDamagedDue, kDamagedRead };
    for (const QByteArray& content : { Lines(QStringLiteral("1;8;30;31\r\n2024-9-30,8,30\r\n")), QByteArray(),
                                       Lines(QString()), Lines(QStringLiteral("1;8;30;31")) }) {
        for (int i = 0; i < 4; ++i) {
            tree.WriteBytes(kTimer, content);
            messages.messages.clear();
            EXPECT_FALSE(readers[i]()) << i;
            EXPECT_FALSE(tree.Exists(kTimer)) << i;
            EXPECT_EQ(messages.messages, QStringList { damage[i].arg(file) }) << i;
        }
    }
    messages.messages.clear();

    // Exactly three lines: accepted, the weekend flag reads as off.
    Put(QStringLiteral("1;8;30;31\r\n2024-9-30,8,30\r\n4"));
    record.weekend = 1;
    EXPECT_TRUE(ReadScheduleForEdit(folder, record));
    EXPECT_EQ(Numbers(record), std::tuple(1, 8, 30, 4, 0));
    EXPECT_EQ(record.spec, QStringLiteral("31"));
    EXPECT_TRUE(GetScheduleTexts(folder, sched, next));
    EXPECT_EQ(next, QStringLiteral("2024-9-30 08:30"));
    EXPECT_TRUE(StopSchedule(folder));
    EXPECT_EQ(Bytes(), Lines(QStringLiteral("1;8;30;31\r\n2024-9-30,8,30\r\n0\r\n0")));
    EXPECT_TRUE(messages.messages.isEmpty());
}

TEST_F(ScheduleFile, ReadForEdit)
{
    ScheduleRecord record { -1, 7, 7, QString(), {}, 7, 0 };
    Put(QStringLiteral("1;8;30;31\r\n2026-12-31,8,30\r\n-1\r\n1"));
    EXPECT_TRUE(ReadScheduleForEdit(folder, record));
    EXPECT_EQ(Numbers(record), std::tuple(1, 8, 30, -1, 1));
    EXPECT_EQ(record.spec, QStringLiteral("31"));
    const StoredTrigger& n = record.next;
    EXPECT_EQ(std::tuple(n.year, n.month, n.day, n.hour, n.minute), std::tuple(2026, 12, 31, 8, 30));

    // Mode -1 reads as no schedule whatever the other lines hold.
    Put(QStringLiteral("-1;9;9;2-2\r\n2026-1-1,9,9\r\n5\r\n1"));
    EXPECT_TRUE(ReadScheduleForEdit(folder, record));
    EXPECT_EQ(Numbers(record), std::tuple(-1, 0, 0, 0, 0));
    EXPECT_TRUE(record.spec.isEmpty());
    EXPECT_EQ(std::tuple(n.year, n.month, n.day, n.hour, n.minute), std::tuple(0, 0, 0, 0, 0));

    // A line 1 that does not begin with a number leaves the caller's mode.
    Put(QStringLiteral("x;9;9;2-2\r\n2026-1-1,9,9\r\n5\r\n1"));
    record.mode = -1;
    EXPECT_TRUE(ReadScheduleForEdit(folder, record));
    EXPECT_EQ(record.mode, -1);
    // The caller's mode, hour and minute are the presets of what line 1 does not yield; the
    // details, count and flag are not.
    record = { SCHED_MONTHLY, 7, 6, QStringLiteral("x"), {}, 3, 0 };
    EXPECT_TRUE(ReadScheduleForEdit(folder, record));
    EXPECT_EQ(Numbers(record), std::tuple(SCHED_MONTHLY, 7, 6, 5, 1));
    EXPECT_TRUE(record.spec.isEmpty());
    Put(QStringLiteral("0;x;9;2-2\r\n2026-1-1\r\n5\r\n0"));
    record = { SCHED_MONTHLY, 7, 6, QString(), {}, 3, 0 };
    EXPECT_TRUE(ReadScheduleForEdit(folder, record));
    EXPECT_EQ(Numbers(record), std::tuple(SCHED_YEARLY, 7, 6, 5, 0));
    EXPECT_EQ(std::tuple(n.year, n.month, n.day, n.hour, n.minute), std::tuple(2026, 1, 1, 7, 6));

    // The details are cut at the first blank and at 63 characters.
    Put(QStringLiteral("2;9;0;2024-9-16, 7\r\n2026-1-1,9,0\r\n5\r\n0"));
    EXPECT_TRUE(ReadScheduleForEdit(folder, record));
    EXPECT_EQ(record.spec, QStringLiteral("2024-9-16,"));
    Put(QStringLiteral("0;9;0;") + QString(80, u'1') + QStringLiteral("\r\n2026-1-1,9,0\r\n5\r\n0"));
    EXPECT_TRUE(ReadScheduleForEdit(folder, record));
    EXPECT_EQ(record.spec, QString(63, u'1'));
}

TEST_F(ScheduleFile, ListTexts)
{
    struct Row
    {
        QString lines, sched, next;
    } rows[] = {
        { QStringLiteral("1;8;30;31\r\n2026-12-31,8,30\r\n-1\r\n1"), QStringLiteral("每月31日8点30分触发"),
          QStringLiteral("2026-12-31 08:30") },
        { QStringLiteral("0;9;0;2-29\r\n2027-2-26,9,0\r\n3\r\n1"), QStringLiteral("每年2月29日9点0分触发"),
          QStringLiteral("2027-2-26 09:00") },
        { QStringLiteral("2;9;5;2024-9-16,7\r\n2024-9-23,9,5\r\n2\r\n0"), QStringLiteral("2024年9月16日起，每7天9点5分"),
          QStringLiteral("2024-9-23 09:05") },
        { QStringLiteral("3;18;0;2024-1-31,1\r\n2024-2-29,18,0\r\n0\r\n0"),
          QStringLiteral("2024年1月31日起，每1个月18点0分"), QStringLiteral("已停止") },
        { QStringLiteral("-1;0;0;\r\n0\r\n0\r\n0"), QString(), QString() },
        { QStringLiteral("x;0;0;\r\n0\r\n0\r\n0"), QString(), QString() },
        // Line 2's time is the one shown.
        { QStringLiteral("1;8;30;31\r\n2026-12-31,9,45\r\n-1\r\n1"), QStringLiteral("每月31日9点45分触发"),
          QStringLiteral("2026-12-31 09:45") },
        // Three lines are enough.
        { QStringLiteral("1;8;30;31\r\n2026-12-31,8,30\r\n-1"), QStringLiteral("每月31日8点30分触发"),
          QStringLiteral("2026-12-31 08:30") },
        // An unknown mode sets the next-trigger text only.
        { QStringLiteral("7;8;30;31\r\n2026-12-31,8,30\r\n-1\r\n1"), QStringLiteral("kept"),
          QStringLiteral("2026-12-31 08:30") },
    };
    for (const Row& row : rows) {
        Put(row.lines);
        QString sched = QStringLiteral("kept"), next = QStringLiteral("kept");
        EXPECT_TRUE(GetScheduleTexts(folder, sched, next)) << row.lines.toStdString();
        EXPECT_EQ(sched, row.sched);
        EXPECT_EQ(next, row.next);
        // The row reader fills columns 2 and 3 the same way.
        QString desc, sched2, next2;
        if (row.sched != QStringLiteral("kept")) {
            EXPECT_TRUE(ReadDirTexts(folder, desc, sched2, next2));
            EXPECT_EQ(sched2, row.sched);
            EXPECT_EQ(next2, row.next);
        }
    }
    EXPECT_TRUE(messages.messages.isEmpty());
    // A damaged file makes the row reader report false.
    Put(QStringLiteral("1;8;30;31"));
    QString desc, sched, next;
    EXPECT_FALSE(ReadDirTexts(folder, desc, sched, next));
}

TEST_F(ScheduleFile, AdvancingCountsOneOff)
{
    // Due when the stored trigger equals now, not a second before.
    const QString monthly = QStringLiteral("1;8;30;31\r\n2026-12-31,8,30\r\n%1\r\n0");
    Put(monthly.arg(3));
    g_tNow = At(2026, 12, 31, 8, 30) - 1;
    EXPECT_FALSE(ProcessDueSchedule(folder));
    EXPECT_EQ(Bytes(), Lines(monthly.arg(3)));
    g_tNow += 1;
    EXPECT_TRUE(ProcessDueSchedule(folder));
    EXPECT_EQ(Bytes(), Lines(QStringLiteral("1;8;30;31\r\n2027-1-31,8,30\r\n2\r\n0")));
    EXPECT_FALSE(ProcessDueSchedule(folder));

    // The count table: 1 -> stopped, -1 stays, -5 -> -6, the lowest count stays without limit.
    const std::pair<int, QString> counts[] = { { 1, QStringLiteral("0") },
                                               { -1, QStringLiteral("-1") },
                                               { -5, QStringLiteral("-6") },
                                               { INT_MIN, QString::number(INT_MIN) } };
    for (const auto& [before, after] : counts) {
        Put(monthly.arg(before));
        g_tNow = At(2026, 12, 31, 9, 0);
        EXPECT_TRUE(ProcessDueSchedule(folder)) << before;
        EXPECT_EQ(Bytes(), Lines(QStringLiteral("1;8;30;31\r\n2027-1-31,8,30\r\n%1\r\n0").arg(after))) << before;
    }
    QString sched, next;
    Put(monthly.arg(1));
    EXPECT_TRUE(ProcessDueSchedule(folder));
    EXPECT_TRUE(GetScheduleTexts(folder, sched, next));
    EXPECT_EQ(next, QStringLiteral("已停止"));
    g_tNow = At(2027, 2, 1, 0, 0);
    EXPECT_FALSE(ProcessDueSchedule(folder)); // stopped: never fires again

    // Never due: mode -1, count 0, or an unreadable line 1.
    for (const QString& text : { QStringLiteral("-1;0;0;\r\n0\r\n0\r\n0"),
                                 QStringLiteral("1;8;30;31\r\n2020-1-1,8,30\r\n0\r\n0"),
                                 QStringLiteral("?;8;30;31\r\n2020-1-1,8,30\r\n5\r\n0") }) {
        Put(text);
        EXPECT_FALSE(ProcessDueSchedule(folder));
        EXPECT_EQ(Bytes(), Lines(text));
    }
    EXPECT_TRUE(messages.messages.isEmpty());

    // Three days missed: a daily schedule fires once and moves to the first trigger after now.
    Put(QStringLiteral("2;9;0;2024-9-1,1\r\n2024-9-17,9,0\r\n5\r\n0"));
    g_tNow = At(2024, 9, 20, 10, 0);
    EXPECT_TRUE(ProcessDueSchedule(folder));
    EXPECT_EQ(Bytes(), Lines(QStringLiteral("2;9;0;2024-9-1,1\r\n2024-9-21,9,0\r\n4\r\n0")));
    EXPECT_FALSE(ProcessDueSchedule(folder));

    // A Friday that came from the weekend rule fires on the Friday, then moves on.
    Put(QStringLiteral("1;9;0;1\r\n2024-10-30,9,0\r\n-1\r\n1"));
    g_tNow = At(2024, 10, 30, 9, 0);
    EXPECT_TRUE(ProcessDueSchedule(folder));
    EXPECT_EQ(Bytes(), Lines(QStringLiteral("1;9;0;1\r\n2024-11-1,9,0\r\n-1\r\n1")));

    // A line 2 that forms no time counts as due and is rewritten properly.
    Put(QStringLiteral("1;9;0;1\r\n0\r\n-1\r\n0"));
    EXPECT_TRUE(ProcessDueSchedule(folder));
    EXPECT_EQ(Bytes(), Lines(QStringLiteral("1;9;0;1\r\n2024-11-1,9,0\r\n-1\r\n0")));
    EXPECT_TRUE(messages.messages.isEmpty());

    // Details that no longer pass the date rules: deleted by the writer, nothing raised.
    Put(QStringLiteral("2;9;0;2024-9-31,3\r\n2024-10-1,9,0\r\n-1\r\n0"));
    EXPECT_FALSE(ProcessDueSchedule(folder));
    EXPECT_FALSE(tree.Exists(kTimer));
    EXPECT_EQ(messages.messages,
              QStringList { folder + QStringLiteral("初始化发生错误，已自动清理！起始日期不正确，如果周末前推则起始日期需避开周末！") });
}

TEST_F(ScheduleFile, DueFromTheTriggerItselfInZonesFarFromUtc)
{
    // Triggers days ahead are settled without the zone conversion; near the trigger the answer
    // must still be exact, at fourteen hours ahead of UTC and at eleven behind it.
    const QString text = QStringLiteral("1;8;30;15\r\n2026-3-15,8,30\r\n-1\r\n0");
    for (const char* zone : { "Pacific/Kiritimati", "Pacific/Pago_Pago", "UTC" }) {
        ScopedTimeZone inZone(zone);
        const qint64 trigger = At(2026, 3, 15, 8, 30);
        for (const qint64 ahead : { 40 * 86400LL, 3 * 86400LL, 2 * 86400LL, 86400LL + 1, 14 * 3600LL, 1LL }) {
            Put(text);
            g_tNow = trigger - ahead;
            EXPECT_FALSE(ProcessDueSchedule(folder)) << zone << " " << ahead;
            EXPECT_EQ(Bytes(), Lines(text)) << zone << " " << ahead;
        }
        g_tNow = trigger;
        EXPECT_TRUE(ProcessDueSchedule(folder)) << zone;
        EXPECT_EQ(Bytes(), Lines(QStringLiteral("1;8;30;15\r\n2026-4-15,8,30\r\n-1\r\n0"))) << zone;
    }
    EXPECT_TRUE(messages.messages.isEmpty());
}

TEST_F(ScheduleFile, StoppingKeepsTheOtherLines)
{
    // Lines 1, 2 and 4 byte for byte, however long or odd; anything after line 4 goes.
    const QString line1 = QStringLiteral("2;9;5;2024-9-16,7  tail ") + QString(300, u'z');
    const QString line2 = QStringLiteral("2024-9-23,9,5 ") + QString(300, u'y');
    const QString line4 = QStringLiteral("1") + QString(900, u' ') + QStringLiteral("end");
    Put(line1 + QStringLiteral("\r\n") + line2 + QStringLiteral("\r\n-1\r\n") + line4 + QStringLiteral("\r\nextra"));
    EXPECT_TRUE(StopSchedule(folder));
    EXPECT_EQ(Bytes(), Lines(line1 + QStringLiteral("\r\n") + line2 + QStringLiteral("\r\n0\r\n") + line4));

    // Stopping again, or a file without a schedule, rewrites the same content.
    const QByteArray stopped = Bytes();
    EXPECT_TRUE(StopSchedule(folder));
    EXPECT_EQ(Bytes(), stopped);
    Put(QStringLiteral("-1;0;0;\r\n0\r\n0\r\n0"));
    EXPECT_TRUE(StopSchedule(folder));
    EXPECT_EQ(Bytes(), Lines(QStringLiteral("-1;0;0;\r\n0\r\n0\r\n0")));
    EXPECT_TRUE(messages.messages.isEmpty());

    // Saved again with a count, the schedule is active once more.
    g_tNow = At(2024, 9, 20, 10, 0);
    EXPECT_TRUE(WriteScheduleFile(folder, Schedule(SCHED_EVERY_N_DAYS, 9, 5, QStringLiteral("2024-9-16,7"), 2, false)));
    QString sched, next;
    EXPECT_TRUE(GetScheduleTexts(folder, sched, next));
    EXPECT_EQ(next, QStringLiteral("2024-9-23 09:05"));
}

TEST_F(ScheduleFile, KilledWriterLeavesOldOrNewFile)
{
    g_tNow = At(2024, 9, 20, 10, 0);
    const ScheduleRecord monthly = Schedule(SCHED_MONTHLY, 8, 30, QStringLiteral("31"), -1, true);
    const ScheduleRecord everyWeek = Schedule(SCHED_EVERY_N_DAYS, 9, 5, QStringLiteral("2024-9-16,7"), 12345, false);
    ASSERT_TRUE(WriteScheduleFile(folder, monthly));
    const QByteArray first = Bytes();
    ASSERT_TRUE(WriteScheduleFile(folder, everyWeek));
    const QByteArray second = Bytes();
    for (int round = 0; round < 20; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i) {
                WriteScheduleFile(folder, i % 2 ? monthly : everyWeek);
            }
        }
        ::usleep(2000 + round * 1500);
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        const QByteArray now = Bytes();
        EXPECT_TRUE(now == first || now == second) << "round " << round << ": " << now.size() << " bytes";
    }
}

TEST_F(ScheduleFile, NextTriggerTextShowsWhenItFiresOnTheSpringChange)
{
    // Berlin, 31 March 2030: the clocks jump from 02:00 to 03:00, so a reminder set for 02:30
    // fires at 03:00; the list says so, while the schedule keeps its set time.
    ScopedTimeZone berlin("Europe/Berlin");
    g_tNow = At(2030, 3, 1, 10, 0);
    ASSERT_TRUE(WriteScheduleFile(folder, Schedule(SCHED_MONTHLY, 2, 30, QStringLiteral("31"), -1, false)));
    EXPECT_EQ(Bytes(), Lines(QStringLiteral("1;2;30;31\r\n2030-3-31,3,0\r\n-1\r\n0")));
    QString sched, next;
    EXPECT_TRUE(GetScheduleTexts(folder, sched, next));
    EXPECT_EQ(next, QStringLiteral("2030-3-31 03:00"));
    EXPECT_EQ(sched, QStringLiteral("每月31日2点30分触发"));

    // The firing is unchanged: due at the jump, then back to 02:30 in April.
    g_tNow = At(2030, 3, 31, 3, 0) - 1;
    EXPECT_FALSE(ProcessDueSchedule(folder));
    g_tNow += 1;
    EXPECT_TRUE(ProcessDueSchedule(folder));
    EXPECT_EQ(Bytes(), Lines(QStringLiteral("1;2;30;31\r\n2030-4-30,2,30\r\n-1\r\n0")));
    EXPECT_TRUE(GetScheduleTexts(folder, sched, next));
    EXPECT_EQ(next, QStringLiteral("2030-4-30 02:30"));
    EXPECT_TRUE(messages.messages.isEmpty());
}

TEST_F(ScheduleFile, FailedComputationShowsItsMessageBeforeTheFileGoes)
{
    g_tNow = At(2024, 9, 1, 10, 0);
    ASSERT_TRUE(WriteScheduleFile(folder, Schedule(SCHED_MONTHLY, 8, 30, QStringLiteral("31"), -1, true)));
    const QByteArray before = Bytes();
    // While the box stands the old file is still there, and still held by the writer.
    bool thereDuringMessage = false, heldDuringMessage = false;
    messages.onMessage = [&](const QString&) {
        thereDuringMessage = tree.Exists(kTimer) && Bytes() == before;
        HeldFile other(file);
        heldDuringMessage = !other.IsHeld();
    };
    EXPECT_FALSE(WriteScheduleFile(folder, Schedule(SCHED_MONTHLY, 9, 0, QStringLiteral("0"), -1, false)));
    EXPECT_EQ(messages.messages.size(), 1);
    EXPECT_TRUE(thereDuringMessage);
    EXPECT_TRUE(heldDuringMessage);
    EXPECT_FALSE(tree.Exists(kTimer));
}

TEST_F(ScheduleFile, ClockPastTheLastYearNeverDeletesOrFires)
{
    // A clock past the last year a trigger can be built in (and one the platform cannot convert)
    // is the clock's fault, not the file's: every file stays byte for byte, nothing fires.
    const QString active = QStringLiteral("1;8;30;31\r\n2026-12-31,8,30\r\n3\r\n0");
    const QString badLine2 = QStringLiteral("1;8;30;31\r\n2026-13-31,8,30\r\n3\r\n0");
    for (const qint64 now : { At(3001, 1, 1, 0, 0), At(5000, 6, 1, 0, 0), qint64(1) << 62 }) {
        g_tNow = now;
        for (const QString& text : { active, badLine2 }) {
            Put(text);
            ScheduleFault fault = ScheduleFault::None;
            EXPECT_FALSE(ProcessDueSchedule(folder, &fault)) << text.toStdString();
            EXPECT_EQ(fault, ScheduleFault::ClockOutOfRange);
            EXPECT_EQ(Bytes(), Lines(text));
        }
        // The row still shows what the file says.
        Put(active);
        QString sched, next;
        EXPECT_TRUE(GetScheduleTexts(folder, sched, next));
        EXPECT_EQ(sched + u'|' + next, QStringLiteral("每月31日8点30分触发|2026-12-31 08:30"));
        EXPECT_TRUE(messages.messages.isEmpty());
        // Saving from the settings dialog keeps the old file and says why.
        ScheduleFault fault = ScheduleFault::None;
        EXPECT_FALSE(WriteScheduleFile(folder, Schedule(SCHED_YEARLY, 9, 0, QStringLiteral("3-5"), -1, false), &fault));
        EXPECT_EQ(fault, ScheduleFault::ClockOutOfRange);
        EXPECT_EQ(Bytes(), Lines(active));
        EXPECT_EQ(messages.messages,
                  QStringList { folder + QStringLiteral("初始化发生错误，系统时间超出范围，定时未保存！") });
        messages.messages.clear();
    }
    // Once the clock is right again the schedule fires as usual.
    g_tNow = At(2027, 1, 2, 0, 0);
    EXPECT_TRUE(ProcessDueSchedule(folder));
    EXPECT_EQ(Bytes(), Lines(QStringLiteral("1;8;30;31\r\n2027-1-31,8,30\r\n2\r\n0")));
}

TEST_F(ScheduleFile, ImpossibleTimeInLineTwoFiresOnceAndIsRepaired)
{
    // As with a bad date in line 2, line 1's schedule stands: one firing, then a proper trigger.
    g_tNow = At(2024, 9, 20, 10, 0);
    for (const QString& line2 : { QStringLiteral("2024-9-15,25,0"), QStringLiteral("2024-9-15,9,60"),
                                  QStringLiteral("2024-9-15,-1,0"), QStringLiteral("2024-13-15,9,0") }) {
        SCOPED_TRACE(line2.toStdString());
        Put(QStringLiteral("1;9;0;15\r\n") + line2 + QStringLiteral("\r\n5\r\n0"));
        QString sched, next;
        EXPECT_TRUE(GetScheduleTexts(folder, sched, next));
        EXPECT_EQ(sched, QStringLiteral("每月15日9点0分触发"));
        EXPECT_TRUE(ProcessDueSchedule(folder));
        EXPECT_EQ(Bytes(), Lines(QStringLiteral("1;9;0;15\r\n2024-10-15,9,0\r\n4\r\n0")));
        EXPECT_FALSE(ProcessDueSchedule(folder));
    }
    EXPECT_TRUE(messages.messages.isEmpty());
}

TEST_F(ScheduleFile, DamagedFileIsRemovedOnlyWhenStillTheSameUnchangedAndDamaged)
{
    const QByteArray damaged = Lines(QStringLiteral("1;8;30;31\r\n2024-9-"));
    const QString whole = QStringLiteral("1;8;30;31\r\n2024-9-30,8,30\r\n-1\r\n1");
    g_tNow = At(2024, 9, 20, 10, 0);
    QString sched, next;

    // Written whole in place (as cp does) while the reader waited: read as it now stands.
    tree.WriteBytes(kTimer, damaged);
    SetDamageRecheckPause([&] { Put(whole); });
    EXPECT_TRUE(GetScheduleTexts(folder, sched, next));
    EXPECT_EQ(next, QStringLiteral("2024-9-30 08:30"));
    tree.WriteBytes(kTimer, damaged);
    EXPECT_TRUE(StopSchedule(folder));
    EXPECT_EQ(Bytes(), Lines(QStringLiteral("1;8;30;31\r\n2024-9-30,8,30\r\n0\r\n1")));

    // Still being written (grown, still damaged) or put in its place by a rename: left alone,
    // without a word.
    const std::function<void()> changes[] = {
        [&] { tree.WriteBytes(kTimer, damaged + Lines(QStringLiteral("3")).mid(2)); },
        [&] {
            tree.WriteBytes(QStringLiteral("fresh"), damaged);
            ASSERT_EQ(::rename(QFile::encodeName(tree.Path(QStringLiteral("fresh"))).constData(),
                               QFile::encodeName(file).constData()),
                      0);
        },
    };
    for (const auto& change : changes) {
        tree.WriteBytes(kTimer, damaged);
        SetDamageRecheckPause(change);
        ScheduleFault fault = ScheduleFault::None;
        EXPECT_FALSE(ProcessDueSchedule(folder, &fault));
        EXPECT_EQ(fault, ScheduleFault::Changing);
        EXPECT_TRUE(tree.Exists(kTimer));
    }
    EXPECT_TRUE(messages.messages.isEmpty());

    // Unchanged after the real pause: removed, with the reader's message.
    SetDamageRecheckPause(nullptr);
    tree.WriteBytes(kTimer, damaged);
    QElapsedTimer timer;
    timer.start();
    ScheduleFault fault = ScheduleFault::None;
    EXPECT_FALSE(GetScheduleTexts(folder, sched, next, &fault));
    EXPECT_GE(timer.elapsed(), kDamageRecheckMs - 5);
    EXPECT_EQ(fault, ScheduleFault::Removed);
    EXPECT_FALSE(tree.Exists(kTimer));
    EXPECT_EQ(messages.messages, QStringList { kDamagedRead.arg(file) });
}

TEST_F(ScheduleFile, CleanupIsClaimedOnlyWhenTheFileWent)
{
    // A damaged file on a file system mounted read-only stays; each reader says it could not be
    // removed. Mounting needs a private mount namespace, so the readers run in a child process.
    const QString kept = QStringLiteral("获取定时信息错误，文件%1内容异常，且无法自动清理！");
    const QString keptDue = QStringLiteral("处理定时错误，文件%1内容异常，且无法自动清理！");
    const QByteArray damaged = Lines(QStringLiteral("1;8;30;31"));
    int channel[2];
    ASSERT_EQ(::pipe(channel), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(channel[0]);
        QStringList failures;
        auto check = [&](bool ok, const char* what) {
            if (!ok)
                failures.append(QString::fromUtf8(what));
        };
        const QByteArray mountPoint = QFile::encodeName(folder);
        if (::unshare(CLONE_NEWNS) != 0 || ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
            || ::mount("quillbrook", mountPoint.constData(), "tmpfs", 0, nullptr) != 0) {
            failures = QStringList { QStringLiteral("SKIP") };
        } else {
            tree.WriteBytes(kTimer, damaged);
            check(::mount(nullptr, mountPoint.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0,
                  "remount read-only");
            ScheduleRecord record;
            QString sched, next;
            const std::function<bool(ScheduleFault*)> readers[] = {
                [&](ScheduleFault* f) { return ReadScheduleForEdit(folder, record, f); },
                [&](ScheduleFault* f) { return GetScheduleTexts(folder, sched, next, f); },
                [&](ScheduleFault* f) { return ProcessDueSchedule(folder, f); },
                [&](ScheduleFault* f) { return StopSchedule(folder, f); },
            };
            // Stopping opens the file for writing, which the read-only mount refuses at once.
            const QString texts[] = { kept, kept, keptDue, kOpenFailed };
            for (int i = 0; i < 4; ++i) {
                messages.messages.clear();
                ScheduleFault fault = ScheduleFault::None;
                check(!readers[i](&fault), "reader result");
                check(fault == (i < 3 ? ScheduleFault::NotRemoved : ScheduleFault::None), "fault NotRemoved");
                check(tree.ReadBytes(kTimer) == damaged, "file kept");
                check(messages.messages == QStringList { texts[i].arg(file) }, "could-not-remove message");
            }
            // Writable again: removed, and now it says so.
            check(::mount(nullptr, mountPoint.constData(), nullptr, MS_REMOUNT, nullptr) == 0, "remount writable");
            messages.messages.clear();
            check(!GetScheduleTexts(folder, sched, next), "reader result after remount");
            check(!tree.Exists(kTimer), "file removed after remount");
            check(messages.messages == QStringList { kDamagedRead.arg(file) }, "removed message");
        }
        const QByteArray report = failures.join(u'\n').toUtf8();
        (void)!::write(channel[1], report.constData(), report.size());
        ::_exit(0);
    }
    ::close(channel[1]);
    QByteArray report;
    char buffer[512];
    for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) > 0;)
        report.append(buffer, n);
    ::close(channel[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    if (report == "SKIP")
        GTEST_SKIP() << "no private mount namespace here";
    EXPECT_TRUE(report.isEmpty()) << report.toStdString();
}
