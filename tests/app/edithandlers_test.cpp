#include "app/quillbrookdlg.h"
#include "platform/programstate.h"
#include "schedtest.h"
#include "schedule/schedule.h"
#include "store/desc.h"
#include "testsupport.h"
#include "windowdriver.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

const QString kFirstLevelQuestion = QStringLiteral("不建议直接管理一级目录，被管理后会忽略下级子目录！是否继续？");
const QString kTimer = QStringLiteral("Quillbrook.Timer");
const QString kDesc = QStringLiteral("Quillbrook.desc");

// What the settings dialog showed when it opened, and whether it opened at all.
struct Seen
{
    bool opened = false;
    QString editingDir;
    QString path, desc, spec, hint, hour, minute, count;
    int mode = -2;
    bool weekend = false;
};

// Acts on the settings dialog once it runs modally. The timer is owned here, so a dialog that
// never opens leaves nothing pending for later tests.
class ModalDriver
{
public:
    explicit ModalDriver(std::function<void(QWidget*)> act)
        : m_act(std::move(act))
    {
        m_timer.setSingleShot(true);
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal)
                return;
            seen.opened = true;
            seen.editingDir = g_strEditingDir;
            seen.path = Edit(modal, "pathEdit")->text();
            seen.desc = modal->findChild<QPlainTextEdit*>(QStringLiteral("descEdit"))->toPlainText();
            seen.spec = Edit(modal, "specEdit")->text();
            seen.hint = modal->findChild<QLabel*>(QStringLiteral("hintLabel"))->text();
            seen.hour = Edit(modal, "hourEdit")->text();
            seen.minute = Edit(modal, "minuteEdit")->text();
            seen.count = Edit(modal, "countEdit")->text();
            seen.mode = modal->findChild<QComboBox*>(QStringLiteral("modeCombo"))->currentIndex();
            seen.weekend = modal->findChild<QCheckBox*>(QStringLiteral("weekendCheck"))->isChecked();
            m_act(modal);
            // Never leave a test hanging in a modal loop.
            if (QApplication::activeModalWidget() == modal)
                modal->findChild<QPushButton*>(QStringLiteral("cancelButton"))->click();
        });
        m_timer.start();
    }
    static QLineEdit* Edit(QWidget* modal, const char* name)
    {
        return modal->findChild<QLineEdit*>(QString::fromLatin1(name));
    }
    static void Click(QWidget* modal, const char* name)
    {
        modal->findChild<QPushButton*>(QString::fromLatin1(name))->click();
    }
    Seen seen;

private:
    std::function<void(QWidget*)> m_act;
    QTimer m_timer;
};

class EditCommands : public testing::Test
{
protected:
    void SetUp() override
    {
        tree.MakeDir(QStringLiteral("分类A/文档1"));
        tree.MakeDir(QStringLiteral("分类A/文档2"));
        tree.MakeDir(QStringLiteral("一级"));
        tree.MakeDir(QStringLiteral("分类B/子1"));
        tree.WriteText(QStringLiteral("分类B/") + kDesc, QStringLiteral("已管理的一级目录"));
        OpenWindow(dlg, tree.Root());
        dlg.Timer().stop(); // no reminder passes in the middle of these tests
    }
    void TearDown() override { EXPECT_TRUE(g_strEditingDir.isEmpty()); }

    int Row(const QString& relative) const
    {
        for (int row = 0; row < dlg.GetItemCount(); ++row) {
            if (dlg.GetItemText(row, 0) == relative)
                return row;
        }
        return -1;
    }
    int Select(const QString& relative)
    {
        const int row = Row(relative);
        EXPECT_NE(row, -1) << relative.toStdString();
        dlg.SelectRow(row);
        return row;
    }
    QStringList Rows() const
    {
        QStringList rows;
        for (int row = 0; row < dlg.GetItemCount(); ++row)
            rows.append(dlg.GetItemText(row, 0));
        rows.sort();
        return rows;
    }

