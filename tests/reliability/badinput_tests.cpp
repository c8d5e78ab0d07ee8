// Hand-edited schedule files: what each reader makes of them. tests/README.md lists the cases.
#include "platform/localtime.h"
#include "platform/programstate.h"
#include "schedtest.h"
#include "schedule/schedule.h"
#include "store/desc.h"
#include "testsupport.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

class BadScheduleFile : public testing::Test
{
protected:
    ScopedTimeZone tz { "Asia/Shanghai" };
    RecordingMessagePort messages;
    TempTree tree;
    QString folder = tree.Root();
    QString path = JoinPath(folder, kTimerFileName);
    QString damagedRead = QStringLiteral("获取定时信息错误，文件%1内容异常，已自动清理！").arg(path);
    QString damagedDue = QStringLiteral("处理定时错误，文件%1内容异常，已自动清理！").arg(path);

    void SetUp() override
    {
        MakeLocalTime(2024, 9, 20, 10, 0, 0, g_tNow);
        SetDamageRecheckPause([] {});
    }
    void TearDown() override { SetDamageRecheckPause(nullptr); }

    void Put(const QByteArray& bytes) { tree.WriteBytes(kTimerFileName, bytes); }
    QByteArray Bytes() const { return tree.ReadBytes(kTimerFileName); }
    bool Exists() const { return tree.Exists(kTimerFileName); }
    QStringList TakeMessages()
    {
        const QStringList out = messages.messages;
        messages.messages.clear();
        return out;
    }

    // Every reader meets a file of fewer than three lines: each deletes it with its own message.
    void ExpectDeletedByEveryReader(const QByteArray& bytes)
    {
        ScheduleRecord record;
        QString sched, next;
        Put(bytes);
        EXPECT_FALSE(GetScheduleTexts(folder, sched, next));
        EXPECT_FALSE(Exists());
        EXPECT_EQ(TakeMessages(), QStringList { damagedRead });
        Put(bytes);
        EXPECT_FALSE(ReadScheduleForEdit(folder, record));
        EXPECT_FALSE(Exists());
        EXPECT_EQ(TakeMessages(), QStringList { damagedRead });
        Put(bytes);
        EXPECT_FALSE(ProcessDueSchedule(folder));
        EXPECT_FALSE(Exists());
        EXPECT_EQ(TakeMessages(), QStringList { damagedDue });
        Put(bytes);
        EXPECT_FALSE(StopSchedule(folder));
        EXPECT_FALSE(Exists());
        EXPECT_EQ(TakeMessages(), QStringList { damagedRead });
    }

    // The list texts of a file, which stays as it was.
    std::pair<QString, QString> Texts(const QString& text)
    {
        Put(Utf16File(text));
        QString sched = QStringLiteral("(kept)"), next;
        EXPECT_TRUE(GetScheduleTexts(folder, sched, next));
        EXPECT_EQ(Bytes(), Utf16File(text));
        return { sched, next };
    }

    // Advances a due file; returns the lines written, or nothing when the file went.
    QStringList Advance(const QString& text, bool expectFired)
    {
        Put(Utf16File(text));
        EXPECT_EQ(ProcessDueSchedule(folder), expectFired);
        if (!Exists())
            return {};
        const QByteArray bytes = Bytes();
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2), (bytes.size() - 2) / 2)
            .split(kCrLf);
    }
};

} // namespace

TEST_F(BadScheduleFile, EmptyOrMarkOnlyIsDeletedAsDamaged)
{
    ExpectDeletedByEveryReader(QByteArray());
    ExpectDeletedByEveryReader(QByteArray("\xFF\xFE", 2));
    ExpectDeletedByEveryReader(QByteArray("\xFF", 1));
}

