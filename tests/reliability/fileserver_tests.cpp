// A tree on a file server with Windows rules (Samba, Windows Server): a file that is open can be
// neither replaced nor removed. FaultFileSystem keeps those rules on the local disk; the real
// share is tried end to end by tests/e2e/samba_e2e.sh.
#include "faultfilesystem.h"
#include "platform/exclusivefile.h"
#include "platform/localtime.h"
#include "platform/programstate.h"
#include "schedtest.h"
#include "schedule/schedule.h"
#include "store/desc.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>

#include <chrono>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString kDue = QStringLiteral("2;9;5;2024-9-16,7\r\n2024-9-23,9,5\r\n2\r\n0");

// Every entry of folder, hidden ones too.
QStringList Entries(const QString& folder)
{
    QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    names.sort();
    return names;
}

// Another client of the server with the file open (a plain open, no lock: a reader on another
// machine) for holdMs.
class OtherClient
{
public:
    OtherClient(const QString& path, int holdMs)
    {
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
            const char answer = fd >= 0 ? 'y' : 'n';
            (void)!::write(ready[1], &answer, 1);
            ::usleep(useconds_t(holdMs) * 1000);
            ::_exit(0);
        }
        ::close(ready[1]);
        char answer = 'n';
        m_open = ::read(ready[0], &answer, 1) == 1 && answer == 'y';
        ::close(ready[0]);
    }
    ~OtherClient()
    {
        int status;
        if (m_pid > 0)
            ::waitpid(m_pid, &status, 0);
    }
    qint64 Pid() const { return m_pid; }
    bool IsOpen() const { return m_open; }

private:
    pid_t m_pid = -1;
    bool m_open = false;
};

// A share's rules on the local disk: open files are neither replaced nor removed.
class FileServer : public ::testing::Test
{
protected:
    void SetUp() override { fs.windowsRules = true; }

    ScopedTimeZone tz { "Asia/Shanghai" };
    TempTree tree;
    RecordingMessagePort messages;
    FaultFileSystem fs;
};

} // namespace

// Every write held the old file open while renaming the new one over it, and a damaged file was
// removed while held: on a share each of them failed, so no reminder fired and nothing was saved.
TEST_F(FileServer, EveryWriteAndTheRemovalOfADamagedFileGoThroughWhereOpenFilesStay)
{
    MakeLocalTime(2024, 9, 23, 9, 5, 0, g_tNow); // the stored trigger is due
    SetDamageRecheckPause([] {});
    const QString folder = tree.Root();
    const QString desc = JoinPath(folder, kDescFileName);
    tree.WriteText(kDescFileName, QStringLiteral("旧"));
    ASSERT_EQ(::chmod(QFile::encodeName(desc).constData(), 0660), 0);
    ASSERT_EQ(::chown(QFile::encodeName(desc).constData(), 0, 4242), 0);
    // A Windows tree spells the names its own way; the share matches them whatever their case.
    tree.WriteText(QStringLiteral("QUILLBROOK.TIMER"), kDue);

    EXPECT_TRUE(ProcessDueSchedule(folder));
    QString sched, next;
    EXPECT_TRUE(GetScheduleTexts(folder, sched, next));
    EXPECT_EQ(next, QStringLiteral("2024-9-30 09:05"));
    EXPECT_TRUE(StopSchedule(folder));
    EXPECT_TRUE(GetScheduleTexts(folder, sched, next));
    EXPECT_EQ(next, QStringLiteral("已停止"));
    EXPECT_TRUE(WriteScheduleFile(folder, Schedule(SCHED_MONTHLY, 8, 30, QStringLiteral("31"), -1, false)));
    EXPECT_TRUE(WriteDirDesc(folder, QStringLiteral("新")));
    EXPECT_EQ(ReadDirDesc(folder), QStringLiteral("新"));
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(desc).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0660u);
    EXPECT_EQ(st.st_gid, 4242u);
    EXPECT_EQ(Entries(folder), (QStringList { QStringLiteral("QUILLBROOK.TIMER"), QStringLiteral("Quillbrook.desc") }));
    EXPECT_TRUE(messages.messages.isEmpty()) << messages.messages.join(u'\n').toStdString();

    // The archive's copy over an existing file goes the same way.
    tree.WriteBytes(QStringLiteral("doc.txt"), "new");
    tree.MakeDir(QStringLiteral("2023"));
    tree.WriteBytes(QStringLiteral("2023/doc.txt"), "old");
    EXPECT_TRUE(Fs().Copy(tree.Path(QStringLiteral("doc.txt")), tree.Path(QStringLiteral("2023/doc.txt")), {}));
    EXPECT_EQ(tree.ReadBytes(QStringLiteral("2023/doc.txt")), QByteArray("new"));

    tree.WriteText(QStringLiteral("QUILLBROOK.TIMER"), QStringLiteral("1;9;0;1"));
    EXPECT_FALSE(GetScheduleTexts(folder, sched, next));
    EXPECT_EQ(messages.messages, QStringList { QStringLiteral("获取定时信息错误，文件%1内容异常，已自动清理！")
                                                   .arg(tree.Path(QStringLiteral("QUILLBROOK.TIMER"))) });
    EXPECT_FALSE(tree.Exists(QStringLiteral("QUILLBROOK.TIMER")));
    SetDamageRecheckPause({});
}

