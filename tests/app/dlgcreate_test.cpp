#include "app/dlgunits.h"
#include "app/dlgcreate.h"
#include "testsupport.h"
#include "windowdriver.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

const QString kIntegerPrompt = QStringLiteral("请输入一个整数。");

// A dialog shown without a modal loop, as the command fills it; OK and Cancel close it.
class OpenDialog
{
public:
    explicit OpenDialog(const QString& path = QStringLiteral("/data/工作/合同"))
    {
        dlg.m_strPath = path;
    }
    void Open()
    {
        dlg.OnInitDialog();
        dlg.show();
    }
    template <class T>
    T* Find(const char* name)
    {
        T* widget = dlg.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QLineEdit* Edit(const char* name) { return Find<QLineEdit>(name); }
    void Ok() { Find<QPushButton>("okButton")->click(); }
    bool Accepted() const { return !dlg.isVisible() && dlg.result() == QDialog::Accepted; }
    bool StillOpen() const { return dlg.isVisible(); }

    RecordingMessagePort messages;
    DlgCreate dlg;
};

TEST(DlgCreate, TemplateTextsAndLayout)
{
    OpenDialog d;
    d.Open();
    EXPECT_EQ(d.dlg.windowTitle(), QStringLiteral("文档（按目录管理）设置"));
    EXPECT_TRUE(d.Edit("pathEdit")->isReadOnly());
    EXPECT_EQ(d.Find<QPushButton>("browseButton")->text(), QStringLiteral("..."));
    EXPECT_EQ(d.Find<QCheckBox>("weekendCheck")->text(), QStringLiteral("周末提前提醒"));
    EXPECT_TRUE(d.Find<QPushButton>("okButton")->isDefault());
    EXPECT_EQ(d.Find<QPushButton>("cancelButton")->text(), QStringLiteral("取消"));

    QComboBox* mode = d.Find<QComboBox>("modeCombo");
    ASSERT_EQ(mode->count(), 4);
    EXPECT_EQ(mode->itemText(0), QStringLiteral("每年触发"));
    EXPECT_EQ(mode->itemText(1), QStringLiteral("每月触发"));
    EXPECT_EQ(mode->itemText(2), QStringLiteral("每几天触发"));
    EXPECT_EQ(mode->itemText(3), QStringLiteral("每几个月触发"));
    EXPECT_EQ(mode->currentIndex(), -1);
    EXPECT_TRUE(d.Find<QLabel>("hintLabel")->text().isEmpty());

    // Positions come from the template's dialog units on the dialog's 8 pt font.
    EXPECT_EQ(d.dlg.font().pointSize(), 8);
    const DialogUnits du(d.dlg.font());
    EXPECT_EQ(d.dlg.size(), QSize(du.X(575), du.Y(257)));
    EXPECT_EQ(d.Find<QPushButton>("okButton")->geometry(), du.Rect(413, 219, 50, 14));
    EXPECT_EQ(d.Edit("countEdit")->geometry(), du.Rect(309, 172, 26, 14));
    EXPECT_EQ(d.Find<QPlainTextEdit>("descEdit")->geometry(), du.Rect(20, 65, 540, 44));

    // The tab order of the template.
    const char* order[] = { "pathEdit", "browseButton", "descEdit", "modeCombo", "specEdit", "hourEdit",
                            "minuteEdit", "countEdit", "weekendCheck", "okButton", "cancelButton" };
    QWidget* widget = d.Find<QWidget>(order[0]);
    for (size_t i = 1; i < std::size(order); ++i) {
        widget = widget->nextInFocusChain();
        while (widget && widget->focusPolicy() == Qt::NoFocus)
            widget = widget->nextInFocusChain();
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->objectName(), QString::fromLatin1(order[i]));
    }
    mode->setCurrentIndex(3);
    d.Edit("specEdit")->setText(QStringLiteral("2024-9-15,1"));
    d.dlg.grab().save(QDir::temp().filePath(QStringLiteral("dlgcreate.png")));
}

