#include "platform/exclusivefile.h"
#include "store/desc.h"
#include "store/textfile.h"
#include "testsupport.h"

#include <gtest/gtest.h>

TEST(TextFile, DescriptionsAreStoredByteForByte)
{
    TempTree tree;
    RecordingMessagePort messages;
    const QString folder = tree.Root();

    ASSERT_TRUE(WriteDirDesc(folder, QString()));
    EXPECT_EQ(tree.ReadBytes(kDescFileName), QByteArray("\xFF\xFE", 2));
    EXPECT_TRUE(IsManagedDir(folder)); // an empty description still manages the folder

    ASSERT_TRUE(WriteDirDesc(folder, QStringLiteral("ab\r\nc")));
    EXPECT_EQ(tree.ReadBytes(kDescFileName), QByteArray("\xFF\xFE" "a\0b\0\r\0\n\0c\0", 12));
    EXPECT_EQ(ReadDirDesc(folder), QStringLiteral("ab\r\nc"));

    const QString chinese = QStringLiteral("合同\r\n第二行");
    ASSERT_TRUE(WriteDirDesc(folder, chinese));
    EXPECT_EQ(ReadDirDesc(folder), chinese);
    EXPECT_TRUE(messages.messages.isEmpty());
}

TEST(TextFile, ReaderTakesAtMostCapacityAndStopsAtZero)
{
    TempTree tree;
    QString long3000;
    for (int i = 0; i < 3000; ++i)
        long3000 += QChar(u'a' + i % 26);
    tree.WriteText(kDescFileName, long3000);
    EXPECT_EQ(ReadDirDesc(tree.Root()), long3000.left(1024));

    tree.WriteBytes(kDescFileName, QByteArray("\xFF\xFE" "a\0b\0\0\0c\0", 10));
    EXPECT_EQ(ReadDirDesc(tree.Root()), QStringLiteral("ab"));

    // No mark: the first character is lost, as the reader always skips two bytes.
    tree.WriteBytes(kDescFileName, QByteArray("x\0y\0z\0", 6));
    EXPECT_EQ(ReadDirDesc(tree.Root()), QStringLiteral("yz"));

    // An odd byte at the end is a unit of its own with a zero high byte.
    tree.WriteBytes(kDescFileName, QByteArray("\xFF\xFE" "a\0b", 5));
    EXPECT_EQ(ReadDirDesc(tree.Root()), QStringLiteral("ab"));

    tree.WriteBytes(kDescFileName, QByteArray("\xFF", 1));
    EXPECT_EQ(ReadDirDesc(tree.Root()), QString());
}

TEST(TextFile, HeldOrMissingDescriptionsReadAsEmptyAndHeldOnesCannotBeReplaced)
{
    TempTree tree;
    RecordingMessagePort messages;
    EXPECT_EQ(ReadDirDesc(tree.Root()), QString());
    EXPECT_FALSE(IsManagedDir(tree.Root()));

    tree.WriteText(kDescFileName, QStringLiteral("kept"));
    const QString path = tree.Path(kDescFileName);
    {
        HeldFile held(path);
        ASSERT_TRUE(held.IsHeld());
        EXPECT_EQ(ReadDirDesc(tree.Root()), QString());
        EXPECT_FALSE(WriteDirDesc(tree.Root(), QStringLiteral("new")));
    }
    EXPECT_EQ(messages.messages, QStringList { path + QStringLiteral("创建失败！") });
    EXPECT_EQ(ReadDirDesc(tree.Root()), QStringLiteral("kept"));

    // A folder where the file should be: not managed, and cannot be written.
    tree.MakeDir(QStringLiteral("odd/") + kDescFileName);
    EXPECT_FALSE(IsManagedDir(tree.Path(QStringLiteral("odd"))));
    EXPECT_FALSE(WriteDirDesc(tree.Path(QStringLiteral("odd")), QStringLiteral("x")));
    // A folder that is missing.
    EXPECT_FALSE(WriteDirDesc(tree.Path(QStringLiteral("missing")), QStringLiteral("x")));
    EXPECT_EQ(messages.messages.size(), 3);
}

TEST(TextFile, SplitLinesBreaksOnlyAtCrLf)
{
    QStringList lines { QStringLiteral("stale") };
    SplitLines(QStringLiteral("a\r\n\r\nb\r\n"), lines);
    EXPECT_EQ(lines, (QStringList { QStringLiteral("a"), QString(), QStringLiteral("b") }));
    SplitLines(QString(), lines);
    EXPECT_TRUE(lines.isEmpty());
    SplitLines(QStringLiteral("a\rb\nc"), lines);
    EXPECT_EQ(lines, QStringList { QStringLiteral("a\rb\nc") });
    SplitLines(QStringLiteral("\r\n"), lines);
    EXPECT_EQ(lines, QStringList { QString() });
    SplitLines(QStringLiteral("x\r\ny"), lines);
    EXPECT_EQ(lines, (QStringList { QStringLiteral("x"), QStringLiteral("y") }));
}

TEST(TextFile, WriterStopsAtZeroAndWritesTheMarkOnlyAtTheStart)
{
    TempTree tree;
    const QString path = tree.Path(QStringLiteral("t"));
    CFile file;
    ASSERT_TRUE(file.Open(path, CFile::modeCreate));
    WriteUnicodeText(file, QStringLiteral("1;2"));
    WriteUnicodeText(file, QString(QStringLiteral("x")) + QChar(0) + QStringLiteral("hidden"));
    ASSERT_TRUE(file.Close());
    EXPECT_EQ(tree.ReadBytes(QStringLiteral("t")), QByteArray("\xFF\xFE" "1\0;\0" "2\0x\0", 10));

    ASSERT_TRUE(file.Open(path, CFile::modeReadWrite));
    EXPECT_EQ(ReadUnicodeText(file), QStringLiteral("1;2x"));
    TruncateFile(file);
    WriteUnicodeText(file, QStringLiteral("z"));
    ASSERT_TRUE(file.Close());
    EXPECT_EQ(tree.ReadBytes(QStringLiteral("t")), QByteArray("\xFF\xFE" "z\0", 4));
}