    RecordingMessagePort messages;
    RecordingShellPort shell;
    TempTree tree;
    CQuillbrookDlg dlg;
};

TEST_F(EditCommands, NewFolderOpensEmptyAndCountZeroWithModeIsStopped)
{
    const QString rel = QStringLiteral("/分类A/文档1");
    const int row = Select(rel);
    ModalDriver driver([](QWidget* modal) {
        modal->findChild<QPlainTextEdit*>(QStringLiteral("descEdit"))->setPlainText(QStringLiteral("合同"));
        modal->findChild<QComboBox*>(QStringLiteral("modeCombo"))->setCurrentIndex(1);
        ModalDriver::Edit(modal, "specEdit")->setText(QStringLiteral("15"));
        ModalDriver::Edit(modal, "hourEdit")->setText(QStringLiteral("9"));
        ModalDriver::Edit(modal, "minuteEdit")->setText(QStringLiteral("30"));
        ModalDriver::Click(modal, "okButton");
    });
    dlg.OnCommand(32789);
    WaitUntilIdle(dlg);

    // Two levels down: no question. The dialog showed no mode, zeros (count 0, not -1).
    EXPECT_TRUE(messages.questions.isEmpty());
    ASSERT_TRUE(driver.seen.opened);
    EXPECT_EQ(driver.seen.editingDir, rel);
    EXPECT_EQ(driver.seen.path, tree.Root() + rel);
    EXPECT_EQ(driver.seen.mode, -1);
    EXPECT_TRUE(driver.seen.spec.isEmpty());
    EXPECT_TRUE(driver.seen.hint.isEmpty());
    EXPECT_EQ(driver.seen.hour, QStringLiteral("0"));
    EXPECT_EQ(driver.seen.minute, QStringLiteral("0"));
    EXPECT_EQ(driver.seen.count, QStringLiteral("0"));
    EXPECT_FALSE(driver.seen.weekend);

    EXPECT_TRUE(messages.messages.isEmpty()) << messages.messages.join(u'|').toStdString();
    EXPECT_TRUE(IsManagedDir(tree.Path(QStringLiteral("分类A/文档1"))));
    EXPECT_EQ(ReadDirDesc(tree.Path(QStringLiteral("分类A/文档1"))), QStringLiteral("合同"));
    ASSERT_TRUE(tree.Exists(QStringLiteral("分类A/文档1/") + kTimer));
    EXPECT_EQ(dlg.GetItemText(row, 0), rel);
    EXPECT_EQ(dlg.GetItemText(row, 1), QStringLiteral("合同"));
    EXPECT_FALSE(dlg.GetItemText(row, 2).isEmpty());
    EXPECT_EQ(dlg.GetItemText(row, 3), QStringLiteral("已停止"));
    EXPECT_TRUE(g_strEditingDir.isEmpty());

    // Opening it again shows what was stored.
    ModalDriver again([](QWidget*) {});
    dlg.OnCommand(32789);
    WaitUntilIdle(dlg);
    ASSERT_TRUE(again.seen.opened);
    EXPECT_EQ(again.seen.desc, QStringLiteral("合同"));
    EXPECT_EQ(again.seen.mode, 1);
    EXPECT_EQ(again.seen.spec, QStringLiteral("15"));
    EXPECT_EQ(again.seen.hint, QStringLiteral("如：31 表示每月31日触发，无此日期则前推"));
    EXPECT_EQ(again.seen.hour, QStringLiteral("9"));
    EXPECT_EQ(again.seen.minute, QStringLiteral("30"));
    EXPECT_EQ(again.seen.count, QStringLiteral("0"));
}