TEST(DlgCreate, ValidationOrderOnOk)
{
    OpenDialog d{ QString() };
    d.dlg.m_nHour = 24;
    d.dlg.m_nMinute = 60;
    d.Open();
    QPlainTextEdit* desc = d.Find<QPlainTextEdit>("descEdit");
    desc->setPlainText(QString(1001, u'档'));
    d.Find<QComboBox>("modeCombo")->setCurrentIndex(0);
    d.Edit("specEdit")->setText(QStringLiteral("13-1"));

    d.Ok();
    d.dlg.m_strPath = QStringLiteral("/data/a");
    d.dlg.UpdateData(false);
    d.Ok();
    desc->setPlainText(QString(1000, u'档'));
    d.Ok();
    d.Edit("hourEdit")->setText(QStringLiteral("-1"));
    d.Edit("minuteEdit")->setText(QStringLiteral("0"));
    d.Ok();
    d.Edit("hourEdit")->setText(QStringLiteral("23"));
    d.Edit("minuteEdit")->setText(QStringLiteral("60"));
    d.Ok();
    d.Edit("minuteEdit")->setText(QStringLiteral("59"));
    d.Ok();
    EXPECT_EQ(d.messages.messages,
              QStringList({ QStringLiteral("未指定目录！"), QStringLiteral("描述文字不能超过1000个文字！"),
                            QStringLiteral("小时不正确！"), QStringLiteral("时间点不完整！"),
                            QStringLiteral("分钟不正确！"), QStringLiteral("每年触发触发，但月份不正确！") }));
    EXPECT_TRUE(d.StillOpen());
    // A refusal leaves every entry as typed.
    EXPECT_EQ(d.Edit("specEdit")->text(), QStringLiteral("13-1"));
    EXPECT_EQ(desc->toPlainText().size(), 1000);

    d.Edit("specEdit")->setText(QStringLiteral("2-29"));
    d.Ok();
    EXPECT_TRUE(d.Accepted());
    EXPECT_EQ(d.messages.messages.size(), 6);
    EXPECT_EQ(d.dlg.m_nMode, 0);
    EXPECT_EQ(d.dlg.m_strSpec, QStringLiteral("2-29"));
    EXPECT_EQ(d.dlg.m_nHour, 23);
    EXPECT_EQ(d.dlg.m_nMinute, 59);
    EXPECT_EQ(d.dlg.m_strDesc, QString(1000, u'档'));
}

TEST(DlgCreate, NoModeAcceptsAnyTimeAndSpec)
{
    OpenDialog d;
    d.Open();
    d.Edit("hourEdit")->setText(QStringLiteral("99"));
    d.Edit("minuteEdit")->setText(QStringLiteral("-1"));
    d.Edit("countEdit")->setText(QStringLiteral("0"));
    d.Edit("specEdit")->setText(QStringLiteral("what ever"));
    d.Ok();
    EXPECT_TRUE(d.Accepted());
    EXPECT_TRUE(d.messages.messages.isEmpty());
    EXPECT_EQ(d.dlg.m_nMode, -1);
    EXPECT_EQ(d.dlg.m_nHour, 99);
    EXPECT_EQ(d.dlg.m_nMinute, -1);
    EXPECT_EQ(d.dlg.m_nCount, 0);
}

// Taking a box that holds no integer stops the exchange there; the tests on OK still run, and the
// closing exchange fails again, so the dialog stays open.
TEST(DlgCreate, NonIntegerBoxStopsTheExchange)
{
    OpenDialog d;
    d.dlg.m_nHour = 8;
    d.dlg.m_nMinute = 30;
    d.dlg.m_nCount = 5;
    d.dlg.m_bWeekend = false;
    d.Open();
    d.Find<QPlainTextEdit>("descEdit")->setPlainText(QStringLiteral("新描述"));
    d.Edit("hourEdit")->setText(QStringLiteral("9"));
    d.Edit("minuteEdit")->setText(QStringLiteral("3O")); // letter O
    d.Edit("countEdit")->setText(QStringLiteral("7"));
    d.Find<QCheckBox>("weekendCheck")->setChecked(true);

    EXPECT_FALSE(d.dlg.UpdateData(true));
    EXPECT_EQ(d.messages.messages, QStringList{ kIntegerPrompt });
    EXPECT_EQ(d.dlg.m_strDesc, QStringLiteral("新描述"));
    EXPECT_EQ(d.dlg.m_nHour, 9);    // before the bad box: taken
    EXPECT_EQ(d.dlg.m_nMinute, 30); // the bad box and everything after it: unchanged
    EXPECT_EQ(d.dlg.m_nCount, 5);
    EXPECT_FALSE(d.dlg.m_bWeekend);
    EXPECT_EQ(d.dlg.focusWidget(), d.Edit("minuteEdit"));

    // With no mode the tests pass, but the closing exchange fails: two prompts, still open.
    d.messages.messages.clear();
    d.Ok();
    EXPECT_EQ(d.messages.messages, QStringList({ kIntegerPrompt, kIntegerPrompt }));
    EXPECT_TRUE(d.StillOpen());

    // The count box alone.
    d.messages.messages.clear();
    d.Edit("minuteEdit")->setText(QStringLiteral("31"));
    d.Edit("countEdit")->setText(QString());
    d.Ok();
    EXPECT_EQ(d.messages.messages, QStringList({ kIntegerPrompt, kIntegerPrompt }));
    EXPECT_TRUE(d.StillOpen());
    EXPECT_EQ(d.dlg.focusWidget(), d.Edit("countEdit"));

    d.Edit("countEdit")->setText(QStringLiteral(" -1 "));
    d.Ok();
    EXPECT_TRUE(d.Accepted());
    EXPECT_EQ(d.dlg.m_nMinute, 31);
    EXPECT_EQ(d.dlg.m_nCount, -1);
    EXPECT_TRUE(d.dlg.m_bWeekend);
}

