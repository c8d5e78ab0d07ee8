#include "app/desktopservices.h"
#include "app/dlgunits.h"
#include "app/menus.h"
#include "app/quillbrookdlg.h"
#include "app/resource.h"
#include "platform/programstate.h"
#include "reminder/reminder.h"
#include "schedule/schedule.h"
#include "store/desc.h"
#include "testsupport.h"
#include "windowdriver.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <QHeaderView>
#include <QTreeView>
#include <gtest/gtest.h>

namespace {

struct MenuItem
{
    QString text;
    int id;
    bool enabled;
};

std::vector<MenuItem> Items(QMenu* menu)
{
    std::vector<MenuItem> items;
    for (QAction* action : menu->actions())
        items.push_back({ action->isSeparator() ? QStringLiteral("-") : action->text(), CommandOf(action),
                          action->isEnabled() });
    return items;
}

QMenu* Popup(QMenuBar* bar, int index)
{
    return bar->actions().at(index)->menu();
}

// A tree of three rows.
void MakeRows(const TempTree& tree)
{
    tree.MakeDir(QStringLiteral("甲类/文档一"));
    tree.MakeDir(QStringLiteral("甲类/文档二"));
    tree.MakeDir(QStringLiteral("乙类"));
}

} // namespace

TEST(MainWindow, ControlsColumnsAndCaption)
{
    TempTree tree;
    CQuillbrookDlg dlg;
    OpenWindow(dlg, tree.Root());
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Quillbrook2.0.5"));
    QTreeView* list = dlg.ListControl();
    ASSERT_EQ(list->model()->columnCount(), 4);
    const QStringList headings { QStringLiteral("文档目录"), QStringLiteral("文档描述"), QStringLiteral("定时方案"),
                                 QStringLiteral("下次触发") };
    const int widths[] = { 350, 1000, 260, 140 };
    for (int column = 0; column < 4; ++column) {
        EXPECT_EQ(list->model()->headerData(column, Qt::Horizontal).toString(), headings[column]);
        EXPECT_EQ(list->columnWidth(column), widths[column]);
    }
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_FALSE(list->rootIsDecorated());
    EXPECT_TRUE(dlg.ClearAlertButton()->isHidden());
    EXPECT_EQ(dlg.ClearAlertButton()->text(), QStringLiteral("清除触发警示"));
    EXPECT_EQ(dlg.findChild<QPushButton*>(QStringLiteral("searchButton"))->text(), QStringLiteral("搜索"));
    EXPECT_EQ(dlg.findChild<QPushButton*>(QStringLiteral("nextButton"))->text(), QStringLiteral("下一条"));
    EXPECT_EQ(dlg.findChild<QLabel*>(QStringLiteral("searchHint"))->text(), QStringLiteral("多个搜索词用 | 分开"));
    EXPECT_TRUE(dlg.Timer().isActive());
    EXPECT_EQ(dlg.Timer().interval(), 1000);
    EXPECT_EQ(g_strRootDir, tree.Root());
}

TEST(MainWindow, ListKeepsItsTemplatePlaceUntilResizedThenFollowsTheWindow)
{
    TempTree tree;
    CQuillbrookDlg dlg;
    OpenWindow(dlg, tree.Root());
    const QRect templateRect = dlg.ListControl()->geometry();
    dlg.show();
    dlg.resize(1200, 900);
    QApplication::processEvents();
    const QRect laidOut = dlg.ListControl()->geometry();
    EXPECT_NE(laidOut, templateRect);
    EXPECT_EQ(laidOut.topLeft(), QPoint(14, 60));
    EXPECT_EQ(laidOut.width(), dlg.ListControl()->parentWidget()->width() - 28);
    EXPECT_EQ(laidOut.height(), dlg.ListControl()->parentWidget()->height() - 74);
    EXPECT_GE(dlg.minimumWidth(), 1024);
    EXPECT_GE(dlg.minimumHeight(), 768);
}

TEST(MainWindow, EscapeAndEnterCloseTheWindow)
{
    TempTree tree;
    MakeRows(tree);
    // Esc closes from the search box too; Enter closes everywhere but there (where it searches).
    for (const Qt::Key key : { Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter }) {
        CQuillbrookDlg dlg;
        OpenWindow(dlg, tree.Root());
        dlg.show();
        QWidget* target = key == Qt::Key_Escape ? static_cast<QWidget*>(dlg.findChild<QLineEdit*>(QStringLiteral("searchEdit")))
                                                : dlg.ListControl();
        target->setFocus();
        QTest::keyClick(target, key);
        EXPECT_FALSE(dlg.isVisible()) << key;
    }
}

