#include "app/filework.h"
#include "app/quillbrookdlg.h"
#include "platform/localtime.h"
#include "platform/programstate.h"
#include "reminder/reminder.h"
#include "schedule/schedule.h"
#include "store/desc.h"
#include "testsupport.h"
#include "windowdriver.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace {

qint64 s_now = 0;
qint64 TestNow() { return s_now; }

qint64 At(int year, int month, int day, int hour, int minute, int second = 0)
{
    qint64 t = 0;
    EXPECT_TRUE(MakeLocalTime(year, month, day, hour, minute, second, t));
    return t;
}

// A managed folder with a schedule file as the program writes it.
void Scheduled(const TempTree& tree, const QString& relative, const QString& line1, const QString& line2,
               int count, int weekend = 0)
{
    tree.MakeDir(relative);
    tree.WriteText(relative + u'/' + kDescFileName, relative);
    tree.WriteText(relative + u'/' + kTimerFileName, line1 + QStringLiteral("\r\n") + line2 + QStringLiteral("\r\n")
                                                         + QString::number(count) + QStringLiteral("\r\n")
                                                         + QString::number(weekend));
}

// The main window over a tree, with the clock, the ports and the alert state under the test's control.
class ReminderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetTimeSource(&TestNow);
    }
    void TearDown() override { SetTimeSource(nullptr); }

    void Start(qint64 now)
    {
        s_now = now;
        OpenWindow(dlg, tree.Root());
        dlg.Timer().stop(); // ticks come from the test
    }
    void Tick(qint64 now)
    {
        s_now = now;
        ::Tick(dlg);
    }
    int Row(const QString& relative) const
    {
        for (int row = 0; row < dlg.GetItemCount(); ++row)
            if (dlg.GetItemText(row, 0) == u'/' + relative)
                return row;
        return -1;
    }
    QString Folder(const QString& relative) const { return tree.Path(relative); }

    ScopedTimeZone zone { "Asia/Shanghai" };
    TempTree tree;
    RecordingMessagePort messages;
    RecordingShellPort shell;
    CQuillbrookDlg dlg;
};

} // namespace

TEST_F(ReminderTest, PassesRunOnTheFirstTickOnEachNewMinuteAndEveryTickDuringAnAlert)
{
    Scheduled(tree, QStringLiteral("类/A"), QStringLiteral("1;10;0;8"), QStringLiteral("2026-12-8,10,0"), -1);
    Scheduled(tree, QStringLiteral("类/B"), QStringLiteral("1;10;0;8"), QStringLiteral("2026-12-8,10,0"), 0);
    Scheduled(tree, QStringLiteral("类/C"), QStringLiteral("1;10;0;9"), QStringLiteral("2026-12-9,10,0"), 5);
    Start(At(2026, 12, 8, 10, 0, 5));
    ASSERT_EQ(dlg.GetItemCount(), 3);

    Tick(At(2026, 12, 8, 10, 0, 5)); // the first tick always runs a pass
    EXPECT_EQ(shell.opened, QStringList { Folder(QStringLiteral("类/A")) });
    EXPECT_EQ(dlg.GetItemText(Row(QStringLiteral("类/A")), 2), QStringLiteral("每月8日10点0分触发"));
    EXPECT_EQ(dlg.GetItemText(Row(QStringLiteral("类/A")), 3), QStringLiteral("2027-1-8 10:00"));
    EXPECT_EQ(dlg.GetSelectionMark(), Row(QStringLiteral("类/A")));
    EXPECT_FALSE(dlg.ClearAlertButton()->isHidden());
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("▶ Quillbrook2.0.5 ◀")); // flashed on the firing tick
    EXPECT_EQ(g_nAlertTicks, 2);

    Tick(At(2026, 12, 8, 10, 0, 6)); // alert: a pass every tick, caption restored on even counts
    EXPECT_EQ(dlg.windowTitle(), kMainCaption);
    EXPECT_EQ(shell.opened.size(), 1); // A moved on; B is stopped and never fires

    dlg.OnClearAlert();
    EXPECT_TRUE(dlg.ClearAlertButton()->isHidden());
    EXPECT_EQ(g_nAlertTicks, 0);

    // C falls due within the same minute: no pass until the minute changes.
    Scheduled(tree, QStringLiteral("类/C"), QStringLiteral("1;10;0;9"), QStringLiteral("2026-12-8,10,0"), 5);
    Tick(At(2026, 12, 8, 10, 0, 40));
    EXPECT_EQ(shell.opened.size(), 1);
    EXPECT_EQ(dlg.windowTitle(), kMainCaption);
    Tick(At(2026, 12, 8, 10, 1, 0));
    EXPECT_EQ(shell.opened.last(), Folder(QStringLiteral("类/C")));
    EXPECT_EQ(dlg.GetItemText(Row(QStringLiteral("类/C")), 3), QStringLiteral("2026-12-9 10:00"));
    EXPECT_EQ(tree.ReadBytes(QStringLiteral("类/C/") + kTimerFileName),
              Utf16File(QStringLiteral("1;10;0;9\r\n2026-12-9,10,0\r\n4\r\n0")));
    EXPECT_FALSE(dlg.ClearAlertButton()->isHidden()); // a later firing shows the button again
    EXPECT_TRUE(messages.messages.isEmpty());
    EXPECT_TRUE(dlg.IsIdle()); // the pass is over: the next tick may run one
}

