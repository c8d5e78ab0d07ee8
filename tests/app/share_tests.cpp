// The settings dialog and the stop on a tree on a Samba share. tests/e2e/samba_e2e.sh mounts the
// share and runs these with QB_SHARE_ROOT set to an empty folder on it; without it they skip.
#include "app/quillbrookdlg.h"
#include "app/resource.h"
#include "platform/programstate.h"
#include "schedule/schedule.h"
#include "store/desc.h"
#include "testsupport.h"
#include "windowdriver.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// Every entry of folder, hidden ones too, sorted.
QStringList Entries(const QString& folder)
{
    QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    names.sort();
    return names;
}

void WriteUtf16(const QString& path, const QString& text)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(Utf16File(text));
}

// Fills the settings dialog once it runs modally and presses OK.
void AnswerSettings(const QString& desc, int mode, const QString& spec, const QString& hour, const QString& minute,
                    const QString& count, bool* opened)
{
    AnswerNextModal([=](QWidget* modal) {
        *opened = true;
        modal->findChild<QPlainTextEdit*>(QStringLiteral("descEdit"))->setPlainText(desc);
        modal->findChild<QComboBox*>(QStringLiteral("modeCombo"))->setCurrentIndex(mode);
        modal->findChild<QLineEdit*>(QStringLiteral("specEdit"))->setText(spec);
        modal->findChild<QLineEdit*>(QStringLiteral("hourEdit"))->setText(hour);
        modal->findChild<QLineEdit*>(QStringLiteral("minuteEdit"))->setText(minute);
        modal->findChild<QLineEdit*>(QStringLiteral("countEdit"))->setText(count);
        modal->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
    });
}

} // namespace

// On a share every save of the dialog and every stop failed ("…创建失败…", "…停止了定时发生了错误"):
// the program held the old file open while renaming the new one over it.
TEST(OnAShare, TheSettingsDialogSavesAndAStopStopsInAFolderSpeltAsAWindowsTreeSpellsIt)
{
    const QString root = qEnvironmentVariable("QB_SHARE_ROOT");
    if (root.isEmpty())
        GTEST_SKIP() << "QB_SHARE_ROOT is not set (tests/e2e/samba_e2e.sh sets it)";
    const QString windows = root + QStringLiteral("/团队/WIN 文件夹");
    const QString fresh = root + QStringLiteral("/团队/新文件夹");
    ASSERT_TRUE(QDir().mkpath(windows));
    ASSERT_TRUE(QDir().mkpath(fresh));
    WriteUtf16(windows + QStringLiteral("/QUILLBROOK.DESC"), QStringLiteral("旧描述"));
    WriteUtf16(windows + QStringLiteral("/QUILLBROOK.TIMER"), QStringLiteral("1;9;0;1\r\n2099-1-1,9,0\r\n3\r\n0"));

    RecordingMessagePort messages;
    RecordingShellPort shell;
    CQuillbrookDlg dlg;
    OpenWindow(dlg, root);
    dlg.Timer().stop();
    const int winRow = FindRow(dlg, QStringLiteral("/团队/WIN 文件夹"));
    const int freshRow = FindRow(dlg, QStringLiteral("/团队/新文件夹"));
    ASSERT_NE(winRow, -1);
    ASSERT_NE(freshRow, -1);
    EXPECT_EQ(dlg.GetItemText(winRow, 1), QStringLiteral("旧描述"));

    bool opened = false;
    dlg.SelectRow(winRow);
    AnswerSettings(QStringLiteral("团队的合同"), 1, QStringLiteral("15"), QStringLiteral("9"), QStringLiteral("30"),
                   QStringLiteral("5"), &opened);
    dlg.OnCommand(ID_SET_DESC_TIMER);
    ASSERT_TRUE(opened);
    EXPECT_TRUE(messages.messages.isEmpty()) << messages.messages.join(u'|').toStdString();
    EXPECT_EQ(ReadDirDesc(windows), QStringLiteral("团队的合同"));
    EXPECT_EQ(dlg.GetItemText(winRow, 1), QStringLiteral("团队的合同"));
    EXPECT_EQ(dlg.GetItemText(winRow, 2), QStringLiteral("每月15日9点30分触发"));
    // The files keep the names the Windows users gave them; nothing is left beside them.
    EXPECT_EQ(Entries(windows), (QStringList { QStringLiteral("QUILLBROOK.DESC"), QStringLiteral("QUILLBROOK.TIMER") }));

    opened = false;
    dlg.SelectRow(freshRow);
    AnswerSettings(QStringLiteral("新的"), 0, QStringLiteral("3-1"), QStringLiteral("8"), QStringLiteral("0"),
                   QStringLiteral("-1"), &opened);
    dlg.OnCommand(ID_SET_DESC_TIMER);
    ASSERT_TRUE(opened);
    EXPECT_TRUE(messages.messages.isEmpty()) << messages.messages.join(u'|').toStdString();
    EXPECT_EQ(Entries(fresh), (QStringList { QStringLiteral("Quillbrook.Timer"), QStringLiteral("Quillbrook.desc") }));
    EXPECT_EQ(dlg.GetItemText(freshRow, 2), QStringLiteral("每年3月1日8点0分触发"));

    dlg.SelectRow(winRow);
    dlg.OnCommand(ID_PAUSE_TIMER);
    EXPECT_EQ(messages.messages, QStringList { QStringLiteral("%1停止了定时！").arg(windows) });
    EXPECT_EQ(dlg.GetItemText(winRow, 3), QStringLiteral("已停止"));
    EXPECT_EQ(Entries(windows), (QStringList { QStringLiteral("QUILLBROOK.DESC"), QStringLiteral("QUILLBROOK.TIMER") }));
}