TEST_F(EditCommands, NoModeWritesTheNoScheduleFileAndEmptyDescriptionStillManages)
{
    const QString folder = tree.Path(QStringLiteral("分类A/文档2"));
    ASSERT_TRUE(WriteScheduleFile(folder, Schedule(SCHED_EVERY_N_DAYS, 8, 5, QStringLiteral("2024-9-16,3"), 4, true)))
        << messages.messages.join(u'|').toStdString();
    tree.WriteText(QStringLiteral("分类A/文档2/") + kDesc, QStringLiteral("旧描述"));
    dlg.LoadDirList();
    WaitUntilIdle(dlg);
    const int row = Select(QStringLiteral("/分类A/文档2"));
    ASSERT_FALSE(dlg.GetItemText(row, 2).isEmpty());

    ModalDriver driver([](QWidget* modal) {
        modal->findChild<QPlainTextEdit*>(QStringLiteral("descEdit"))->clear();
        modal->findChild<QComboBox*>(QStringLiteral("modeCombo"))->setCurrentIndex(-1);
        ModalDriver::Click(modal, "okButton");
    });
    dlg.OnCommand(32789);
    WaitUntilIdle(dlg);
    ASSERT_TRUE(driver.seen.opened);
    EXPECT_EQ(driver.seen.desc, QStringLiteral("旧描述"));
    EXPECT_EQ(driver.seen.mode, 2);
    EXPECT_EQ(driver.seen.spec, QStringLiteral("2024-9-16,3"));
    EXPECT_EQ(driver.seen.hour, QStringLiteral("8"));
    EXPECT_EQ(driver.seen.minute, QStringLiteral("5"));
    EXPECT_EQ(driver.seen.count, QStringLiteral("4"));
    EXPECT_TRUE(driver.seen.weekend);

    EXPECT_TRUE(messages.messages.isEmpty()) << messages.messages.join(u'|').toStdString();
    EXPECT_EQ(tree.ReadBytes(QStringLiteral("分类A/文档2/") + kTimer), Utf16File(QStringLiteral("-1;0;0;\r\n0\r\n0\r\n0")));
    EXPECT_TRUE(IsManagedDir(folder));
    EXPECT_EQ(tree.ReadBytes(QStringLiteral("分类A/文档2/") + kDesc), Utf16File(QString()));
    EXPECT_TRUE(dlg.GetItemText(row, 1).isEmpty());
    EXPECT_TRUE(dlg.GetItemText(row, 2).isEmpty());
    EXPECT_TRUE(dlg.GetItemText(row, 3).isEmpty());
}

// A schedule opened and confirmed unchanged is stored as it was: every field goes through the
// dialog and back.
TEST_F(EditCommands, AnUnchangedScheduleIsStoredAsItWas)
{
    g_tNow = At(2024, 9, 20, 10, 0);
    const struct
    {
        QString folder;
        ScheduleRecord schedule;
    } cases[] = {
        { QStringLiteral("分类A/文档1"), Schedule(SCHED_EVERY_N_DAYS, 8, 5, QStringLiteral("2024-9-16,3"), 4, true) },
        { QStringLiteral("分类A/文档2"), Schedule(SCHED_YEARLY, 23, 59, QStringLiteral("2-29"), -1, false) },
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteScheduleFile(tree.Path(c.folder), c.schedule));
        const QString file = c.folder + u'/' + kTimer;
        const QByteArray stored = tree.ReadBytes(file);
        dlg.LoadDirList();
        WaitUntilIdle(dlg);
        Select(u'/' + c.folder);
        ModalDriver driver([](QWidget* modal) { ModalDriver::Click(modal, "okButton"); });
        dlg.OnCommand(32789);
        WaitUntilIdle(dlg);
        ASSERT_TRUE(driver.seen.opened);
        EXPECT_EQ(tree.ReadBytes(file), stored) << c.folder.toStdString();
    }
    EXPECT_TRUE(messages.messages.isEmpty()) << messages.messages.join(u'|').toStdString();
}