TEST_F(ReminderTest, TwoDueFoldersFireInListOrderAndTheLastStaysSelected)
{
    Scheduled(tree, QStringLiteral("类/一"), QStringLiteral("2;9;0;2026-12-1,1"), QStringLiteral("2026-12-8,9,0"), -1);
    Scheduled(tree, QStringLiteral("类/二"), QStringLiteral("2;9;0;2026-12-1,1"), QStringLiteral("2026-12-8,9,0"), -1);
    tree.WriteBytes(QStringLiteral("类/二/auto.bat"), "pwd > ran.txt\n");
    tree.MakeDir(QStringLiteral("类/无定时"));
    Scheduled(tree, QStringLiteral("类/无方案"), QStringLiteral("-1;0;0;"), QStringLiteral("0"), 0);
    Start(At(2026, 12, 8, 9, 30));

    Tick(At(2026, 12, 8, 9, 30));
    const int first = Row(QStringLiteral("类/一"));
    const int second = Row(QStringLiteral("类/二"));
    const QString firstFolder = Folder(QStringLiteral("类/一"));
    const QString secondFolder = Folder(QStringLiteral("类/二"));
    EXPECT_EQ(shell.opened, first < second ? (QStringList { firstFolder, secondFolder })
                                           : (QStringList { secondFolder, firstFolder }));
    EXPECT_EQ(dlg.GetSelectionMark(), qMax(first, second));
    // Only the folder with an auto.bat starts one, in that folder.
    EXPECT_EQ(shell.started, QStringList { secondFolder + QStringLiteral("/auto.bat") });
    EXPECT_EQ(shell.startedIn, QStringList { secondFolder });
    for (int row : { first, second })
        EXPECT_EQ(dlg.GetItemText(row, 3), QStringLiteral("2026-12-9 09:00"));
    EXPECT_TRUE(messages.messages.isEmpty()); // rows without a schedule fire nothing and say nothing
}

TEST_F(ReminderTest, TheFolderUnderEditIsPassedOverUntilTheEditEnds)
{
    Scheduled(tree, QStringLiteral("类/A"), QStringLiteral("1;10;0;8"), QStringLiteral("2026-12-8,10,0"), 1);
    Start(At(2026, 12, 8, 10, 0));
    g_strEditingDir = QStringLiteral("/类/A");
    Tick(At(2026, 12, 8, 10, 0));
    EXPECT_TRUE(shell.opened.isEmpty());
    g_strEditingDir.clear();
    Tick(At(2026, 12, 8, 10, 1));
    EXPECT_EQ(shell.opened.size(), 1);
    // Its count was 1: it has fired once and is stopped now.
    EXPECT_EQ(dlg.GetItemText(Row(QStringLiteral("类/A")), 3), QStringLiteral("已停止"));
    for (int minute = 2; minute < 5; ++minute)
        Tick(At(2027, 3, 8, 10, minute));
    EXPECT_EQ(shell.opened.size(), 1);
}