TEST(Menus, TextsCommandsAndPrompts)
{
    TempTree tree;
    CQuillbrookDlg dlg;
    OpenWindow(dlg, tree.Root());
    QMenuBar* bar = dlg.MenuBarControl();
    ASSERT_EQ(bar->actions().size(), 3);
    EXPECT_EQ(bar->actions().at(0)->text(), QStringLiteral("视图"));
    EXPECT_EQ(bar->actions().at(1)->text(), QStringLiteral("目录"));

    auto texts = [](QMenu* menu) {
        QStringList out;
        for (const MenuItem& item : Items(menu))
            out.append(item.text + (item.id ? QStringLiteral("=") + QString::number(item.id) : QString()));
        return out;
    };
    EXPECT_EQ(texts(Popup(bar, 0)),
              (QStringList { QStringLiteral("复制所有列表内容=32788"), QStringLiteral("-"), QStringLiteral("重新加载=32792"),
                             QStringLiteral("-"), QStringLiteral("软链接引入外部目录...=32794") }));
    const QStringList folderItems { QStringLiteral("设置描述及定时...=32789"), QStringLiteral("-"),
                                    QStringLiteral("定位到存储位置=32790"), QStringLiteral("-"),
                                    QStringLiteral("暂停定时=32786"), QStringLiteral("-"),
                                    QStringLiteral("归档到上年度=32785"), QStringLiteral("-") };
    EXPECT_EQ(texts(Popup(bar, 1)), folderItems + QStringList { QStringLiteral("清除描述及定时=32797") });
    EXPECT_EQ(texts(Popup(bar, 2)), QStringList { QStringLiteral("说明=57670") });
    std::unique_ptr<QMenu> context(dlg.CreateContextMenu());
    EXPECT_EQ(texts(context.get()), folderItems + QStringList { QStringLiteral("删除管理信息=32797") });

    EXPECT_EQ(CommandPrompt(ID_ARCHIVE_PREV_YEAR), QStringLiteral("将目录下文档移动到年份名称的目录下"));
    EXPECT_EQ(CommandPrompt(ID_LINK_EXTERNAL), QStringLiteral("用软链接方式将不是根目录下的外部目录纳入管理"));
    EXPECT_EQ(Popup(bar, 0)->actions().at(0)->statusTip(), QStringLiteral("复制列表信息到剪贴板，便于自由处理"));
    EXPECT_EQ(Popup(bar, 1)->actions().last()->statusTip(), QStringLiteral("删除描述及定时设置"));
}

TEST(Menus, FolderCommandsGreyWithoutASelectionMarkAndReloadClearsIt)
{
    TempTree tree;
    MakeRows(tree);
    CQuillbrookDlg dlg;
    OpenWindow(dlg, tree.Root());
    ASSERT_EQ(dlg.GetItemCount(), 3);
    QMenu* folders = Popup(dlg.MenuBarControl(), 1);
    QMenu* view = Popup(dlg.MenuBarControl(), 0);

    auto enabledCount = [](QMenu* menu) {
        int n = 0;
        for (const MenuItem& item : Items(menu))
            n += item.id != 0 && item.enabled;
        return n;
    };
    dlg.OnInitMenuPopup(folders);
    EXPECT_EQ(enabledCount(folders), 0);
    dlg.OnInitMenuPopup(view);
    EXPECT_EQ(enabledCount(view), 3); // always offered, even with nothing selected

    dlg.SelectRow(1);
    EXPECT_EQ(dlg.GetSelectionMark(), 1);
    dlg.OnInitMenuPopup(folders);
    EXPECT_EQ(enabledCount(folders), 5);
    std::unique_ptr<QMenu> context(dlg.CreateContextMenu());
    dlg.OnInitMenuPopup(context.get());
    EXPECT_EQ(enabledCount(context.get()), 5);

    dlg.OnCommand(ID_RELOAD);

    WaitUntilIdle(dlg);
    EXPECT_EQ(dlg.GetItemCount(), 3);
    EXPECT_EQ(dlg.GetSelectionMark(), -1);
    EXPECT_TRUE(dlg.ListControl()->selectionModel()->selectedRows().isEmpty());
    dlg.OnInitMenuPopup(folders);
    EXPECT_EQ(enabledCount(folders), 0);
}

