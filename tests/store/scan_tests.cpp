#include "app/quillbrookdlg.h"
#include "faultfilesystem.h"
#include "platform/fileattr.h"
#include "platform/programstate.h"
#include "store/desc.h"
#include "store/scan.h"
#include "testsupport.h"
#include "windowdriver.h"

#include <QDirIterator>
#include <QFile>
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

namespace {

// Names of a folder's sub-folders in the order the file system gives them.
QStringList EnumerationOrder(const QString& folder)
{
    QStringList names;
    QDirIterator it(folder, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        it.next();
        names.append(it.fileName());
    }
    return names;
}

} // namespace

// Started in the file system's top folder (here a child process whose "/" is a temporary tree),
// rows read /X and /X/Y, as a drive's top level gives \X, and /X gets the first-level question.
TEST(Scan, TopFolderOfTheFileSystemAsRoot)
{
    EXPECT_EQ(JoinPath(QStringLiteral("/"), QStringLiteral("X")), QStringLiteral("/X"));
    TempTree tree;
    tree.MakeDir(QStringLiteral("A"));
    tree.MakeDir(QStringLiteral("B/B1"));
    CQuillbrookDlg dlg;
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    if (::fork() == 0) {
        RecordingMessagePort messages; // the question is answered No
        if (::chroot(QFile::encodeName(tree.Root()).constData()) != 0)
            ::_exit(77);
        OpenWindow(dlg, QStringLiteral("/"));
        QStringList rows = Column0(dlg);
        dlg.SelectRow(rows.indexOf(QStringLiteral("/A")));
        dlg.OnSetDescAndTimer();
        WaitUntilIdle(dlg);
        rows.sort();
        const QByteArray out = (rows.join(u' ') + u' ' + QString::number(messages.questions.size())).toUtf8();
        ::_exit(::write(fds[1], out.constData(), out.size()) == out.size() ? 0 : 1);
    }
    ::close(fds[1]);
    char buffer[256];
    const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
    ::close(fds[0]);
    int status = 0;
    ::wait(&status);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "this system does not let a test process change its top folder";
    EXPECT_EQ(QString::fromUtf8(buffer, qMax<ssize_t>(n, 0)), QStringLiteral("/A /B/B1 1"));
}

TEST(Scan, FirstLevelRulesGiveTheRowsInEnumerationOrder)
{
    TempTree tree;
    RecordingMessagePort messages;
    tree.MakeDir(QStringLiteral("A/sub")); // managed: stands for itself
    tree.WriteText(QStringLiteral("A/") + kDescFileName, QStringLiteral("甲\r\n乙"));
    tree.MakeDir(QStringLiteral("B/B1/deeper")); // below the second level: never a row
    tree.MakeDir(QStringLiteral("B/B2"));
    tree.WriteText(QStringLiteral("B/B2/") + kDescFileName, QStringLiteral("二"));
    tree.MakeDir(QStringLiteral("D"));
    tree.WriteBytes(QStringLiteral("F/only-a-file.txt"), "x"); // files only: a folder without sub-folders
    tree.MakeDir(QStringLiteral(".hidden"));
    tree.WriteBytes(QStringLiteral("root-file.txt"), "ignored");

    QStringList expected;
    for (const QString& name : EnumerationOrder(tree.Root())) {
        if (name == QStringLiteral("B")) {
            for (const QString& sub : EnumerationOrder(tree.Path(name)))
                expected.append(QStringLiteral("/B/") + sub);
        } else {
            expected.append(u'/' + name);
        }
    }
    ASSERT_EQ(expected.size(), 6);

    CQuillbrookDlg dlg;
    OpenWindow(dlg, tree.Root());
    EXPECT_EQ(Column0(dlg), expected);
    const int rowA = expected.indexOf(QStringLiteral("/A"));
    EXPECT_EQ(dlg.GetItemText(rowA, 1), QStringLiteral("甲\r\n乙"));
    EXPECT_EQ(dlg.GetItemText(expected.indexOf(QStringLiteral("/B/B2")), 1), QStringLiteral("二"));
    for (const QString& unmanaged : { QStringLiteral("/B/B1"), QStringLiteral("/D"), QStringLiteral("/F") })
        for (int column = 1; column < 4; ++column)
            EXPECT_TRUE(dlg.GetItemText(expected.indexOf(unmanaged), column).isEmpty());
    EXPECT_EQ(dlg.RowFolder(rowA), tree.Path(QStringLiteral("A")));
    EXPECT_EQ(dlg.GetSelectionMark(), -1);
    EXPECT_TRUE(messages.messages.isEmpty());
}

TEST(Scan, LinksToFoldersAreListedAtEitherLevel)
{
    TempTree outside;
    outside.MakeDir(QStringLiteral("ext/inner"));
    TempTree tree;
    tree.Symlink(outside.Path(QStringLiteral("ext")), QStringLiteral("L1"));
    tree.MakeDir(QStringLiteral("C"));
    tree.Symlink(outside.Path(QStringLiteral("ext")), QStringLiteral("C/L2"));
    tree.Symlink(tree.Path(QStringLiteral("missing")), QStringLiteral("C/dangling"));

    QStringList rows = CollectRowPaths(tree.Root());
    rows.sort();
    EXPECT_EQ(rows, (QStringList { tree.Path(QStringLiteral("C/L2")), tree.Path(QStringLiteral("C/dangling")),
                                   tree.Path(QStringLiteral("L1/inner")) }));
}