TEST_F(ReminderTest, NoSecondPassBeginsWhileAMessageOfThePassIsOpen)
{
    tree.MakeDir(QStringLiteral("类/A"));
    tree.WriteText(QStringLiteral("类/A/") + kTimerFileName, QStringLiteral("1;10;0;8\r\n2026-12-8,10,0"));
    Start(At(2026, 12, 8, 10, 0));
    // Loading the list met the damaged file first and removed it; put it back for the pass.
    messages.messages.clear();
    tree.WriteText(QStringLiteral("类/A/") + kTimerFileName, QStringLiteral("1;10;0;8\r\n2026-12-8,10,0"));
    dlg.Timer().start();
    bool secondPassDuringMessage = true;
    messages.onMessage = [&](const QString&) { secondPassDuringMessage = dlg.Work().RequestPass(g_tNow); };
    Tick(At(2026, 12, 8, 10, 0));
    EXPECT_EQ(messages.messages,
              QStringList { QStringLiteral("处理定时错误，文件") + Folder(QStringLiteral("类/A/")) + kTimerFileName
                            + QStringLiteral("内容异常，已自动清理！") });
    EXPECT_FALSE(secondPassDuringMessage);
    EXPECT_TRUE(dlg.Timer().isActive());
    EXPECT_TRUE(shell.opened.isEmpty());
    EXPECT_FALSE(tree.Exists(QStringLiteral("类/A/") + kTimerFileName));
}

TEST_F(ReminderTest, MissedTriggersFireOnceAtTheFirstPassAfterStart)
{
    Scheduled(tree, QStringLiteral("类/A"), QStringLiteral("2;8;0;2026-12-1,1"), QStringLiteral("2026-12-5,8,0"), 10);
    Start(At(2026, 12, 8, 10, 0));
    Tick(At(2026, 12, 8, 10, 0));
    Tick(At(2026, 12, 8, 10, 0, 1));
    Tick(At(2026, 12, 8, 10, 0, 2));
    EXPECT_EQ(shell.opened.size(), 1);
    EXPECT_EQ(tree.ReadBytes(QStringLiteral("类/A/") + kTimerFileName),
              Utf16File(QStringLiteral("2;8;0;2026-12-1,1\r\n2026-12-9,8,0\r\n9\r\n0")));
}

namespace {

// Runs the settings command on a row; inside the open dialog, ticks at duringEdit and then presses
// the button named buttonName.
void EditRowWhileTicking(CQuillbrookDlg& dlg, int row, const std::function<void()>& duringEdit,
                         const QString& buttonName)
{
    dlg.SelectRow(row);
    AnswerNextModal([&](QWidget* modal) {
        duringEdit();
        modal->findChild<QPushButton*>(buttonName)->click();
    });
    dlg.OnSetDescAndTimer();
    WaitUntilIdle(dlg);
}

} // namespace

TEST_F(ReminderTest, ARealEditHoldsTheFolderBackAndCancelOrOkDecideWhatFollows)
{
    Scheduled(tree, QStringLiteral("类/A"), QStringLiteral("1;10;0;8"), QStringLiteral("2026-12-8,10,0"), -1);
    Start(At(2026, 12, 8, 10, 0));
    const int row = Row(QStringLiteral("类/A"));

    // Cancelled: it did not fire during the edit, and fires at the next pass.
    EditRowWhileTicking(dlg, row, [&] { Tick(At(2026, 12, 8, 10, 0)); }, QStringLiteral("cancelButton"));
    EXPECT_TRUE(shell.opened.isEmpty());
    EXPECT_TRUE(g_strEditingDir.isEmpty());
    Tick(At(2026, 12, 8, 10, 1));
    EXPECT_EQ(shell.opened.size(), 1);

    // Confirmed: the trigger missed during the edit is not raised; the stored one lies after now.
    dlg.OnClearAlert();
    Scheduled(tree, QStringLiteral("类/A"), QStringLiteral("1;10;0;8"), QStringLiteral("2026-12-8,10,0"), -1);
    EditRowWhileTicking(dlg, row, [&] { Tick(At(2026, 12, 8, 10, 2)); }, QStringLiteral("okButton"));
    EXPECT_EQ(shell.opened.size(), 1);
    EXPECT_EQ(dlg.GetItemText(row, 3), QStringLiteral("2027-1-8 10:00"));
    Tick(At(2026, 12, 8, 10, 3));
    EXPECT_EQ(shell.opened.size(), 1);
    EXPECT_TRUE(messages.messages.isEmpty());
}

