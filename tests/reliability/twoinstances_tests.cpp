// Two instances of the program on one tree: while one holds a folder's files, the other's reads
// and writes of them fail with their messages and change nothing.
#include "platform/exclusivefile.h"
#include "platform/localtime.h"
#include "platform/programstate.h"
#include "schedtest.h"
#include "schedule/schedule.h"
#include "store/desc.h"
#include "faultfilesystem.h"
#include "testsupport.h"

#include <QDir>

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Another instance, in its own process, in the middle of an operation on both files of folder
// (reading the description, rewriting the schedule, which holds the folder for writers): it holds
// them open as the program does until told to finish, or for holdMs when given.
class OtherInstance
{
public:
    explicit OtherInstance(const QString& folder, int holdMs = 0)
    {
        int ready[2], finish[2];
        if (::pipe(ready) != 0 || ::pipe(finish) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(ready[0]);
            ::close(finish[1]);
            CFile desc, timer;
            const bool held = desc.Open(JoinPath(folder, kDescFileName), CFile::modeRead)
                && timer.Open(JoinPath(folder, kTimerFileName), CFile::modeReadWrite);
            const char answer = held ? 'y' : 'n';
            (void)!::write(ready[1], &answer, 1);
            if (holdMs > 0) {
                ::usleep(useconds_t(holdMs) * 1000);
                ::_exit(0);
            }
            char done;
            (void)!::read(finish[0], &done, 1); // until the other end closes
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(finish[0]);
        m_finish = finish[1];
        char answer = 'n';
        m_holding = ::read(ready[0], &answer, 1) == 1 && answer == 'y';
        ::close(ready[0]);
    }
    ~OtherInstance() { Finish(); }
    bool Holding() const { return m_holding; }
    void Finish()
    {
        if (m_finish >= 0)
            ::close(m_finish);
        m_finish = -1;
        if (m_pid > 0) {
            int status = 0;
            ::waitpid(m_pid, &status, 0);
        }
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
    int m_finish = -1;
    bool m_holding = false;
};

} // namespace

TEST(TwoInstances, HeldFilesRefuseEveryReadAndWriteAndStayUnchanged)
{
    ScopedTimeZone tz("Asia/Shanghai");
    MakeLocalTime(2024, 9, 23, 9, 5, 0, g_tNow); // the stored trigger is due
    TempTree tree;
    RecordingMessagePort messages;
    const QString folder = tree.Root();
    const QString timerPath = JoinPath(folder, kTimerFileName);
    const QString descPath = JoinPath(folder, kDescFileName);
    const QByteArray timer = Utf16File(QStringLiteral("2;9;5;2024-9-16,7\r\n2024-9-23,9,5\r\n2\r\n0"));
    const QByteArray desc = Utf16File(QStringLiteral("合同"));
    tree.WriteBytes(kTimerFileName, timer);
    tree.WriteBytes(kDescFileName, desc);

    OtherInstance other(folder);
    ASSERT_TRUE(other.Holding());

    QString sched = QStringLiteral("row"), next = QStringLiteral("row");
    ScheduleRecord record;
    EXPECT_FALSE(GetScheduleTexts(folder, sched, next));
    EXPECT_FALSE(ReadScheduleForEdit(folder, record));
    EXPECT_FALSE(ProcessDueSchedule(folder));
    EXPECT_FALSE(StopSchedule(folder));
    EXPECT_FALSE(WriteScheduleFile(folder, Schedule(SCHED_MONTHLY, 8, 30, QStringLiteral("31"), -1, false)));
    EXPECT_FALSE(WriteScheduleFile(folder, Schedule(SCHED_NONE, 0, 0, QString(), 0, false)));
    EXPECT_FALSE(WriteDirDesc(folder, QStringLiteral("新的描述")));
    EXPECT_EQ(ReadDirDesc(folder), QString()); // a held description reads as none, silently

    const QString openFailed = QStringLiteral("处理定时错误，%1打开失败！").arg(timerPath);
    const QString createFailed = QStringLiteral("%1创建失败，请检查目录是否有写权限！").arg(timerPath);
    EXPECT_EQ(messages.messages,
              (QStringList { openFailed, openFailed, openFailed, openFailed, createFailed, createFailed,
                             QStringLiteral("%1创建失败！").arg(descPath) }));
    EXPECT_EQ(sched + next, QStringLiteral("rowrow"));
    EXPECT_EQ(record.mode, -1);
    EXPECT_EQ(tree.ReadBytes(kTimerFileName), timer);
    EXPECT_EQ(tree.ReadBytes(kDescFileName), desc);
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 2);