TEST_F(BadScheduleFile, OneOrTwoLinesAreDeletedThreeAreRead)
{
    ExpectDeletedByEveryReader(Utf16File(QStringLiteral("1;8;30;31")));
    ExpectDeletedByEveryReader(Utf16File(QStringLiteral("1;8;30;31\r\n2024-9-30,8,30")));
    ExpectDeletedByEveryReader(Utf16File(QStringLiteral("1;8;30;31\r\n2024-9-30,8,30\r\n")));

    const QString three = QStringLiteral("1;8;30;31\r\n2024-9-30,8,30\r\n4");
    EXPECT_EQ(Texts(three), std::pair(QStringLiteral("每月31日8点30分触发"), QStringLiteral("2024-9-30 08:30")));
    Put(Utf16File(three));
    EXPECT_TRUE(StopSchedule(folder));
    EXPECT_EQ(Bytes(), Utf16File(QStringLiteral("1;8;30;31\r\n2024-9-30,8,30\r\n0\r\n0")));
    EXPECT_TRUE(TakeMessages().isEmpty());
}

TEST_F(BadScheduleFile, NoMarkLosesTheFirstCharacter)
{
    // Written by another tool without FF FE: the first unit goes, so line 1 no longer begins with
    // the mode and the file reads as no schedule; stopping writes back what was read, with a mark.
    const QByteArray noMark = Utf16File(QStringLiteral("1;8;30;31\r\n2024-9-30,8,30\r\n-1\r\n1")).mid(2);
    Put(noMark);
    QString sched = QStringLiteral("old"), next = QStringLiteral("old");
    EXPECT_TRUE(GetScheduleTexts(folder, sched, next));
    EXPECT_TRUE(sched.isEmpty() && next.isEmpty());
    EXPECT_FALSE(ProcessDueSchedule(folder));
    EXPECT_EQ(Bytes(), noMark);
    EXPECT_TRUE(StopSchedule(folder));
    EXPECT_EQ(Bytes(), Utf16File(QStringLiteral(";8;30;31\r\n2024-9-30,8,30\r\n0\r\n1")));
    EXPECT_TRUE(TakeMessages().isEmpty());
}

TEST_F(BadScheduleFile, OddByteCountReadsTheLastByteAsAUnit)
{
    // A last lone byte 0x37 is the digit 7 with a zero high byte.
    QByteArray bytes = Utf16File(QStringLiteral("1;8;30;31\r\n2024-9-30,8,30\r\n-1\r\n"));
    bytes.append('7');
    Put(bytes);
    ScheduleRecord record;
    EXPECT_TRUE(ReadScheduleForEdit(folder, record));
    EXPECT_TRUE(record.weekend);
    EXPECT_TRUE(StopSchedule(folder));
    EXPECT_EQ(Bytes(), Utf16File(QStringLiteral("1;8;30;31\r\n2024-9-30,8,30\r\n0\r\n7")));
    EXPECT_TRUE(TakeMessages().isEmpty());
}

TEST_F(BadScheduleFile, HugeNumbersAreNotRead)
{
    // A mode beyond 32 bits is not read: no schedule.
    EXPECT_EQ(Texts(QStringLiteral("4294967297;8;30;31\r\n2024-9-30,8,30\r\n-1\r\n1")),
              std::pair(QString(), QString()));
    // An hour beyond 32 bits ends line 1's reading; line 2 supplies the time.
    EXPECT_EQ(Texts(QStringLiteral("1;99999999999;30;31\r\n2024-9-30,8,30\r\n-1\r\n1")),
              std::pair(QStringLiteral("每月0日8点30分触发"), QStringLiteral("2024-9-30 08:30")));
    // A count beyond 32 bits reads as none: the list shows the trigger, the tick never fires it.
    const QString hugeCount = QStringLiteral("1;8;30;31\r\n2024-9-1,8,30\r\n99999999999\r\n1");
    EXPECT_EQ(Texts(hugeCount).second, QStringLiteral("2024-9-1 08:30"));
    EXPECT_EQ(Advance(hugeCount, false), hugeCount.split(kCrLf));
    // A year beyond the platform's range in line 2 counts as due: it fires once and gets a proper
    // next trigger.
    EXPECT_EQ(Advance(QStringLiteral("1;8;30;31\r\n2147483647-9-30,8,30\r\n5\r\n0"), true),
              (QStringList { QStringLiteral("1;8;30;31"), QStringLiteral("2024-9-30,8,30"), QStringLiteral("4"),
                             QStringLiteral("0") }));
    // The lowest count stays without limit instead of wrapping round.
    EXPECT_EQ(Advance(QStringLiteral("1;8;30;31\r\n2024-9-1,8,30\r\n-2147483648\r\n0"), true).value(2),
              QStringLiteral("-2147483648"));
    EXPECT_TRUE(TakeMessages().isEmpty());
}