TEST_F(ReminderTest, AFileThatCannotBeReadIsReportedOnceWhileItStaysSoUntilTheListIsReloaded)
{
    Scheduled(tree, QStringLiteral("类/A"), QStringLiteral("1;10;0;8"), QStringLiteral("2026-12-8,10,0"), -1);
    tree.MakeDir(QStringLiteral("类/B/") + kTimerFileName); // a folder where the file should be
    const QString unreadable = QStringLiteral("处理定时错误，") + Folder(QStringLiteral("类/B/")) + kTimerFileName
                               + QStringLiteral("打开失败！");
    const qint64 t0 = At(2026, 12, 8, 10, 0);
    Start(t0);
    EXPECT_EQ(messages.messages, QStringList { unreadable }); // the load says it once for itself
    messages.messages.clear();

    // A fires and its alert stands: a pass every second for 20 seconds, one message.
    for (int second = 0; second < 20; ++second)
        Tick(t0 + second);
    EXPECT_FALSE(dlg.ClearAlertButton()->isHidden());
    EXPECT_EQ(messages.messages, QStringList { unreadable });

    // Still the same condition minutes later: nothing more.
    Tick(t0 + 90);
    Tick(t0 + 200);
    EXPECT_EQ(messages.messages.size(), 1);

    // A reload forgets what was said: the next pass says it once more.
    dlg.OnReload();
    WaitUntilIdle(dlg);
    messages.messages.clear();
    Tick(t0 + 201);
    Tick(t0 + 202);
    EXPECT_EQ(messages.messages, QStringList { unreadable });

    // A damaged file removed is said at once, even within the minute: a deletion is never silent.
    SetDamageRecheckPause([] {});
    ASSERT_TRUE(QDir(Folder(QStringLiteral("类/B/")) + kTimerFileName).removeRecursively());
    tree.WriteText(QStringLiteral("类/B/") + kTimerFileName, QStringLiteral("1;10;0;8\r\n2026-12-8,10,0"));
    Tick(t0 + 230);
    SetDamageRecheckPause({});
    ASSERT_EQ(messages.messages.size(), 2);
    EXPECT_EQ(messages.messages.value(1), QStringLiteral("处理定时错误，文件") + Folder(QStringLiteral("类/B/"))
                                              + kTimerFileName + QStringLiteral("内容异常，已自动清理！"));
}

TEST_F(ReminderTest, TwentyFiveFoldersDueAtOnceAllMoveOnAndRunTheirScriptsTenOpenTheRestAreNamedOnce)
{
    for (int i = 0; i < 25; ++i) {
        const QString relative = QStringLiteral("类/%1").arg(i, 2, 10, QLatin1Char('0'));
        Scheduled(tree, relative, QStringLiteral("2;9;0;2026-12-1,1"), QStringLiteral("2026-12-8,9,0"), -1);
        tree.WriteBytes(relative + QStringLiteral("/auto.bat"), "true\n");
    }
    RecordingNotificationPort notifications;
    Start(At(2026, 12, 8, 9, 30));
    ASSERT_EQ(dlg.GetItemCount(), 25);
    Tick(At(2026, 12, 8, 9, 30));

    // Every row moved on and its script ran, in list order; only the first ten were opened.
    QStringList all;
    for (int row = 0; row < 25; ++row) {
        EXPECT_EQ(dlg.GetItemText(row, 3), QStringLiteral("2026-12-9 09:00")) << row;
        all.append(dlg.RowFolder(row));
    }
    EXPECT_EQ(shell.opened, all.first(10));
    EXPECT_EQ(shell.startedIn, all);
    EXPECT_EQ(dlg.GetSelectionMark(), 24);

    // The other fifteen: one message and one notification after the pass, naming the first three.
    const QString rest = all[10] + QStringLiteral("、") + all[11] + QStringLiteral("、") + all[12]
                         + QStringLiteral("等15个目录的定时已触发，未逐一打开！");
    EXPECT_EQ(messages.messages, QStringList { rest });
    ASSERT_EQ(notifications.bodies.size(), 11);
    EXPECT_EQ(notifications.bodies.last(), rest);

    Tick(At(2026, 12, 8, 9, 30, 1)); // the alert's next pass finds nothing due
    EXPECT_EQ(shell.opened.size(), 10);
    EXPECT_EQ(shell.started.size(), 25);
    EXPECT_EQ(messages.messages.size(), 1);
}
