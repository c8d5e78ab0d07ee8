// The window lived with on a laptop: the tray, what fired and what was found in view, columns that
// fit, the keys, and what the installed program remembers of the window.
#include "app/columnfit.h"
#include "app/filework.h"
#include "app/menus.h"
#include "app/quillbrookdlg.h"
#include "app/resource.h"
#include "app/rowmodel.h"
#include "app/trayicon.h"
#include "platform/programstate.h"
#include "reminder/reminder.h"
#include "store/desc.h"
#include "schedule/schedule.h"
#include "testsupport.h"
#include "windowdriver.h"

#include <QAction>
#include <QApplication>
#include <QFont>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

namespace {

// Long overdue: fires at the first pass and moves on past now.
const QString kOverdue = QStringLiteral("1;9;0;1\r\n2020-1-1,9,0\r\n-1\r\n0");

void Due(const TempTree& tree, const QString& relative, const QString& desc)
{
    tree.MakeDir(relative);
    tree.WriteText(relative + u'/' + kDescFileName, desc);
    tree.WriteText(relative + u'/' + kTimerFileName, kOverdue);
}

// Sixty folders with Chinese names in six categories, as a real tree has them.
void SixtyFolders(const TempTree& tree)
{
    for (int category = 0; category < 6; ++category)
        for (int folder = 0; folder < 10; ++folder)
            tree.MakeDir(QStringLiteral("类别%1/文档%2").arg(category).arg(folder));
}

QScreen* Screen(const QString& prefix)
{
    for (QScreen* screen : QApplication::screens())
        if (screen->name().startsWith(prefix))
            return screen;
    return nullptr;
}

void ShowActive(CQuillbrookDlg& dlg)
{
    dlg.show();
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
}

bool RowInView(const CQuillbrookDlg& dlg, int row)
{
    QTreeView* list = dlg.ListControl();
    const QRect rect = list->visualRect(list->model()->index(row, 0));
    return rect.isValid() && list->viewport()->rect().contains(rect);
}

bool Bold(const CQuillbrookDlg& dlg, int row)
{
    return dlg.Model().data(dlg.Model().index(row, 0), Qt::FontRole).value<QFont>().bold();
}

} // namespace