TEST(Menus, RightClickOffersTheMenuOnlyForARow)
{
    TempTree tree;
    MakeRows(tree);
    CQuillbrookDlg dlg;
    OpenWindow(dlg, tree.Root());
    dlg.resize(1200, 900);
    dlg.show();
    QTreeView* list = dlg.ListControl();
    QWidget* viewport = list->viewport();
    const QPoint onRow = list->visualRect(list->model()->index(2, 0)).center();
    const QPoint below(onRow.x(), viewport->height() - 5);

    int menusShown = 0;
    auto closeMenuSoon = [&] {
        QTimer::singleShot(0, [&] {
            if (QWidget* popup = QApplication::activePopupWidget()) {
                ++menusShown;
                popup->close();
            }
        });
    };

    QTest::mousePress(viewport, Qt::RightButton, {}, onRow);
    QTest::mouseRelease(viewport, Qt::RightButton, {}, onRow);
    EXPECT_EQ(dlg.GetSelectionMark(), 2);
    closeMenuSoon();
    QContextMenuEvent onRowEvent(QContextMenuEvent::Mouse, onRow, viewport->mapToGlobal(onRow));
    QApplication::sendEvent(viewport, &onRowEvent);
    QApplication::processEvents();
    EXPECT_EQ(menusShown, 1);

    // Below the last row: the selection and the mark are cleared and no menu opens.
    QTest::mousePress(viewport, Qt::RightButton, {}, below);
    QTest::mouseRelease(viewport, Qt::RightButton, {}, below);
    closeMenuSoon();
    QContextMenuEvent belowEvent(QContextMenuEvent::Mouse, below, viewport->mapToGlobal(below));
    QApplication::sendEvent(viewport, &belowEvent);
    QApplication::processEvents();
    EXPECT_EQ(menusShown, 1);
    EXPECT_EQ(dlg.GetSelectionMark(), -1);
    EXPECT_TRUE(list->selectionModel()->selectedRows().isEmpty());
}

// The keyboard's Menu key opens the context menu below the selected row, greyed as a right
// click's, and nothing without a selected row; the mouse pointer plays no part.
TEST(Menus, MenuKeyOpensTheMenuAtTheSelectedRowOnly)
{
    TempTree tree;
    MakeRows(tree);
    CQuillbrookDlg dlg;
    OpenWindow(dlg, tree.Root());
    dlg.show();
    QTreeView* list = dlg.ListControl();
    std::vector<QPoint> shownAt;
    const auto menuKey = [&] {
        QTimer::singleShot(0, [&] {
            if (auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                shownAt.push_back(popup->pos());
                EXPECT_TRUE(popup->actions().constFirst()->isEnabled());
                popup->close();
            }
        });
        // As the window system sends the key's event: to the list, which has the focus.
        QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(), list->mapToGlobal(QPoint()));
        QApplication::sendEvent(list, &event);
        QApplication::processEvents();
    };
    menuKey(); // no row selected after the load
    dlg.SelectRow(1);
    menuKey();
    const QRect row = list->visualRect(list->model()->index(1, 0));
    EXPECT_EQ(shownAt, std::vector<QPoint> { list->viewport()->mapToGlobal(QPoint(row.left(), row.bottom() + 1)) });
}