// A prompt from the first exchange comes before the dialog's own message.
TEST(DlgCreate, IntegerPromptPrecedesOwnTests)
{
    OpenDialog d;
    d.Open();
    d.Find<QComboBox>("modeCombo")->setCurrentIndex(1);
    d.Edit("hourEdit")->setText(QStringLiteral("abc"));
    d.Edit("minuteEdit")->setText(QStringLiteral("0"));
    d.Edit("specEdit")->setText(QStringLiteral("0"));
    d.Ok();
    EXPECT_EQ(d.messages.messages, QStringList({ kIntegerPrompt, QStringLiteral("每月触发，但日期不正确！") }));
    EXPECT_TRUE(d.StillOpen());
}

TEST(DlgCreate, WeekendNoticeForShortIntervals)
{
    for (const int interval : { 1, 2, 3 }) {
        SCOPED_TRACE(interval);
        OpenDialog d;
        d.Open();
        d.Find<QComboBox>("modeCombo")->setCurrentIndex(2);
        d.Edit("specEdit")->setText(QStringLiteral("2024-9-15,%1").arg(interval));
        d.Find<QCheckBox>("weekendCheck")->setChecked(true);
        d.Ok();
        EXPECT_TRUE(d.Accepted());
        if (interval <= 2) {
            EXPECT_EQ(d.messages.messages,
                      QStringList{ QStringLiteral("每几天触发，但间隔天数少于2天，周末提前自动忽略！") });
            EXPECT_FALSE(d.dlg.m_bWeekend); // cleared although the box was ticked
        } else {
            EXPECT_TRUE(d.messages.messages.isEmpty());
            EXPECT_TRUE(d.dlg.m_bWeekend);
        }
        EXPECT_EQ(d.dlg.m_nMode, 2);
    }
}

TEST(DlgCreate, ModeChangeEmptiesSpecAndShowsHint)
{
    OpenDialog d;
    d.dlg.m_nMode = 2;
    d.dlg.m_strSpec = QStringLiteral("2024-9-15,3");
    d.Open();
    QComboBox* mode = d.Find<QComboBox>("modeCombo");
    QLabel* hint = d.Find<QLabel>("hintLabel");
    // The caller's schedule text stays when the dialog opens.
    EXPECT_EQ(mode->currentIndex(), 2);
    EXPECT_EQ(d.Edit("specEdit")->text(), QStringLiteral("2024-9-15,3"));
    EXPECT_EQ(hint->text(), QStringLiteral("如：2024-9-15,1 表示从2024年9月15日开始，每1天触发一次"));

    d.Edit("hourEdit")->setText(QStringLiteral("6"));
    mode->setCurrentIndex(0);
    EXPECT_TRUE(d.Edit("specEdit")->text().isEmpty());
    EXPECT_EQ(hint->text(), QStringLiteral("如：2-29 表示每年2月29日触发，无此日期则前推"));
    EXPECT_EQ(d.Edit("hourEdit")->text(), QStringLiteral("6")); // other entries survive the round trip
    d.Edit("specEdit")->setText(QStringLiteral("5"));
    mode->setCurrentIndex(1);
    EXPECT_TRUE(d.Edit("specEdit")->text().isEmpty());
    EXPECT_EQ(hint->text(), QStringLiteral("如：31 表示每月31日触发，无此日期则前推"));
    mode->setCurrentIndex(3);
    EXPECT_EQ(hint->text(), QStringLiteral("如：2024-9-15,1 表示从2024年9月15日开始，每1个月触发一次"));

    // A mode the list does not hold selects nothing and shows no hint; OK hands back -1.
    OpenDialog odd;
    odd.dlg.m_nMode = 7;
    odd.dlg.m_strSpec = QStringLiteral("x");
    odd.Open();
    EXPECT_EQ(odd.Find<QComboBox>("modeCombo")->currentIndex(), -1);
    EXPECT_TRUE(odd.Find<QLabel>("hintLabel")->text().isEmpty());
    odd.Ok();
    EXPECT_TRUE(odd.Accepted());
    EXPECT_EQ(odd.dlg.m_nMode, -1);
}