TEST_F(BadScheduleFile, NegativeIntervalsAreRefusedWhenDue)
{
    const QString computeFailed = QStringLiteral("%1初始化发生错误，已自动清理！%2");
    EXPECT_EQ(Texts(QStringLiteral("2;9;5;2024-9-16,-7\r\n2024-9-16,9,5\r\n-1\r\n0")).first,
              QStringLiteral("2024年9月16日起，每-7天9点5分"));
    EXPECT_TRUE(Advance(QStringLiteral("2;9;5;2024-9-16,-7\r\n2024-9-16,9,5\r\n-1\r\n0"), false).isEmpty());
    EXPECT_EQ(TakeMessages(),
              QStringList { computeFailed.arg(folder, QStringLiteral("间隔天数有错误，请注意格式要求！")) });
    EXPECT_TRUE(Advance(QStringLiteral("3;9;5;2024-1-16,-1\r\n2024-1-16,9,5\r\n-1\r\n0"), false).isEmpty());
    EXPECT_EQ(TakeMessages(),
              QStringList { computeFailed.arg(folder, QStringLiteral("矫正时间发生错误，请注意格式要求！")) });
}

TEST_F(BadScheduleFile, YearsZeroAnd99999)
{
    const QString startFailed = QStringLiteral("%1初始化发生错误，已自动清理！起始日期不正确，如果周末前推则起始日期需避开周末！");
    for (const QString& year : { QStringLiteral("0"), QStringLiteral("99999") }) {
        // In the schedule text: shown as written; refused when the schedule comes due.
        const QString spec = QStringLiteral("2;9;5;%1-9-16,7\r\n2024-9-16,9,5\r\n-1\r\n0").arg(year);
        EXPECT_EQ(Texts(spec).first, QStringLiteral("%1年9月16日起，每7天9点5分").arg(year));
        EXPECT_TRUE(Advance(spec, false).isEmpty());
        EXPECT_EQ(TakeMessages(), QStringList { startFailed.arg(folder) });
        // In the stored trigger: shown as written; due at once, then moved to a proper trigger.
        const QString line2 = QStringLiteral("1;8;30;31\r\n%1-9-30,8,30\r\n-1\r\n0").arg(year);
        EXPECT_EQ(Texts(line2).second, QStringLiteral("%1-9-30 08:30").arg(year));
        EXPECT_EQ(Advance(line2, true).value(1), QStringLiteral("2024-9-30,8,30"));
        EXPECT_TRUE(TakeMessages().isEmpty());
    }
}

TEST_F(BadScheduleFile, DaysZeroAnd32)
{
    const QString startFailed =
        QStringLiteral("%1初始化发生错误，已自动清理！起始日期不正确，本月指定日期开始，如果周末前推则起始日期需避开周末！");
    for (const QString& day : { QStringLiteral("0"), QStringLiteral("32") }) {
        const QString spec = QStringLiteral("1;8;30;%1\r\n2024-9-1,8,30\r\n-1\r\n0").arg(day);
        EXPECT_EQ(Texts(spec).first, QStringLiteral("每月%1日8点30分触发").arg(day));
        EXPECT_TRUE(Advance(spec, false).isEmpty());
        EXPECT_EQ(TakeMessages(), QStringList { startFailed.arg(folder) });
        const QString line2 = QStringLiteral("1;8;30;31\r\n2024-9-%1,8,30\r\n-1\r\n0").arg(day);
        EXPECT_EQ(Advance(line2, true).value(1), QStringLiteral("2024-9-30,8,30"));
        EXPECT_TRUE(TakeMessages().isEmpty());
    }
}