TEST_F(EditCommands, FirstLevelFolderIsAskedAboutEveryTime)
{
    const QString rel = QStringLiteral("/一级");
    Select(rel);
    {
        messages.answers = { false };
        ModalDriver driver([](QWidget*) {});
        dlg.OnCommand(32789);
        WaitUntilIdle(dlg);
        QApplication::processEvents();
        EXPECT_FALSE(driver.seen.opened);
        EXPECT_EQ(messages.questions, QStringList{ kFirstLevelQuestion });
        EXPECT_TRUE(g_strEditingDir.isEmpty());
    }
    {
        messages.answers = { true };
        ModalDriver driver([](QWidget* modal) { ModalDriver::Click(modal, "okButton"); });
        dlg.OnCommand(32789);
        WaitUntilIdle(dlg);
        ASSERT_TRUE(driver.seen.opened);
        EXPECT_EQ(driver.seen.editingDir, rel);
        EXPECT_TRUE(IsManagedDir(tree.Path(QStringLiteral("一级"))));
    }
    // Managed by now, and still asked.
    messages.answers = { false };
    dlg.OnCommand(32789);
    WaitUntilIdle(dlg);
    EXPECT_EQ(messages.questions, QStringList({ kFirstLevelQuestion, kFirstLevelQuestion, kFirstLevelQuestion }));
}

TEST_F(EditCommands, CancelWritesNothing)
{
    const int row = Select(QStringLiteral("/分类A/文档1"));
    ModalDriver driver([](QWidget* modal) {
        modal->findChild<QPlainTextEdit*>(QStringLiteral("descEdit"))->setPlainText(QStringLiteral("不要"));
        modal->findChild<QComboBox*>(QStringLiteral("modeCombo"))->setCurrentIndex(1);
        ModalDriver::Edit(modal, "specEdit")->setText(QStringLiteral("3"));
        ModalDriver::Click(modal, "cancelButton");
    });
    dlg.OnCommand(32789);
    WaitUntilIdle(dlg);
    ASSERT_TRUE(driver.seen.opened);
    EXPECT_FALSE(tree.Exists(QStringLiteral("分类A/文档1/") + kDesc));
    EXPECT_FALSE(tree.Exists(QStringLiteral("分类A/文档1/") + kTimer));
    EXPECT_TRUE(dlg.GetItemText(row, 1).isEmpty());
    EXPECT_TRUE(g_strEditingDir.isEmpty());

    // No row at the selection mark: nothing at all.
    dlg.LoadDirList();
    WaitUntilIdle(dlg);
    ModalDriver none([](QWidget*) {});
    dlg.OnCommand(32789);
    WaitUntilIdle(dlg);
    dlg.OnCommand(32797);
    WaitUntilIdle(dlg);
    QApplication::processEvents();
    EXPECT_FALSE(none.seen.opened);
    EXPECT_TRUE(messages.questions.isEmpty());
    EXPECT_TRUE(messages.messages.isEmpty());
}

// The description cannot be written (a folder stands in its place): the command goes on, the row
// shows the new text and the schedule is still written.
TEST_F(EditCommands, FailedDescriptionWriteStillWritesSchedule)
{
    tree.MakeDir(QStringLiteral("分类A/文档1/") + kDesc);
    const int row = Select(QStringLiteral("/分类A/文档1"));
    ModalDriver driver([](QWidget* modal) {
        modal->findChild<QPlainTextEdit*>(QStringLiteral("descEdit"))->setPlainText(QStringLiteral("新"));
        modal->findChild<QComboBox*>(QStringLiteral("modeCombo"))->setCurrentIndex(0);
        ModalDriver::Edit(modal, "specEdit")->setText(QStringLiteral("2-29"));
        ModalDriver::Edit(modal, "countEdit")->setText(QStringLiteral("-1"));
        ModalDriver::Click(modal, "okButton");
    });
    dlg.OnCommand(32789);
    WaitUntilIdle(dlg);
    EXPECT_EQ(messages.messages,
              QStringList{ tree.Path(QStringLiteral("分类A/文档1/")) + kDesc + QStringLiteral("创建失败！") });
    EXPECT_EQ(dlg.GetItemText(row, 1), QStringLiteral("新"));
    EXPECT_TRUE(tree.Exists(QStringLiteral("分类A/文档1/") + kTimer));
    EXPECT_FALSE(dlg.GetItemText(row, 3).isEmpty());
    EXPECT_NE(dlg.GetItemText(row, 3), QStringLiteral("已停止"));
}