TEST(DlgCreate, ScheduleTextTheFileCannotKeepIsRefused)
{
    OpenDialog d;
    d.Open();
    d.Find<QComboBox>("modeCombo")->setCurrentIndex(2);
    d.Edit("specEdit")->setText(QStringLiteral("2024-9-15, 3"));
    d.Ok();
    d.Edit("specEdit")->setText(QStringLiteral("2024-9-15,3") + QString(53, u'9'));
    d.Ok();
    EXPECT_EQ(d.messages.messages, QStringList({ QStringLiteral("每几天触发，但格式不正确！"),
                                                 QStringLiteral("每几天触发，但格式不正确！") }));
    EXPECT_TRUE(d.StillOpen());
}

TEST(DlgCreate, BrowseReplacesPathAndRefreshesControls)
{
    RecordingShellPort shell;
    OpenDialog d;
    d.dlg.m_strDesc = QStringLiteral("旧");
    d.Open();

    // Cancelled: nothing changes, typed text stays.
    d.Find<QPlainTextEdit>("descEdit")->setPlainText(QStringLiteral("新"));
    d.Find<QPushButton>("browseButton")->click();
    EXPECT_EQ(shell.browseTitles, QStringList{ QStringLiteral("请选择目录:") });
    EXPECT_EQ(d.Edit("pathEdit")->text(), QStringLiteral("/data/工作/合同"));
    EXPECT_EQ(d.Find<QPlainTextEdit>("descEdit")->toPlainText(), QStringLiteral("新"));

    // Chosen: trailing separators go, and the members are put back into every control.
    shell.folders = { QStringLiteral("/mnt/外部//"), QStringLiteral("///") };
    d.Find<QPushButton>("browseButton")->click();
    EXPECT_EQ(d.dlg.m_strPath, QStringLiteral("/mnt/外部"));
    EXPECT_EQ(d.Edit("pathEdit")->text(), QStringLiteral("/mnt/外部"));
    EXPECT_EQ(d.Find<QPlainTextEdit>("descEdit")->toPlainText(), QStringLiteral("旧"));
    d.Find<QPushButton>("browseButton")->click();
    EXPECT_EQ(d.dlg.m_strPath, QStringLiteral("/")); // the root keeps its one separator
}

TEST(DlgCreate, DescriptionLineBreaksAreCrLf)
{
    OpenDialog d;
    d.dlg.m_strDesc = QStringLiteral("第一行\r\n第二行");
    d.Open();
    EXPECT_EQ(d.Find<QPlainTextEdit>("descEdit")->toPlainText(), QStringLiteral("第一行\n第二行"));
    // Enter in the description box is a line break, not OK.
    QPlainTextEdit* desc = d.Find<QPlainTextEdit>("descEdit");
    desc->setFocus();
    desc->moveCursor(QTextCursor::End);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QApplication::sendEvent(desc, &press);
    EXPECT_TRUE(d.StillOpen());
    EXPECT_EQ(desc->toPlainText(), QStringLiteral("第一行\n第二行\n"));
    d.Ok();
    EXPECT_TRUE(d.Accepted());
    EXPECT_EQ(d.dlg.m_strDesc, QStringLiteral("第一行\r\n第二行\r\n"));

    // A line break counts as two characters against the limit, as stored.
    OpenDialog full;
    full.Open();
    full.Find<QPlainTextEdit>("descEdit")->setPlainText(QString(998, u'a') + u'\n' + u'b');
    full.Ok();
    EXPECT_EQ(full.messages.messages, QStringList{ QStringLiteral("描述文字不能超过1000个文字！") });
}

TEST(DlgCreate, ModalRunAndCancel)
{
    RecordingMessagePort messages;
    {
        DlgCreate dlg;
        dlg.m_strPath = QStringLiteral("/x");
        dlg.m_nMode = 1;
        dlg.m_strSpec = QStringLiteral("31");
        dlg.m_nCount = 3;
        AnswerNextModal([](QWidget* modal) {
            modal->findChild<QLineEdit*>(QStringLiteral("hourEdit"))->setText(QStringLiteral("7"));
            modal->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
        });
        EXPECT_EQ(dlg.DoModal(), QDialog::Accepted);
        EXPECT_EQ(dlg.m_nMode, 1);
        EXPECT_EQ(dlg.m_strSpec, QStringLiteral("31"));
        EXPECT_EQ(dlg.m_nHour, 7);
        EXPECT_EQ(dlg.m_nCount, 3);
    }
    {
        DlgCreate dlg;
        AnswerNextModal([](QWidget* modal) {
            // Cancel runs no test: the path is empty.
            modal->findChild<QPushButton*>(QStringLiteral("cancelButton"))->click();
        });
        EXPECT_EQ(dlg.DoModal(), QDialog::Rejected);
    }
    EXPECT_TRUE(messages.messages.isEmpty());
}

} // namespace