TEST(MainWindow, FitsEachScreenWithTheTopRowInsideAndTheAlertButtonClickable)
{
    TempTree tree;
    MakeRows(tree);
    // Long overdue, so the first pass raises the alert.
    tree.WriteText(QStringLiteral("甲类/文档一/") + kDescFileName, QStringLiteral("到期"));
    RecordingMessagePort messages;
    RecordingShellPort shell;
    RecordingNotificationPort notifications;

    // The test screens: 1920 x 1080, 1366 x 768, and 3840 x 2160 at 200 %.
    const QList<QScreen*> screens = QApplication::screens();
    ASSERT_EQ(screens.size(), 3);
    for (QScreen* screen : screens) {
        const QString name = screen->name();
        tree.WriteText(QStringLiteral("甲类/文档一/") + kTimerFileName, QStringLiteral("1;9;0;1\r\n2020-1-1,9,0\r\n-1\r\n0"));
        g_nLastMinute = -1;
        g_nAlertTicks = 0;
        CQuillbrookDlg dlg;
        dlg.setScreen(screen);
        OpenWindow(dlg, tree.Root());
        dlg.Timer().stop();
        dlg.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg)) << name.toStdString();
        QApplication::processEvents();

        const QRect area = screen->availableGeometry();
        const QMargins frame = dlg.windowHandle()->frameMargins();
        const QSize room = area.size().shrunkBy(frame);
        const DialogUnits du(dlg.font());
        const QSize templateSize(du.X(902), du.Y(343) + dlg.MenuBarControl()->sizeHint().height());
        EXPECT_TRUE(area.contains(dlg.frameGeometry())) << name.toStdString();
        EXPECT_EQ(dlg.frameGeometry().topLeft(), area.topLeft()) << name.toStdString();
        EXPECT_EQ(dlg.size(), templateSize.expandedTo(QSize(1024, 768)).boundedTo(room)) << name.toStdString();
        EXPECT_EQ(dlg.minimumSize(), QSize(1024, 768).boundedTo(room)) << name.toStdString();
        EXPECT_EQ(dlg.devicePixelRatio(), screen->devicePixelRatio()) << name.toStdString();

        Tick(dlg);
        QPushButton* alert = dlg.ClearAlertButton();
        ASSERT_TRUE(alert->isVisible()) << name.toStdString();
        // The top row in its order, each control inside the client area and clear of the next.
        const QStringList order { QStringLiteral("listLabel"), QStringLiteral("searchEdit"), QStringLiteral("searchButton"),
                                  QStringLiteral("nextButton"), QStringLiteral("searchHint"),
                                  QStringLiteral("clearAlertButton") };
        QWidget* client = alert->parentWidget();
        int right = 0;
        for (const QString& control : order) {
            const QRect rect = client->findChild<QWidget*>(control)->geometry();
            EXPECT_GE(rect.left(), right) << name.toStdString() << " " << control.toStdString();
            EXPECT_TRUE(client->rect().contains(rect)) << name.toStdString() << " " << control.toStdString();
            right = rect.right() + 1;
        }
        // The list fills the rest, its four columns in view.
        const QRect list = dlg.ListControl()->geometry();
        EXPECT_TRUE(client->rect().contains(list)) << name.toStdString();
        EXPECT_GT(list.top(), alert->geometry().bottom()) << name.toStdString();
        EXPECT_LE(dlg.ListControl()->header()->length(), dlg.ListControl()->viewport()->width()) << name.toStdString();

        // A click where the button shows reaches it, and it hides.
        const QPoint centre = alert->mapTo(&dlg, alert->rect().center());
        QTest::mouseClick(dlg.windowHandle(), Qt::LeftButton, {}, centre);
        EXPECT_TRUE(alert->isHidden()) << name.toStdString();
        EXPECT_EQ(notifications.closeAlls, 1);
        notifications.closeAlls = 0;
    }
    EXPECT_TRUE(messages.messages.isEmpty());
}

TEST(QtTexts, MessageBoxButtonsAndTheFolderPickerReadChineseWhateverTheLocale)
{
    const QByteArray lang = qgetenv("LANG");
    const QByteArray all = qgetenv("LC_ALL");
    qputenv("LANG", "C");
    qputenv("LC_ALL", "C");
    QLocale::setDefault(QLocale::c());
    QTranslator* translator = LoadQtChineseTranslations();
    ASSERT_NE(translator, nullptr) << "Qt's Chinese translations are missing: install qt6-translations-l10n";

    // With their keys, as on the Chinese message boxes of other systems: shown as 是(Y) and 否(N).
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Ok | QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
    EXPECT_EQ(box.button(QMessageBox::Yes)->text(), QStringLiteral("是(&Y)"));
    EXPECT_EQ(box.button(QMessageBox::No)->text(), QStringLiteral("否(&N)"));
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), QStringLiteral("取消"));
    QFileDialog picker;
    picker.setOption(QFileDialog::DontUseNativeDialog);
    picker.setFileMode(QFileDialog::Directory);
    const QString lookIn = picker.findChild<QLabel*>(QStringLiteral("lookInLabel"))->text();
    EXPECT_FALSE(lookIn.isEmpty());
    EXPECT_NE(lookIn, QStringLiteral("Look in:"));

    QCoreApplication::removeTranslator(translator);
    delete translator;
    QLocale::setDefault(QLocale::system());
    qputenv("LANG", lang);
    qputenv("LC_ALL", all);
}