// The row shows the new description before the schedule is written, whatever the description
// write gave: the schedule write's message stands over the new text.
TEST_F(EditCommands, RowShowsTheNewDescriptionBeforeTheScheduleIsWritten)
{
    tree.MakeDir(QStringLiteral("分类A/文档1/") + kDesc); // the description cannot be written
    const int row = Select(QStringLiteral("/分类A/文档1"));
    QStringList shown; // column 1 as each message shows
    messages.onMessage = [&](const QString&) { shown.append(dlg.GetItemText(row, 1)); };
    ModalDriver driver([](QWidget* modal) {
        modal->findChild<QPlainTextEdit*>(QStringLiteral("descEdit"))->setPlainText(QStringLiteral("新"));
        // Every N months with interval 0 passes the dialog; its first trigger cannot be computed.
        modal->findChild<QComboBox*>(QStringLiteral("modeCombo"))->setCurrentIndex(3);
        ModalDriver::Edit(modal, "specEdit")->setText(QStringLiteral("2024-9-15,0"));
        ModalDriver::Click(modal, "okButton");
    });
    dlg.OnCommand(32789);
    WaitUntilIdle(dlg);
    messages.onMessage = nullptr;
    ASSERT_EQ(messages.messages.size(), 2);
    EXPECT_TRUE(messages.messages[0].endsWith(QStringLiteral("创建失败！")));
    EXPECT_TRUE(messages.messages[1].contains(QStringLiteral("初始化发生错误")));
    EXPECT_EQ(shown, (QStringList { QString(), QStringLiteral("新") }));
}

// A description goes back as it was stored when the user leaves it alone, and an edited one keeps
// every stored line break the user did not touch (a lone CR or LF stays one); breaks entered in
// the box are CR LF.
TEST_F(EditCommands, DescriptionIsStoredAsEntered)
{
    const QString stored = QStringLiteral("一\r二\n三\r\n四\u2028五\u00A0六\r");
    const QString file = QStringLiteral("分类A/文档1/") + kDesc;
    tree.WriteText(file, stored);
    dlg.LoadDirList();
    WaitUntilIdle(dlg);
    Select(QStringLiteral("/分类A/文档1"));
    ModalDriver unchanged([](QWidget* modal) { ModalDriver::Click(modal, "okButton"); });
    dlg.OnCommand(32789);
    WaitUntilIdle(dlg);
    EXPECT_EQ(tree.ReadBytes(file), Utf16File(stored));

    ModalDriver edited([](QWidget* modal) {
        auto* desc = modal->findChild<QPlainTextEdit*>(QStringLiteral("descEdit"));
        desc->setFocus();
        const auto moveTo = [desc](int position) {
            QTextCursor cursor = desc->textCursor();
            cursor.setPosition(position);
            desc->setTextCursor(cursor);
        };
        moveTo(1); // a new line before the stored lone CR
        QTest::keyClick(desc, Qt::Key_Return);
        moveTo(desc->document()->toRawText().indexOf(u'二') + 1); // the stored lone LF, taken out and entered anew
        QTest::keyClick(desc, Qt::Key_Delete);
        QTest::keyClick(desc, Qt::Key_Return);
        desc->moveCursor(QTextCursor::End);
        QTest::keyClick(desc, Qt::Key_X);
        // A mode chosen takes the entries in and puts them back.
        modal->findChild<QComboBox*>(QStringLiteral("modeCombo"))->setCurrentIndex(1);
        ModalDriver::Edit(modal, "specEdit")->setText(QStringLiteral("15"));
        ModalDriver::Click(modal, "okButton");
    });
    dlg.OnCommand(32789);
    WaitUntilIdle(dlg);
    EXPECT_EQ(ReadDirDesc(tree.Path(QStringLiteral("分类A/文档1"))),
              QStringLiteral("一\r\n\r二\r\n三\r\n四\u2028五\u00A0六\rx"));
    EXPECT_TRUE(messages.messages.isEmpty());
}

