// What the program's writes meet on a real tree: shared folders, files of its users beside its
// own, folders deep down, files far larger than any it writes.
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
#include <QRegularExpression>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct stat StatOf(const QString& path)
{
    struct stat st {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0) << path.toStdString();
    return st;
}

class ScopedUmask
{
public:
    explicit ScopedUmask(mode_t mask) : m_old(::umask(mask)) {}
    ~ScopedUmask() { ::umask(m_old); }

private:
    mode_t m_old;
};

const QString kSchedule = QStringLiteral("2;9;5;2024-9-16,7\r\n2024-9-23,9,5\r\n2\r\n0");

} // namespace

// Every rewrite created the file 0644 owned by the writer, whatever the old file's mode and
// group: the other users of a shared tree could no longer save or fire its schedules.
TEST(FileSafety, AReplacementKeepsModeOwnerAndGroupANewFileFollowsTheUmask)
{
    ScopedTimeZone tz("Asia/Shanghai");
    MakeLocalTime(2024, 9, 20, 10, 0, 0, g_tNow);
    TempTree tree;
    RecordingMessagePort messages;
    ScopedUmask umask(027);
    const QString folder = tree.Root();
    const QString desc = JoinPath(folder, kDescFileName);
    const QString timer = JoinPath(folder, kTimerFileName);

    tree.WriteText(kDescFileName, QStringLiteral("旧"));
    ASSERT_EQ(::chmod(QFile::encodeName(desc).constData(), 0660), 0);
    ASSERT_EQ(::chown(QFile::encodeName(desc).constData(), 1234, 4242), 0);
    EXPECT_TRUE(WriteDirDesc(folder, QStringLiteral("新")));
    struct stat st = StatOf(desc);
    EXPECT_EQ(st.st_mode & 07777, 0660u);
    EXPECT_EQ(st.st_gid, 4242u);
    EXPECT_EQ(st.st_uid, 1234u);
    EXPECT_EQ(ReadDirDesc(folder), QStringLiteral("新"));

    // A new file: 0666 less the umask.
    EXPECT_TRUE(WriteScheduleFile(folder, Schedule(SCHED_MONTHLY, 8, 30, QStringLiteral("31"), -1, false)));
    EXPECT_EQ(StatOf(timer).st_mode & 07777, 0640u);
    // Stopping and firing rewrite it with the mode and group it has by then.
    ASSERT_EQ(::chmod(QFile::encodeName(timer).constData(), 0664), 0);
    ASSERT_EQ(::chown(QFile::encodeName(timer).constData(), 0, 4343), 0);
    EXPECT_TRUE(StopSchedule(folder));
    tree.WriteText(kTimerFileName, kSchedule); // in place: the mode and group stay
    MakeLocalTime(2024, 9, 23, 9, 5, 0, g_tNow);
    EXPECT_TRUE(ProcessDueSchedule(folder));
    st = StatOf(timer);
    EXPECT_EQ(st.st_mode & 07777, 0664u);
    EXPECT_EQ(st.st_gid, 4343u);

    ScopedUmask open(002);
    tree.MakeDir(QStringLiteral("other"));
    EXPECT_TRUE(WriteDirDesc(tree.Path(QStringLiteral("other")), QString()));
    EXPECT_EQ(StatOf(tree.Path(QStringLiteral("other/Quillbrook.desc"))).st_mode & 07777, 0664u);
    EXPECT_TRUE(messages.messages.isEmpty());
}