TEST_F(BadScheduleFile, FiveThousandCharacterLines)
{
    const QString longText(5000, u'9');
    // A long first line fills the readers' 1024 units: one line only, so the file is damaged.
    Put(Utf16File(QStringLiteral("1;8;30;") + longText + QStringLiteral("\r\n2024-9-30,8,30\r\n-1\r\n1")));
    QString sched, next;
    EXPECT_FALSE(GetScheduleTexts(folder, sched, next));
    EXPECT_FALSE(Exists());
    EXPECT_EQ(TakeMessages(), QStringList { damagedRead });

    // A long spec after three short lines' worth: the spec is cut to 63 characters.
    const QString shortFirst = QStringLiteral("1;8;30;31") + QString(70, u'x') + QStringLiteral("\r\n2024-9-30,8,30\r\n-1\r\n")
        + longText;
    Put(Utf16File(shortFirst));
    ScheduleRecord record;
    EXPECT_TRUE(ReadScheduleForEdit(folder, record));
    EXPECT_EQ(record.spec.size(), 63);
    // A 5000-character fourth line is not a number the weekend flag can take: flag off.
    EXPECT_FALSE(record.weekend);
    // Stopping copies every line whole, however long.
    EXPECT_TRUE(StopSchedule(folder));
    EXPECT_EQ(Bytes(), Utf16File(QString(shortFirst).replace(QStringLiteral("\r\n-1\r\n"), QStringLiteral("\r\n0\r\n"))));
    EXPECT_TRUE(TakeMessages().isEmpty());
}

TEST_F(BadScheduleFile, BinaryJunk)
{
    // Junk without CR LF pairs is damaged; junk that happens to hold them reads as no schedule.
    QByteArray junk;
    for (int i = 0; i < 3000; ++i)
        junk.append(char((i * 131 + 7) % 256 == 13 ? 0 : (i * 131 + 7) % 256));
    ExpectDeletedByEveryReader(junk);
    const QByteArray withLines = QByteArray("\xFF\xFE\x01\xD8\x0D\x00\x0A\x00\xFF\xFF\x0D\x00\x0A\x00\x00\xDC\x0D\x00\x0A\x00\x07", 21);
    Put(withLines);
    QString sched = QStringLiteral("old"), next = QStringLiteral("old");
    EXPECT_TRUE(GetScheduleTexts(folder, sched, next));
    EXPECT_TRUE(sched.isEmpty() && next.isEmpty());
    EXPECT_FALSE(ProcessDueSchedule(folder));
    EXPECT_EQ(Bytes(), withLines);
    EXPECT_TRUE(TakeMessages().isEmpty());
}

TEST_F(BadScheduleFile, FolderNamedLikeTheFile)
{
    tree.MakeDir(kTimerFileName);
    ScheduleRecord record;
    QString sched = QStringLiteral("old"), next = QStringLiteral("old");
    EXPECT_FALSE(GetScheduleTexts(folder, sched, next));
    EXPECT_FALSE(ReadScheduleForEdit(folder, record));
    EXPECT_FALSE(ProcessDueSchedule(folder));
    EXPECT_FALSE(StopSchedule(folder));
    EXPECT_FALSE(WriteScheduleFile(folder, Schedule(SCHED_MONTHLY, 8, 30, QStringLiteral("31"), -1, false)));
    const QString openFailed = QStringLiteral("处理定时错误，%1打开失败！").arg(path);
    EXPECT_EQ(TakeMessages(), (QStringList { openFailed, openFailed, openFailed, openFailed,
                                             QStringLiteral("%1创建失败，请检查目录是否有写权限！").arg(path) }));
    EXPECT_TRUE(QFileInfo(path).isDir());
    EXPECT_EQ(sched + next, QStringLiteral("oldold"));
}
