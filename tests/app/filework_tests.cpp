// The window while worker threads read the tree: it answers and ticks, shows that it is loading,
// runs no pass until the load is done, and a reload during a load begins it again.
#include "app/quillbrookdlg.h"
#include "platform/localtime.h"
#include "platform/programstate.h"
#include "reminder/reminder.h"
#include "schedule/schedule.h"
#include "store/scan.h"
#include "testsupport.h"
#include "windowdriver.h"

#include <QApplication>
#include <QTimer>
#include <gtest/gtest.h>

#include <future>

namespace {

qint64 s_now = 0;
qint64 TestNow() { return s_now; }

} // namespace

TEST(FileWork, ATickDuringALoadRunsNoPassAndAReloadDuringItBeginsItAgain)
{
    ScopedTimeZone zone("Asia/Shanghai");
    TempTree tree;
    RecordingMessagePort messages;
    RecordingShellPort shell;
    const QString due = QStringLiteral("1;10;0;8\r\n2026-12-8,10,0\r\n-1\r\n0");
    for (int i = 0; i < 40; ++i)
        tree.MakeDir(QStringLiteral("类%1/夹%2").arg(i % 4).arg(i));
    tree.WriteText(QStringLiteral("类0/夹0/") + kTimerFileName, due);
    ASSERT_TRUE(MakeLocalTime(2026, 12, 8, 10, 0, 0, s_now));
    SetTimeSource(&TestNow);
    CQuillbrookDlg dlg;
    OpenWindow(dlg, tree.Root());
    dlg.Timer().stop();
    g_nLastMinute = -1;

    // A damaged file holds its worker in the second look until the test lets it go.
    const QString damaged = QStringLiteral("类3/夹7/") + kTimerFileName;
    tree.WriteText(damaged, QStringLiteral("1;10;0;8"));
    std::promise<void> release;
    SetDamageRecheckPause([held = release.get_future().share()] { held.wait(); });
    bool loading = false, busyCursor = false;
    QTimer::singleShot(0, [&] {
        loading = dlg.IsLoading();
        busyCursor = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::BusyCursor;
        release.set_value(); // the load cannot end before this returns to the event loop
        dlg.OnTimer();
        dlg.OnReload();
    });
    dlg.OnReload();
    WaitUntilIdle(dlg);
    SetDamageRecheckPause({});

    EXPECT_TRUE(loading);
    EXPECT_TRUE(busyCursor);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(dlg.IsLoading());
    EXPECT_TRUE(shell.opened.isEmpty());
    EXPECT_EQ(g_nLastMinute, -1);
    // The dropped load removed the file: its message is shown once, and the new load sees no file.
    EXPECT_EQ(messages.messages, QStringList { QStringLiteral("获取定时信息错误，文件") + tree.Path(damaged)
                                               + QStringLiteral("内容异常，已自动清理！") });
    EXPECT_FALSE(tree.Exists(damaged));
    // Every row once, in the scan's order, with its texts; nothing selected.
    QStringList expected;
    for (const QString& path : CollectRowPaths(tree.Root()))
        expected.append(path.mid(tree.Root().size()));
    EXPECT_EQ(Column0(dlg), expected);
    EXPECT_EQ(dlg.GetItemText(int(expected.indexOf(QStringLiteral("/类0/夹0"))), 2), QStringLiteral("每月8日10点0分触发"));
    EXPECT_EQ(dlg.GetSelectionMark(), -1);

    // The first tick after the load runs the pass.
    Tick(dlg);
    EXPECT_EQ(shell.opened, QStringList { tree.Path(QStringLiteral("类0/夹0")) });
    EXPECT_TRUE(dlg.IsIdle());
    SetTimeSource(nullptr);
}

// While a worker waits on one file, the rows read before it still go into the list on time.
TEST(FileWork, RowsBeforeAFileThatHoldsItsWorkerAreShownMeanwhile)
{
    TempTree tree;
    RecordingMessagePort messages;
    for (int i = 0; i < 40; ++i)
        tree.MakeDir(QStringLiteral("类%1/夹%2").arg(i % 4).arg(i));
    CQuillbrookDlg dlg;
    OpenWindow(dlg, tree.Root());
    dlg.Timer().stop();
    const QStringList paths = CollectRowPaths(tree.Root());
    const QString held = paths.last().mid(tree.Root().size() + 1) + u'/' + kTimerFileName;
    tree.WriteText(held, QStringLiteral("1;10;0;8")); // damaged: its worker looks again, and waits

    std::promise<void> release;
    SetDamageRecheckPause([waiting = release.get_future().share()] { waiting.wait(); });
    qsizetype shownWhileHeld = -1;
    QTimer::singleShot(600, [&] {
        shownWhileHeld = dlg.GetItemCount();
        release.set_value();
    });
    dlg.OnReload();
    WaitUntilIdle(dlg);
    SetDamageRecheckPause({});

    EXPECT_EQ(shownWhileHeld, paths.size() - 1);
    EXPECT_EQ(dlg.GetItemCount(), paths.size());
    EXPECT_EQ(messages.messages.size(), 1);
}
