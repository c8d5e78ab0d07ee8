#include "app/quillbrookdlg.h"
#include "dirops/archive.h"
#include "dirops/dirlink.h"
#include "testsupport.h"
#include "windowdriver.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QString Msg(const char* format, std::initializer_list<QString> values = {})
{
    return FormatMessage(QString::fromUtf8(format), values);
}

QString LinkTarget(const QString& path)
{
    return QFileInfo(path).symLinkTarget();
}

} // namespace

TEST(LinkInput, EachTestInOrder)
{
    TempTree tree;
    tree.MakeDir(QStringLiteral("root"));
    tree.MakeDir(QStringLiteral("root/cat"));
    tree.MakeDir(QStringLiteral("outside"));
    tree.MakeDir(QStringLiteral("rootish")); // a sibling whose name begins with the root's
    tree.WriteBytes(QStringLiteral("file.txt"), "x");
    const QString root = tree.Path(QStringLiteral("root"));
    const QString outside = tree.Path(QStringLiteral("outside"));

    // Each test is reached only when the ones before it pass.
    EXPECT_EQ(CheckLinkInput(root, QString(), QString()), Msg("请选择外部目录！"));
    EXPECT_EQ(CheckLinkInput(root, tree.Path(QStringLiteral("missing")), QString()), Msg("外部目录异常！"));
    EXPECT_EQ(CheckLinkInput(root, tree.Path(QStringLiteral("root/cat")), QString()),
              Msg("外部目录不应该包含管理的根目录！"));
    EXPECT_EQ(CheckLinkInput(root, tree.Path(QStringLiteral("rootish")), QStringLiteral("/x")),
              Msg("外部目录不应该包含管理的根目录！"));
    EXPECT_EQ(CheckLinkInput(root, outside, QString()), Msg("管理目录需以‘/’开头！"));
    EXPECT_EQ(CheckLinkInput(root, outside, QStringLiteral("大类/小类")), Msg("管理目录需以‘/’开头！"));
    EXPECT_EQ(CheckLinkInput(root, outside, QStringLiteral("\\大类\\小类")), Msg("管理目录需以‘/’开头！"));
    EXPECT_EQ(CheckLinkInput(root, outside, QStringLiteral("/../escape")), Msg("管理目录不能包含“..”！"));
    EXPECT_EQ(CheckLinkInput(root, outside, QStringLiteral("/cat/../../escape")), Msg("管理目录不能包含“..”！"));
    EXPECT_EQ(CheckLinkInput(root, outside, QStringLiteral("/cat/..")), Msg("管理目录不能包含“..”！"));
    // A folder linked in earlier leads outside: a new link must not land in it.
    tree.MakeDir(QStringLiteral("outside/deeper"));
    tree.Symlink(outside, QStringLiteral("root/linked"));
    EXPECT_EQ(CheckLinkInput(root, outside, QStringLiteral("/linked/new")), Msg("管理目录不能位于根目录之外！"));
    EXPECT_EQ(CheckLinkInput(root, outside, QStringLiteral("/linked/deeper/new")), Msg("管理目录不能位于根目录之外！"));
    EXPECT_EQ(CheckLinkInput(root, outside, QStringLiteral("/linked")), QString()); // exists: told later
    EXPECT_EQ(CheckLinkInput(root, outside, QStringLiteral("/新类/new")), QString());
    // Only existence is asked of the outside path; dots inside a name are just a name.
    EXPECT_EQ(CheckLinkInput(root, tree.Path(QStringLiteral("file.txt")), QStringLiteral("/cat/..a")), QString());
    EXPECT_EQ(CheckLinkInput(root, outside, QStringLiteral("/大类/小类")), QString());
}

TEST(LinkCreate, ParentOneLevelOnlyAndExistingNames)
{
    RecordingMessagePort messages;
    TempTree tree;
    tree.MakeDir(QStringLiteral("root/cat"));
    tree.WriteBytes(QStringLiteral("outside/o.txt"), "o");
    const QString root = tree.Path(QStringLiteral("root"));
    const QString outside = tree.Path(QStringLiteral("outside"));

    // The missing parent is created, then the link inside it.
    EXPECT_TRUE(CreateLinkFolder(root, outside, QStringLiteral("/大类/新目录")));
    EXPECT_TRUE(messages.messages.isEmpty());
    EXPECT_TRUE(QFileInfo(tree.Path(QStringLiteral("root/大类"))).isDir());
    EXPECT_FALSE(QFileInfo(tree.Path(QStringLiteral("root/大类"))).isSymLink());
    EXPECT_EQ(LinkTarget(tree.Path(QStringLiteral("root/大类/新目录"))), outside);
    EXPECT_EQ(tree.ReadBytes(QStringLiteral("root/大类/新目录/o.txt")), QByteArray("o"));

    // Only one level is created: \甲\乙\丙 cannot be made.
    const QString deep = root + QStringLiteral("/甲/乙/丙");
    EXPECT_FALSE(CreateLinkFolder(root, outside, QStringLiteral("/甲/乙/丙")));
    EXPECT_EQ(messages.messages, QStringList { Msg("%s创建失败！", { deep }) });
    EXPECT_FALSE(tree.Exists(QStringLiteral("root/甲")));

    // An existing name, folder or link (even one whose target is gone), is not replaced.
    tree.Symlink(tree.Path(QStringLiteral("gone")), QStringLiteral("root/cat/dangling"));
    for (const char* name : { "/cat", "/大类/新目录", "/cat/dangling" }) {
        messages.messages.clear();
        const QString managed = QString::fromUtf8(name);
        EXPECT_FALSE(CreateLinkFolder(root, outside, managed)) << name;
        EXPECT_EQ(messages.messages, QStringList { Msg("%s已存在，请更改目录名称！", { root + managed }) });
    }
    EXPECT_FALSE(QFileInfo(tree.Path(QStringLiteral("root/cat"))).isSymLink());
}