// A reader on another machine keeps the file open for a moment: the write waits for it, within
// about half a second, and then fails with its message, the old file whole and no temporary left.
TEST_F(FileServer, AFileAnotherClientHasOpenIsReplacedOnceClosedOrTheWriteFailsWithinABound)
{
    MakeLocalTime(2024, 9, 20, 10, 0, 0, g_tNow);
    const QString folder = tree.Root();
    const QString timer = JoinPath(folder, kTimerFileName);
    tree.WriteText(kTimerFileName, kDue);
    using Clock = std::chrono::steady_clock;

    {
        OtherClient reader(timer, 150);
        ASSERT_TRUE(reader.IsOpen());
        fs.otherClients = { reader.Pid() };
        EXPECT_TRUE(StopSchedule(folder));
    }
    QString sched, next;
    EXPECT_TRUE(GetScheduleTexts(folder, sched, next));
    EXPECT_EQ(next, QStringLiteral("已停止"));

    const QByteArray before = tree.ReadBytes(kTimerFileName);
    OtherClient reader(timer, 2000);
    ASSERT_TRUE(reader.IsOpen());
    fs.otherClients = { reader.Pid() };
    const Clock::time_point start = Clock::now();
    EXPECT_FALSE(WriteScheduleFile(folder, Schedule(SCHED_MONTHLY, 8, 30, QStringLiteral("31"), -1, false)));
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_GE(waited, 450);
    EXPECT_LT(waited, 1500);
    EXPECT_EQ(messages.messages, QStringList { QStringLiteral("%1创建失败，请检查目录是否有写权限！").arg(timer) });
    EXPECT_EQ(tree.ReadBytes(kTimerFileName), before);
    EXPECT_EQ(Entries(folder), QStringList { kTimerFileName });
}

// Letting go of the file for the rename (or the removal) let go of the only lock: a second
// instance could read the old schedule and fire it again, or put a file there that the removal
// of a damaged one then deleted. The folder's lock keeps writers out meanwhile; readers come in.
TEST_F(FileServer, WhileTheFileIsLetGoForItsRenameOrRemovalASecondWriterIsStillKeptOut)
{
    MakeLocalTime(2024, 9, 23, 9, 5, 0, g_tNow);
    SetDamageRecheckPause([] {});
    const QString folder = tree.Root();
    const QString timer = JoinPath(folder, kTimerFileName);
    tree.WriteText(kTimerFileName, kDue);
    tree.WriteText(kDescFileName, QStringLiteral("描述"));

    int looked = 0;
    auto secondInstance = [&] {
        fs.SetLockWait(0);
        for (const QString& name : { kTimerFileName, kDescFileName }) {
            CFile writer, creator, reader;
            EXPECT_FALSE(writer.Open(JoinPath(folder, name), CFile::modeReadWrite)) << name.toStdString();
            EXPECT_FALSE(creator.Open(JoinPath(folder, name), CFile::modeCreate)) << name.toStdString();
            // A reader takes the old file or the new one, whole.
            EXPECT_TRUE(reader.Open(JoinPath(folder, name), CFile::modeRead)) << name.toStdString();
        }
        fs.SetLockWait(PosixFileSystem::kLockWaitMs);
        ++looked;
    };
    fs.onRename = secondInstance;
    EXPECT_TRUE(ProcessDueSchedule(folder));
    EXPECT_TRUE(WriteScheduleFile(folder, Schedule(SCHED_NONE, 0, 0, QString(), 0, false)));
    EXPECT_EQ(looked, 2);

    // The damaged file read without the folder's lock takes it before letting the file go.
    tree.WriteText(kTimerFileName, QStringLiteral("x"));
    fs.onRename = {};
    fs.onRemove = secondInstance;
    QString sched, next;
    EXPECT_FALSE(GetScheduleTexts(folder, sched, next));
    EXPECT_EQ(looked, 3);
    EXPECT_FALSE(tree.Exists(kTimerFileName));
    EXPECT_EQ(messages.messages, QStringList { QStringLiteral("获取定时信息错误，文件%1内容异常，已自动清理！").arg(timer) });
    SetDamageRecheckPause({});
}

// A client that replaces a file on a share by removing it and renaming the new one in (smbnetfs)
// can be cut off between the two; the temporary is then the only copy, and the next writer's
// clean-up deleted it.
TEST(FileServerCleanUp, ATemporaryIsKeptWhileItsFileIsMissing)
{
    TempTree tree;
    const QString temp = QStringLiteral(".Quillbrook.Timer.qbtmp-3f09a1c2d4e5b687");
    tree.WriteBytes(temp, "the only copy");
    CFile file;
    ASSERT_TRUE(file.Open(tree.Path(QStringLiteral("Quillbrook.desc")), CFile::modeCreate));
    file.Write("x");
    ASSERT_TRUE(file.Close());
    CFile timer;
    ASSERT_TRUE(timer.Open(tree.Path(kTimerFileName), CFile::modeCreate));
    timer.Write("new");
    ASSERT_TRUE(timer.Close());
    // Once the file is there again, the next write clears it.
    EXPECT_EQ(Entries(tree.Root()), (QStringList { temp, QStringLiteral("Quillbrook.Timer"), QStringLiteral("Quillbrook.desc") }));
    ASSERT_TRUE(timer.Open(tree.Path(kTimerFileName), CFile::modeReadWrite));
    timer.Write("newer");
    ASSERT_TRUE(timer.Close());
    EXPECT_EQ(Entries(tree.Root()), (QStringList { QStringLiteral("Quillbrook.Timer"), QStringLiteral("Quillbrook.desc") }));
}