    // Once the other instance is done, the same operations go through.
    other.Finish();
    messages.messages.clear();
    EXPECT_TRUE(GetScheduleTexts(folder, sched, next));
    EXPECT_EQ(next, QStringLiteral("2024-9-23 09:05"));
    EXPECT_TRUE(ProcessDueSchedule(folder));
    EXPECT_TRUE(WriteDirDesc(folder, QStringLiteral("新的描述")));
    EXPECT_EQ(ReadDirDesc(folder), QStringLiteral("新的描述"));
    EXPECT_TRUE(messages.messages.isEmpty());
}

// A second instance holding a schedule file for a few microseconds at a minute boundary made the
// other one report "处理定时错误，…打开失败！": the open gave up at once.
TEST(TwoInstances, AFileHeldForAMomentIsWaitedForALongerHoldStillFails)
{
    ScopedTimeZone tz("Asia/Shanghai");
    MakeLocalTime(2024, 9, 23, 9, 5, 0, g_tNow); // the stored trigger is due
    TempTree tree;
    RecordingMessagePort messages;
    const QString folder = tree.Root();
    tree.WriteBytes(kTimerFileName, Utf16File(QStringLiteral("2;9;5;2024-9-16,7\r\n2024-9-23,9,5\r\n2\r\n0")));
    tree.WriteBytes(kDescFileName, Utf16File(QStringLiteral("合同")));
    using Clock = std::chrono::steady_clock;

    {
        OtherInstance other(folder, 100);
        ASSERT_TRUE(other.Holding());
        EXPECT_TRUE(ProcessDueSchedule(folder)); // fires once the other lets go
    }
    EXPECT_TRUE(messages.messages.isEmpty());
    QString sched, next;
    EXPECT_TRUE(GetScheduleTexts(folder, sched, next));
    EXPECT_EQ(next, QStringLiteral("2024-9-30 09:05"));

    const QByteArray before = tree.ReadBytes(kTimerFileName);
    OtherInstance other(folder, 1500);
    ASSERT_TRUE(other.Holding());
    const Clock::time_point start = Clock::now();
    EXPECT_FALSE(GetScheduleTexts(folder, sched, next));
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_EQ(messages.messages, QStringList { QStringLiteral("处理定时错误，%1打开失败！").arg(JoinPath(folder, kTimerFileName)) });
    // About half a second, well before the holder lets go.
    EXPECT_GE(waited, 450);
    EXPECT_LT(waited, 1300);
    EXPECT_EQ(tree.ReadBytes(kTimerFileName), before);
}

// Both instances find the same trigger due at the same minute: the one that writes second finds the
// file is no longer the one it read, and fires nothing.
TEST(TwoInstances, ADueTriggerBothReadFiresOnce)
{
    ScopedTimeZone zone("Asia/Shanghai");
    TempTree tree;
    RecordingMessagePort messages;
    tree.MakeDir(QStringLiteral("夹"));
    const QString timer = QStringLiteral("夹/") + kTimerFileName;
    tree.WriteText(timer, QStringLiteral("1;10;0;8\r\n2026-12-8,10,0\r\n5\r\n0"));
    ASSERT_TRUE(MakeLocalTime(2026, 12, 9, 9, 0, 0, g_tNow));
    FaultFileSystem fs;
    bool otherFired = false, otherRan = false;
    // The other instance fires between this one's read and its write.
    fs.onOpen = [&](const QString&, FileSystem::Access access) {
        if (access != FileSystem::Access::Create || otherRan)
            return;
        otherRan = true;
        otherFired = ProcessDueSchedule(tree.Path(QStringLiteral("夹")));
    };
    ScheduleFault fault = ScheduleFault::None;
    EXPECT_FALSE(ProcessDueSchedule(tree.Path(QStringLiteral("夹")), &fault));
    EXPECT_TRUE(otherFired);
    EXPECT_EQ(fault, ScheduleFault::Changing);
    EXPECT_EQ(tree.ReadBytes(timer), Utf16File(QStringLiteral("1;10;0;8\r\n2027-1-8,10,0\r\n4\r\n0")));
    EXPECT_TRUE(messages.messages.isEmpty());
}