TEST_F(EditCommands, PickedFolderIsWrittenAndListReloaded)
{
    Select(QStringLiteral("/分类A/文档1"));
    shell.folders = { tree.Path(QStringLiteral("分类A/文档2/")) };
    ModalDriver driver([](QWidget* modal) {
        ModalDriver::Click(modal, "browseButton");
        modal->findChild<QPlainTextEdit*>(QStringLiteral("descEdit"))->setPlainText(QStringLiteral("别处"));
        ModalDriver::Click(modal, "okButton");
    });
    dlg.OnCommand(32789);
    WaitUntilIdle(dlg);
    ASSERT_TRUE(driver.seen.opened);
    EXPECT_FALSE(tree.Exists(QStringLiteral("分类A/文档1/") + kDesc));
    EXPECT_EQ(ReadDirDesc(tree.Path(QStringLiteral("分类A/文档2"))), QStringLiteral("别处"));
    // The rebuilt list shows what is stored; the selected row is not mislabelled.
    EXPECT_EQ(dlg.GetItemText(Row(QStringLiteral("/分类A/文档2")), 1), QStringLiteral("别处"));
    EXPECT_TRUE(dlg.GetItemText(Row(QStringLiteral("/分类A/文档1")), 1).isEmpty());
    EXPECT_EQ(dlg.GetSelectionMark(), -1);
}

TEST_F(EditCommands, ClearManageInfoDeletesBothFilesAndReloads)
{
    const QString folder = tree.Path(QStringLiteral("分类B"));
    ASSERT_TRUE(WriteScheduleFile(folder, Schedule(SCHED_MONTHLY, 8, 0, QStringLiteral("1"), -1, false)));
    dlg.LoadDirList();
    WaitUntilIdle(dlg);
    EXPECT_EQ(Rows(), QStringList({ QStringLiteral("/一级"), QStringLiteral("/分类A/文档1"),
                                    QStringLiteral("/分类A/文档2"), QStringLiteral("/分类B") }));
    Select(QStringLiteral("/分类B"));

    const QString question = folder + QStringLiteral("管理信息将被清除！是否继续？");
    messages.answers = { false };
    dlg.OnCommand(32797);
    WaitUntilIdle(dlg);
    EXPECT_EQ(messages.questions, QStringList{ question });
    EXPECT_TRUE(tree.Exists(QStringLiteral("分类B/") + kDesc));
    EXPECT_TRUE(tree.Exists(QStringLiteral("分类B/") + kTimer));

    messages.answers = { true };
    dlg.OnCommand(32797);
    WaitUntilIdle(dlg);
    EXPECT_FALSE(tree.Exists(QStringLiteral("分类B/") + kDesc));
    EXPECT_FALSE(tree.Exists(QStringLiteral("分类B/") + kTimer));
    // No longer managed, so its sub-folders are rows now.
    EXPECT_EQ(Rows(), QStringList({ QStringLiteral("/一级"), QStringLiteral("/分类A/文档1"),
                                    QStringLiteral("/分类A/文档2"), QStringLiteral("/分类B/子1") }));
    EXPECT_EQ(dlg.GetSelectionMark(), -1);

    // A description alone goes without a word.
    tree.WriteText(QStringLiteral("一级/") + kDesc, QStringLiteral("x"));
    dlg.LoadDirList();
    WaitUntilIdle(dlg);
    Select(QStringLiteral("/一级"));
    messages.answers = { true };
    dlg.OnCommand(32797);
    WaitUntilIdle(dlg);
    EXPECT_FALSE(tree.Exists(QStringLiteral("一级/") + kDesc));
    EXPECT_TRUE(messages.messages.isEmpty());
    EXPECT_EQ(messages.questions.size(), 3);
}

} // namespace