TEST(Scan, EnumeratorsTakeFoldersOrFilesAndAppend)
{
    TempTree tree;
    tree.MakeDir(QStringLiteral("d1"));
    tree.WriteBytes(QStringLiteral("f1"), "x");
    QStringList names { QStringLiteral("kept") };
    ListSubDirs(tree.Root(), names);
    EXPECT_EQ(names, (QStringList { QStringLiteral("kept"), QStringLiteral("d1") }));
    names.clear();
    ListDirFiles(tree.Root(), names);
    EXPECT_EQ(names, QStringList { QStringLiteral("f1") });
    names.clear();
    ListSubDirs(tree.Path(QStringLiteral("missing")), names);
    ListSubDirs(tree.Path(QStringLiteral("f1")), names);
    EXPECT_TRUE(names.isEmpty());
}

TEST(Scan, EmptyOrUnreadableRootGivesAnEmptyList)
{
    TempTree tree;
    RecordingMessagePort messages;
    CQuillbrookDlg dlg;
    OpenWindow(dlg, tree.Root());
    EXPECT_EQ(dlg.GetItemCount(), 0);
    g_strRootDir = tree.Path(QStringLiteral("missing"));
    dlg.LoadDirList();
    WaitUntilIdle(dlg);
    EXPECT_EQ(dlg.GetItemCount(), 0);
    EXPECT_TRUE(messages.messages.isEmpty());
}

TEST(Scan, AnAttributeFailureEndsThatEnumerationOnlyWithOneMessage)
{
    TempTree tree;
    RecordingMessagePort messages;
    tree.MakeDir(QStringLiteral("C/bad"));
    tree.MakeDir(QStringLiteral("C/good"));
    tree.MakeDir(QStringLiteral("E"));
    QStringList rows;
    {
        FaultFileSystem fs;
        fs.FailOnPath(FsCall::Attributes, QStringLiteral("bad"));
        rows = CollectRowPaths(tree.Root());
    }

    EXPECT_EQ(messages.messages, QStringList { tree.Path(QStringLiteral("C/bad")) + QStringLiteral("获取属性异常！") });
    // The second level keeps what came before the failing entry; the first level goes on.
    EXPECT_TRUE(rows.contains(tree.Path(QStringLiteral("E"))));
    EXPECT_FALSE(rows.contains(tree.Path(QStringLiteral("C/bad"))));
    QStringList order;
    ListSubDirs(tree.Path(QStringLiteral("C")), order);
    const bool goodFirst = order.indexOf(QStringLiteral("good")) < order.indexOf(QStringLiteral("bad"));
    EXPECT_EQ(rows.contains(tree.Path(QStringLiteral("C/good"))), goodFirst);
    EXPECT_EQ(rows.contains(tree.Path(QStringLiteral("C"))), !goodFirst); // nothing found: C stands alone

    // A link that loops exists as an entry: no message, not a folder.
    tree.Symlink(tree.Path(QStringLiteral("loop")), QStringLiteral("loop"));
    messages.messages.clear();
    QStringList names;
    ListSubDirs(tree.Root(), names);
    EXPECT_TRUE(messages.messages.isEmpty());
    EXPECT_FALSE(names.contains(QStringLiteral("loop")));
}

TEST(Scan, ALoadMessageSeesEveryRowAppendedSoFar)
{
    // Rows go into the list in batches; a message box shown mid-load runs the event loop (and the
    // tick), which must still find the rows before it complete and its own row with only its path.
    TempTree tree;
    RecordingMessagePort messages;
    for (const char* name : { "A", "B", "C", "D" }) {
        tree.MakeDir(QString::fromLatin1(name));
        tree.WriteText(QString::fromLatin1(name) + QStringLiteral("/Quillbrook.desc"), QStringLiteral("说明"));
    }
    CQuillbrookDlg dlg;
    OpenWindow(dlg, tree.Root());
    dlg.Timer().stop();
    const QStringList order = Column0(dlg);
    ASSERT_EQ(order.size(), 4);
    const int damaged = 2;
    tree.WriteText(order[damaged].mid(1) + QStringLiteral("/Quillbrook.Timer"), QStringLiteral("1;9;0;1"));

    QStringList seen;
    messages.onMessage = [&](const QString&) {
        for (int row = 0; row < dlg.GetItemCount(); ++row)
            seen.append(dlg.GetItemText(row, 0) + u'|' + dlg.GetItemText(row, 1));
    };
    dlg.LoadDirList();
    WaitUntilIdle(dlg);
    ASSERT_EQ(messages.messages.size(), 1);
    EXPECT_EQ(seen, (QStringList { order[0] + QStringLiteral("|说明"), order[1] + QStringLiteral("|说明"),
                                   order[damaged] + u'|' }));
    EXPECT_EQ(Column0(dlg), order);
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(dlg.GetItemText(row, 1), QStringLiteral("说明")) << row;

    // The port installed before the load is the one in place after it.
    messages.onMessage = nullptr;
    ShowMessage(QStringLiteral("x"));
    EXPECT_EQ(messages.messages.size(), 2);
}