// The clean-up of killed writers' temporaries took every ".Quillbrook.Timer." name with six
// letters or digits after it for one: a user's ".Quillbrook.Timer.backup" was deleted.
TEST(FileSafety, OnlyTemporariesOfTheProgramsOwnFormAreCleaned)
{
    ScopedTimeZone tz("Asia/Shanghai");
    MakeLocalTime(2024, 9, 20, 10, 0, 0, g_tNow);
    TempTree tree;
    RecordingMessagePort messages;
    const QString folder = tree.Root();
    tree.WriteText(kTimerFileName, kSchedule);
    const QStringList userFiles { QStringLiteral(".Quillbrook.Timer.backup"), QStringLiteral(".Quillbrook.Timer.aB3xY9"),
                                  QStringLiteral(".Quillbrook.Timer.qbtmp-0123"),
                                  QStringLiteral(".Quillbrook.Timer.qbtmp-0123456789ABCDEF"),
                                  QStringLiteral(".Quillbrook.desc.backup") };
    for (const QString& name : userFiles)
        tree.WriteBytes(name, "mine");
    const QString litter = QStringLiteral(".Quillbrook.Timer.qbtmp-0123456789abcdef");
    tree.WriteBytes(litter, "left by a killed writer");

    // The writer's own temporary, seen in the middle of its write.
    const QRegularExpression form(QStringLiteral("^\\.Quillbrook\\.Timer\\.qbtmp-[0-9a-f]{16}$"));
    QStringList seen;
    FaultFileSystem fs;
    fs.onWrite = [&] {
        for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden))
            if (name != QStringLiteral("Quillbrook.Timer") && !userFiles.contains(name))
                seen.append(name);
    };
    EXPECT_TRUE(WriteScheduleFile(folder, Schedule(SCHED_MONTHLY, 8, 30, QStringLiteral("31"), -1, false)));
    ASSERT_EQ(seen.size(), 1) << seen.join(u' ').toStdString();
    EXPECT_TRUE(form.match(seen[0]).hasMatch()) << seen[0].toStdString();

    QStringList left = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    left.sort();
    QStringList expected = userFiles + QStringList { QStringLiteral("Quillbrook.Timer") };
    expected.sort();
    EXPECT_EQ(left, expected);
    for (const QString& name : userFiles)
        EXPECT_EQ(tree.ReadBytes(name), QByteArray("mine"));
    EXPECT_TRUE(messages.messages.isEmpty());
}

// A folder whose path was 4,071 to 4,078 bytes long was read but never written: the temporary's
// path passed the system's limit, and every pass showed a misleading write-permission message.
TEST(FileSafety, FoldersWithPathsOf4071To4078BytesAreWritten)
{
    ScopedTimeZone tz("Asia/Shanghai");
    MakeLocalTime(2024, 9, 20, 10, 0, 0, g_tNow);
    TempTree tree;
    RecordingMessagePort messages;
    QString deep = tree.Root();
    while (deep.size() + 1 + 250 < 4071 - 20)
        deep += u'/' + QString(250, u'd');
    for (int length = 4071; length <= 4078; ++length) {
        const QString folder = deep + u'/' + QString(length - deep.size() - 1, u'f');
        ASSERT_EQ(QFile::encodeName(folder).size(), length);
        ASSERT_TRUE(QDir().mkpath(folder)) << length;
        EXPECT_TRUE(WriteDirDesc(folder, QStringLiteral("描述"))) << length;
        EXPECT_EQ(ReadDirDesc(folder), QStringLiteral("描述"));
        EXPECT_TRUE(WriteScheduleFile(folder, Schedule(SCHED_MONTHLY, 8, 30, QStringLiteral("31"), -1, false)))
            << length;
        EXPECT_TRUE(StopSchedule(folder)) << length;
        QString sched, next;
        EXPECT_TRUE(GetScheduleTexts(folder, sched, next));
        EXPECT_EQ(next, QStringLiteral("已停止")) << length;
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 2) << length;
    }
    EXPECT_TRUE(messages.messages.isEmpty()) << messages.messages.join(u'\n').toStdString();
}

// "暂停定时" on a 512 MiB schedule file read it whole into memory: seconds of a frozen window and
// gigabytes taken. No file of the program is read past what its format can need.
TEST(FileSafety, AHugeScheduleFileIsNeverReadWhole)
{
    TempTree tree;
    RecordingMessagePort messages;
    const QString folder = tree.Root();
    const QString head = QStringLiteral("2;9;5;2024-9-16,7\r\n2024-9-23,9,5\r\n2\r\n");
    QByteArray huge = Utf16File(head);
    huge.append(QByteArray("0\0", 2).repeated(12 << 20)); // a fourth line of 12 million zeros
    tree.WriteBytes(kTimerFileName, huge);
    const QString path = JoinPath(folder, kTimerFileName);

    CFile file;
    ASSERT_TRUE(file.Open(path, CFile::modeReadWrite));
    EXPECT_EQ(file.GetLength(), huge.size());
    qint64 read = 0;
    for (QByteArray piece; !(piece = file.Read(1 << 20)).isEmpty();)
        read += piece.size();
    EXPECT_EQ(read, kMaxFileReadBytes);
    file.Abort();

    // Stopping reads it as every reader does, its first 1024 units, and writes those lines back.
    EXPECT_TRUE(StopSchedule(folder));
    const QByteArray after = tree.ReadBytes(kTimerFileName);
    EXPECT_EQ(after, Utf16File(QStringLiteral("2;9;5;2024-9-16,7\r\n2024-9-23,9,5\r\n0\r\n") + QString(1024 - head.size(), u'0')));
    EXPECT_TRUE(messages.messages.isEmpty());
}
