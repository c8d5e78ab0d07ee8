// The window over time: what each request does while other file work runs, and a folder on a share
// that stopped answering.
#include "app/filework.h"
#include "app/menus.h"
#include "app/quillbrookdlg.h"
#include "app/resource.h"
#include "faultfilesystem.h"
#include "platform/localtime.h"
#include "platform/programstate.h"
#include "schedule/schedule.h"
#include "store/desc.h"
#include "testsupport.h"
#include "windowdriver.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

namespace {

qint64 s_now = 0;
qint64 TestNow() { return s_now; }

const QString kDue = QStringLiteral("1;10;0;8\r\n2026-12-8,10,0\r\n-1\r\n0");
const QString kLater = QStringLiteral("1;10;0;9\r\n2027-1-9,10,0\r\n-1\r\n0");

void Folder(const TempTree& tree, const QString& relative, const QString& schedule)
{
    tree.MakeDir(relative);
    tree.WriteText(relative + u'/' + kTimerFileName, schedule);
}

// Milliseconds a call takes.
template <typename F>
qint64 Timed(F&& call)
{
    QElapsedTimer clock;
    clock.start();
    call();
    return clock.elapsed();
}

class Reentrancy : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(MakeLocalTime(2026, 12, 9, 9, 0, 0, s_now));
        SetTimeSource(&TestNow);
    }
    void TearDown() override { SetTimeSource(nullptr); }
    void NextMinute() { s_now += 61; }

    ScopedTimeZone zone { "Asia/Shanghai" };
    TempTree tree;
    RecordingMessagePort messages;
    RecordingShellPort shell;
};

} // namespace

TEST_F(Reentrancy, CloseMenusArchivesAndReloadsEachWaitForWhatTheyMust)
{
    Folder(tree, QStringLiteral("类/A"), kLater);
    Folder(tree, QStringLiteral("类/B"), kLater);
    tree.WriteBytes(QStringLiteral("类/A/文档.txt"), "x");
    tree.WriteText(QStringLiteral("类/A/") + kDescFileName, QStringLiteral("合同"));
    CQuillbrookDlg dlg;
    OpenWindow(dlg, tree.Root());
    dlg.Timer().stop();
    const int a = FindRow(dlg, QStringLiteral("/类/A")), b = FindRow(dlg, QStringLiteral("/类/B"));
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);

    // A tick fires B while A's menu is open: the menu's command still acts on A.
    dlg.SelectRow(a);
    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(), dlg.ListControl()->mapToGlobal(QPoint()));
    QApplication::sendEvent(dlg.ListControl(), &key);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    Folder(tree, QStringLiteral("类/B"), kDue);
    NextMinute();
    Tick(dlg);
    ASSERT_EQ(dlg.GetSelectionMark(), b);
    for (QAction* action : menu->actions())
        if (CommandOf(action) == ID_PAUSE_TIMER)
            action->trigger();
    EXPECT_EQ(messages.messages.last(), tree.Path(QStringLiteral("类/A")) + QStringLiteral("停止了定时！"));
    EXPECT_TRUE(tree.ReadBytes(QStringLiteral("类/A/") + kTimerFileName).contains(Utf16File(QStringLiteral("\r\n0\r\n")).mid(2)));
    EXPECT_TRUE(tree.ReadBytes(QStringLiteral("类/B/") + kTimerFileName).contains(Utf16File(QStringLiteral("\r\n-1\r\n")).mid(2)));
    menu->close();

    // During a copy the window takes no command, a reload waits for it, and so does the pass.
    FaultFileSystem fs;
    fs.BlockUnder(tree.Path(QStringLiteral("类/A")));
    Folder(tree, QStringLiteral("类/B"), kDue);
    messages.messages.clear();
    dlg.SelectRow(a);
    dlg.OnCommand(ID_ARCHIVE_PREV_YEAR);
    ASSERT_TRUE(QTest::qWaitFor([&] { return fs.Blocked() > 0; }, 5000));
    dlg.OnCommand(ID_ARCHIVE_PREV_YEAR); // a second copy is not begun
    dlg.OnCommand(ID_RELOAD);
    NextMinute();
    dlg.OnTimer();
    QTest::qWait(50);
    EXPECT_EQ(dlg.Work().GetState(), FileWorkController::State::Archiving);
    EXPECT_EQ(dlg.GetItemCount(), 2); // not reloaded yet
    EXPECT_TRUE(shell.opened.size() == 1); // B fired once before; no pass now
    fs.Release();
    ASSERT_TRUE(WaitUntilIdle(dlg));
    EXPECT_EQ(messages.messages, QStringList { tree.Path(QStringLiteral("类/A")) + QStringLiteral("成功归档到年份目录！") });
    EXPECT_EQ(dlg.GetSelectionMark(), -1); // the reload came after the copy
    NextMinute();
    Tick(dlg);
    EXPECT_EQ(shell.opened.size(), 2); // the first tick after runs the pass

    // While a reload has not given the rows back, no folder command acts on one.
    dlg.SelectRow(FindRow(dlg, QStringLiteral("/类/A")));
    fs.BlockUnder(tree.Path(QStringLiteral("类/B")));
    dlg.OnReload();
    QMenu* folders = dlg.MenuBarControl()->actions().at(1)->menu();
    dlg.OnInitMenuPopup(folders);
    for (QAction* action : folders->actions())
        EXPECT_FALSE(action->isEnabled() && CommandOf(action) != 0);
    dlg.OnCommand(ID_OPEN_DIR);
    EXPECT_EQ(shell.opened.size(), 2);

    // Closed while the load is stuck: it returns at once and nothing more is said.
    Folder(tree, QStringLiteral("类/B"), QStringLiteral("damaged"));
    messages.messages.clear();
    EXPECT_LT(Timed([&] { dlg.reject(); }), 200);
    fs.Release();
    QTest::qWait(300);
    EXPECT_TRUE(messages.messages.isEmpty());
}

TEST_F(Reentrancy, AFolderOnAShareThatStoppedAnsweringHoldsUpNoOther)
{
    Folder(tree, QStringLiteral("类/共享"), kLater);
    Folder(tree, QStringLiteral("类/本地"), kLater);
    FaultFileSystem fs;
    CQuillbrookDlg dlg;
    OpenWindow(dlg, tree.Root());
    dlg.Timer().stop();
    fs.BlockUnder(tree.Path(QStringLiteral("类/共享")));

    // The share's folder is passed over; the local one fires in the same pass.
    Folder(tree, QStringLiteral("类/本地"), kDue);
    NextMinute();
    QElapsedTimer clock;
    clock.start();
    Tick(dlg);
    EXPECT_LT(clock.elapsed(), kStuckItemMs + 1000);
    EXPECT_EQ(shell.opened, QStringList { tree.Path(QStringLiteral("类/本地")) });

    // Reloads and the close return at once; the reload ends with the share's row by its path.
    EXPECT_LT(Timed([&] { dlg.OnReload(); }), 200);
    EXPECT_LT(Timed([&] { dlg.OnReload(); }), 200);
    ASSERT_TRUE(WaitUntilIdle(dlg));
    EXPECT_GE(FindRow(dlg, QStringLiteral("/类/共享")), 0);
    EXPECT_LT(Timed([&] { dlg.reject(); }), 200);
    EXPECT_TRUE(messages.messages.isEmpty());
}