TEST(LinkCreate, ShellCharactersAreJustNames)
{
    RecordingMessagePort messages;
    TempTree tree;
    const QString odd = QStringLiteral("a\" & touch pwned & \"b $(touch pwned2) `touch pwned3`; |x");
    tree.WriteBytes(QStringLiteral("out ") + odd + QStringLiteral("/o.txt"), "o");
    tree.MakeDir(QStringLiteral("root"));
    const QString root = tree.Path(QStringLiteral("root"));
    const QString external = tree.Path(QStringLiteral("out ") + odd);
    const QString managed = QStringLiteral("/cat \"&%PATH%&/") + odd;

    ASSERT_EQ(CheckLinkInput(root, external, managed), QString());
    EXPECT_TRUE(CreateLinkFolder(root, external, managed));
    EXPECT_TRUE(messages.messages.isEmpty());
    EXPECT_EQ(LinkTarget(root + managed), external);
    EXPECT_EQ(tree.ReadBytes(QStringLiteral("root") + managed + QStringLiteral("/o.txt")), QByteArray("o"));
    for (const char* stray : { "pwned", "pwned2", "pwned3" }) {
        EXPECT_FALSE(QFileInfo::exists(QDir::current().filePath(QString::fromLatin1(stray)))) << stray;
        EXPECT_FALSE(tree.Exists(QString::fromLatin1(stray))) << stray;
    }
}

TEST(LinkCreate, RelativeOutsidePathPointsWhereTheUserMeant)
{
    RecordingMessagePort messages;
    TempTree tree;
    tree.WriteBytes(QStringLiteral("outside/o.txt"), "o");
    tree.MakeDir(QStringLiteral("root"));
    const QString saved = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(tree.Root()));
    const bool made = CreateLinkFolder(tree.Path(QStringLiteral("root")), QStringLiteral("outside"),
                                       QStringLiteral("/linked"));
    QDir::setCurrent(saved);
    EXPECT_TRUE(made);
    EXPECT_EQ(tree.ReadBytes(QStringLiteral("root/linked/o.txt")), QByteArray("o"));
}

// An outside folder linked in and then removed (or unmounted): the link stays a row with empty
// texts, quietly; no command creates anything through it, and the archive passes it over.
TEST(LinkTargetGone, StaysARowAndNothingGoesThroughIt)
{
    TempTree outside;
    TempTree tree;
    RecordingMessagePort messages;
    outside.MakeDir(QStringLiteral("ext"));
    tree.Symlink(outside.Path(QStringLiteral("ext")), QStringLiteral("外"));
    tree.WriteText(QStringLiteral("管/Quillbrook.desc"), QStringLiteral("m"));
    tree.WriteBytes(QStringLiteral("管/a.txt"), "a");
    tree.Symlink(outside.Path(QStringLiteral("ext")), QStringLiteral("管/外"));
    ASSERT_TRUE(QDir(outside.Path(QStringLiteral("ext"))).removeRecursively());

    CQuillbrookDlg dlg;
    OpenWindow(dlg, tree.Root());
    const int row = dlg.GetItemText(0, 0) == QStringLiteral("/外") ? 0 : 1;
    ASSERT_EQ(dlg.GetItemText(row, 0), QStringLiteral("/外"));
    EXPECT_EQ(dlg.GetItemText(row, 1) + dlg.GetItemText(row, 2) + dlg.GetItemText(row, 3), QString());
    EXPECT_TRUE(messages.messages.isEmpty());

    dlg.SelectRow(row);
    messages.answers = { true }; // the first-level question
    AnswerNextModal([](QWidget* modal) { modal->findChild<QPushButton*>(QStringLiteral("okButton"))->click(); });
    dlg.OnSetDescAndTimer();
    WaitUntilIdle(dlg);
    dlg.OnArchivePrevYear();
    WaitUntilIdle(dlg);
    const QString link = tree.Path(QStringLiteral("外"));
    EXPECT_EQ(messages.messages, (QStringList { link + QStringLiteral("/Quillbrook.desc创建失败！"),
                                                link + QStringLiteral("/Quillbrook.Timer创建失败，请检查目录是否有写权限！"),
                                                link + QStringLiteral("没有被管理，不能归档！") }));
    EXPECT_TRUE(ArchiveToYearFolder(tree.Path(QStringLiteral("管")), 2025));
    EXPECT_EQ(QDir(tree.Path(QStringLiteral("管/2025"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
              QStringList { QStringLiteral("a.txt") });
    EXPECT_TRUE(QDir(outside.Root()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System));
}