// Closing hides the window only when the item is ticked and a tray exists; hidden, the reminders
// go on; the tray's items and Ctrl+Q end it for real; the tick is remembered by the installed
// program only.
TEST(Tray, ClosingHidesOnlyWhenTickedWithATrayRemindersGoOnAndQuitEndsIt)
{
    TempTree tree;
    Due(tree, QStringLiteral("类/到期"), QStringLiteral("续签"));
    tree.MakeDir(QStringLiteral("类/平常"));
    RecordingMessagePort messages;
    RecordingShellPort shell;
    RecordingNotificationPort notifications;
    QSettings settings(tree.Path(QStringLiteral("settings.conf")), QSettings::IniFormat);

    CQuillbrookDlg dlg;
    bool trayThere = true;
    dlg.SetTrayAvailable([&] { return trayThere; });
    dlg.RememberIn(&settings);
    dlg.ShowTray();
    OpenWindow(dlg, tree.Root());
    dlg.Timer().stop();
    ProgramTray& tray = *dlg.Tray();
    // Its place and texts: the last item of "视图", off at first; the tray's tooltip and menu.
    QMenu* view = dlg.MenuBarControl()->actions().constFirst()->menu();
    QAction* item = dlg.KeepInTrayItem();
    EXPECT_EQ(view->actions().constLast(), item);
    EXPECT_EQ(item->text(), QStringLiteral("关闭窗口后在托盘中继续运行"));
    EXPECT_EQ(CommandOf(item), ID_KEEP_IN_TRAY);
    EXPECT_TRUE(item->isCheckable());
    EXPECT_FALSE(item->isChecked());
    EXPECT_TRUE(tray.Icon().toolTip().startsWith(kMainCaption));
    EXPECT_TRUE(tray.Icon().toolTip().endsWith(tree.Root()));
    EXPECT_EQ(tray.ShowWindowItem()->text(), QStringLiteral("显示主窗口"));
    EXPECT_EQ(tray.ClearAlertItem()->text(), QStringLiteral("清除触发警示"));
    EXPECT_EQ(tray.QuitItem()->text(), QStringLiteral("退出"));
    EXPECT_FALSE(tray.ClearAlertItem()->isVisible());

    // Unticked, or ticked without a tray, nothing may hide it.
    dlg.show();
    EXPECT_FALSE(dlg.ClosingHides());
    item->trigger();
    EXPECT_TRUE(item->isChecked());
    EXPECT_TRUE(settings.value(QStringLiteral("window/keepRunningInTray")).toBool());
    trayThere = false;
    EXPECT_FALSE(dlg.ClosingHides());
    trayThere = true;
    EXPECT_TRUE(dlg.ClosingHides());

    // Ticked with a tray: the close box, Esc and Enter hide it, and the work goes on.
    for (const int way : { 0, 1, 2 }) {
        ShowActive(dlg);
        if (way == 0)
            dlg.close();
        else
            QTest::keyClick(dlg.ListControl(), way == 1 ? Qt::Key_Escape : Qt::Key_Return);
        EXPECT_FALSE(dlg.isVisible()) << way;
        EXPECT_FALSE(dlg.Work().Closed()) << way;
    }
    // A reminder fires while hidden: the folder opens, the alert stands, the tray offers to clear it
    // and flashes.
    Tick(dlg);
    EXPECT_EQ(shell.opened, QStringList { tree.Path(QStringLiteral("类/到期")) });
    EXPECT_FALSE(dlg.ClearAlertButton()->isHidden());
    EXPECT_TRUE(tray.ClearAlertItem()->isVisible());
    EXPECT_TRUE(tray.ShowsAlertMark());
    Tick(dlg);
    EXPECT_FALSE(tray.ShowsAlertMark());
    Tick(dlg);
    EXPECT_TRUE(tray.ShowsAlertMark());
    tray.ClearAlertItem()->trigger();
    EXPECT_TRUE(dlg.ClearAlertButton()->isHidden());
    EXPECT_FALSE(tray.ClearAlertItem()->isVisible());
    EXPECT_FALSE(tray.ShowsAlertMark());
    EXPECT_GE(notifications.closeAlls, 1);
    // A click on the icon, or "显示主窗口", brings it back.
    Q_EMIT tray.Icon().activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(dlg.isVisible());
    dlg.hide();
    tray.ShowWindowItem()->trigger();
    EXPECT_TRUE(dlg.isVisible());
    // Ctrl+Q ends the program, ticked or not.
    ShowActive(dlg);
    QTest::keyClick(dlg.ListControl(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_TRUE(dlg.Work().Closed());
    EXPECT_FALSE(dlg.Timer().isActive());
    EXPECT_TRUE(messages.messages.isEmpty());

    // Remembered: the next start has it ticked; "退出" from the tray, hidden, ends it.
    CQuillbrookDlg again;
    again.SetTrayAvailable([] { return true; });
    again.RememberIn(&settings);
    again.ShowTray();
    OpenWindow(again, tree.Root());
    EXPECT_TRUE(again.KeepInTrayItem()->isChecked());
    again.show();
    again.reject();
    EXPECT_FALSE(again.Work().Closed());
    again.Tray()->QuitItem()->trigger();
    EXPECT_TRUE(again.Work().Closed());

    // A portable copy remembers nothing: off at every start, whatever the installed one stored.
    CQuillbrookDlg portable;
    portable.SetTrayAvailable([] { return true; });
    portable.ShowTray();
    OpenWindow(portable, tree.Root());
    EXPECT_FALSE(portable.KeepInTrayItem()->isChecked());
    portable.show();
    portable.reject();
    EXPECT_TRUE(portable.Work().Closed());
}

// The found row and the last fired row come into view with their folder's name; every row fired
// since the alert was cleared is marked until it is cleared, and a reload keeps no mark.
TEST(InView, TheFoundAndTheLastFiredRowAreShownAndFiredRowsMarkedUntilCleared)
{
    TempTree tree;
    SixtyFolders(tree);
    Due(tree, QStringLiteral("类别0/文档0"), QString());
    Due(tree, QStringLiteral("类别3/文档5"), QString());
    Due(tree, QStringLiteral("类别5/文档9"), QStringLiteral("合同续签"));
    RecordingMessagePort messages;
    RecordingShellPort shell;
    RecordingNotificationPort notifications;

    CQuillbrookDlg dlg;
    dlg.setScreen(Screen(QStringLiteral("b-1366")));
    OpenWindow(dlg, tree.Root());
    dlg.Timer().stop();
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    QTreeView* list = dlg.ListControl();
    ASSERT_GT(list->verticalScrollBar()->maximum(), 0);
    const int first = FindRow(dlg, QStringLiteral("/类别0/文档0"));
    const int middle = FindRow(dlg, QStringLiteral("/类别3/文档5"));
    const int last = FindRow(dlg, QStringLiteral("/类别5/文档9"));
    ASSERT_GE(std::min({ first, middle, last }), 0);
    // The names scrolled away, and the rows scrolled so that row is out of sight.
    list->header()->resizeSection(kColDesc, 3000);
    const auto scrollAway = [&](int row) {
        QApplication::processEvents();
        list->scrollToBottom();
        if (RowInView(dlg, row))
            list->scrollToTop();
        list->horizontalScrollBar()->setValue(list->horizontalScrollBar()->maximum());
        ASSERT_GT(list->horizontalScrollBar()->value(), 0);
        ASSERT_FALSE(RowInView(dlg, row));
    };
    const int lastFired = std::max({ first, middle, last });
    scrollAway(lastFired);

    Tick(dlg);
    EXPECT_EQ(SelectedRow(dlg), lastFired);
    EXPECT_TRUE(RowInView(dlg, lastFired));
    EXPECT_EQ(list->horizontalScrollBar()->value(), 0);
    for (int row = 0; row < dlg.GetItemCount(); ++row)
        EXPECT_EQ(Bold(dlg, row), row == first || row == middle || row == last) << row;
    // Marked until the alert is cleared, whatever is selected meanwhile.
    dlg.SelectRow(0);
    EXPECT_TRUE(Bold(dlg, middle));
    dlg.OnClearAlert();
    for (int row = 0; row < dlg.GetItemCount(); ++row)
        EXPECT_FALSE(Bold(dlg, row)) << row;

    // A match out of sight, the names scrolled away: brought into view.
    scrollAway(last);
    dlg.findChild<QLineEdit*>(QStringLiteral("searchEdit"))->setText(QStringLiteral("合同|续签"));
    dlg.OnSearch();
    EXPECT_EQ(SelectedRow(dlg), last);
    EXPECT_TRUE(RowInView(dlg, last));
    EXPECT_EQ(list->horizontalScrollBar()->value(), 0);

    // Fired again and reloaded: the rows come back unmarked.
    tree.WriteText(QStringLiteral("类别3/文档5/") + kTimerFileName, kOverdue);
    g_nLastMinute = -1;
    Tick(dlg);
    ASSERT_TRUE(Bold(dlg, middle));
    dlg.OnReload();
    ASSERT_TRUE(WaitUntilIdle(dlg));
    for (int row = 0; row < dlg.GetItemCount(); ++row)
        EXPECT_FALSE(Bold(dlg, row)) << row;
    EXPECT_TRUE(messages.messages.isEmpty());
}

// The description gives up width first, then the folder column, and only as much as is missing; a
// stored width that would hide a column is not taken.
TEST(Columns, FitGivesUpTheDescriptionFirstAndStoredWidthsAreChecked)
{
    EXPECT_EQ(FitColumns(kTemplateColumnWidths, 1750), kTemplateColumnWidths);
    EXPECT_EQ(FitColumns(kTemplateColumnWidths, 2500), kTemplateColumnWidths);
    EXPECT_EQ(FitColumns(kTemplateColumnWidths, 1336), (ColumnWidths { 350, 586, 260, 140 }));
    EXPECT_EQ(FitColumns(kTemplateColumnWidths, 700), (ColumnWidths { 220, 80, 260, 140 }));
    EXPECT_EQ(FitColumns(kTemplateColumnWidths, 100), (ColumnWidths { 160, 80, 260, 140 }));
    // Columns asked narrower than the least keep what was asked.
    EXPECT_EQ(FitColumns({ 100, 50, 260, 140 }, 300), (ColumnWidths { 100, 50, 260, 140 }));

    EXPECT_EQ(ParseColumnWidths(ColumnWidthsText({ 420, 930, 260, 140 })), (ColumnWidths { 420, 930, 260, 140 }));
    for (const QString& bad : { QString(), QStringLiteral("350,1000,260"), QStringLiteral("350,1000,260,140,9"),
                                QStringLiteral("350,1000,260,0"), QStringLiteral("350,x,260,140"),
                                QStringLiteral("350,1000,260,-140"), QStringLiteral("350,1000,260,99999999999") })
        EXPECT_FALSE(ParseColumnWidths(bad).has_value()) << bad.toStdString();
}

// At 1366 x 768 the four columns are in view; on a wide screen the template's widths; the widths
// the user drags and the window's size and place come back at the next start of the installed
// program.
TEST(Columns, FourColumnsInViewAtLaptopSizeAndDraggedWidthsAndPlaceRemembered)
{
    TempTree tree;
    SixtyFolders(tree);
    RecordingMessagePort messages;
    QSettings settings(tree.Path(QStringLiteral("settings.conf")), QSettings::IniFormat);
    const auto inView = [](const CQuillbrookDlg& dlg) {
        return dlg.ListControl()->header()->length() <= dlg.ListControl()->viewport()->width()
            && dlg.ListControl()->horizontalScrollBar()->maximum() == 0;
    };
    QRect placed;
    {
        CQuillbrookDlg dlg;
        dlg.setScreen(Screen(QStringLiteral("b-1366")));
        dlg.RememberIn(&settings);
        OpenWindow(dlg, tree.Root());
        dlg.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
        QTreeView* list = dlg.ListControl();
        EXPECT_TRUE(inView(dlg));
        EXPECT_EQ(list->columnWidth(0), 350);
        EXPECT_EQ(list->columnWidth(2), 260);
        EXPECT_EQ(list->columnWidth(3), 140);
        EXPECT_LT(list->columnWidth(1), 1000);

        // The user widens the folder column: the description makes room, and both are stored.
        const int desc = list->columnWidth(1);
        list->header()->resizeSection(0, 420);
        EXPECT_EQ(list->columnWidth(1), desc - 70);
        EXPECT_TRUE(inView(dlg));
        EXPECT_EQ(settings.value(QStringLiteral("window/columnWidths")).toString(), QStringLiteral("420,1000,260,140"));
        // Moved and sized by the user.
        dlg.resize(1200, 700);
        dlg.move(dlg.screen()->availableGeometry().topLeft() + QPoint(40, 0));
        QApplication::processEvents();
        placed = dlg.geometry();
        dlg.reject();
    }
    {
        CQuillbrookDlg dlg;
        dlg.setScreen(Screen(QStringLiteral("b-1366")));
        dlg.RememberIn(&settings);
        OpenWindow(dlg, tree.Root());
        dlg.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
        EXPECT_EQ(dlg.geometry(), placed);
        EXPECT_EQ(dlg.ListControl()->columnWidth(0), 420);
        EXPECT_TRUE(inView(dlg));
        dlg.reject();
    }
    {
        // A wide screen and window: the template's widths, none fitted. Without settings, the
        // dragged widths of the installed program do not apply.
        CQuillbrookDlg dlg;
        OpenWindow(dlg, tree.Root());
        dlg.show();
        dlg.resize(1900, 900);
        QApplication::processEvents();
        for (int column = 0; column < kRowColumns; ++column)
            EXPECT_EQ(dlg.ListControl()->columnWidth(column), kTemplateColumnWidths[size_t(column)]) << column;
        dlg.reject();
    }
    EXPECT_TRUE(messages.messages.isEmpty());
}

// F5 reloads, Ctrl+F goes to the search box, F3 steps to the next match, a double click opens the
// row's folder.
TEST(Keys, ReloadFindNextAndDoubleClickReachTheirCommands)
{
    TempTree tree;
    tree.MakeDir(QStringLiteral("甲/合同一"));
    tree.MakeDir(QStringLiteral("甲/合同二"));
    tree.MakeDir(QStringLiteral("乙/票据"));
    RecordingMessagePort messages;
    RecordingShellPort shell;
    CQuillbrookDlg dlg;
    OpenWindow(dlg, tree.Root());
    dlg.Timer().stop();
    ShowActive(dlg);
    QTreeView* list = dlg.ListControl();
    auto* edit = dlg.findChild<QLineEdit*>(QStringLiteral("searchEdit"));

    // F5: a folder made since is listed; the menu item shows its key.
    tree.MakeDir(QStringLiteral("乙/新来"));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_F5);
    ASSERT_TRUE(WaitUntilIdle(dlg));
    EXPECT_GE(FindRow(dlg, QStringLiteral("/乙/新来")), 0);
    QAction* reload = dlg.MenuBarControl()->actions().constFirst()->menu()->actions().at(2);
    ASSERT_EQ(CommandOf(reload), ID_RELOAD);
    EXPECT_EQ(reload->text(), QStringLiteral("重新加载"));
    EXPECT_EQ(reload->shortcut(), QKeySequence(Qt::Key_F5));

    // F3 before any search says so, as "下一条" does; Ctrl+F puts the focus in the search box.
    QTest::keyClick(list, Qt::Key_F3);
    EXPECT_EQ(messages.messages, QStringList { QStringLiteral("没有匹配项！") });
    edit->setText(QStringLiteral("合同"));
    QTest::keyClick(list, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), edit);
    EXPECT_EQ(edit->selectedText(), QStringLiteral("合同"));
    // Enter searches there; F3 steps to the other match and then to the end.
    QTest::keyClick(edit, Qt::Key_Return);
    const int found = SelectedRow(dlg);
    ASSERT_GE(found, 0);
    QTest::keyClick(list, Qt::Key_F3);
    const int next = SelectedRow(dlg);
    EXPECT_NE(next, found);
    EXPECT_TRUE(dlg.GetItemText(next, 0).contains(QStringLiteral("合同")));
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_F3);
    EXPECT_EQ(messages.messages.constLast(), QStringLiteral("已到最后！"));
    EXPECT_TRUE(dlg.isVisible());

    // A double click on a row opens that row's folder.
    const int row = FindRow(dlg, QStringLiteral("/乙/票据"));
    const QPoint at = list->visualRect(list->model()->index(row, 1)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at); // the first click of the two
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(shell.opened, QStringList { tree.Path(QStringLiteral("乙/票据")) });
    EXPECT_TRUE(dlg.isVisible());
    dlg.reject();
}
