#include "app/quillbrookdlg.h"
#include "platform/programstate.h"
#include "reminder/reminder.h"
#include "schedule/schedule.h"
#include "store/desc.h"
#include "testsupport.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

QStringList Entries(const TempTree& tree, const QString& folder)
{
    return QDir(tree.Path(folder)).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

// A tree copied from a file system that ignores case: the three names are found in any case, a
// write replaces the file found under its own name, removal removes it, and a new file gets the
// program's spelling.
TEST(FileNameCase, TheThreeNamesAreFoundInAnyCase)
{
    TempTree tree;
    RecordingMessagePort messages;
    RecordingShellPort shell;
    const ScopedTimeZone zone("UTC");
    tree.WriteText(QStringLiteral("F/quillbrook.desc"), QStringLiteral("旧"));
    tree.WriteText(QStringLiteral("F/QUILLBROOK.TIMER"), QStringLiteral("1;9;0;15\r\n2000-1-15,9,0\r\n-1\r\n0"));
    tree.WriteBytes(QStringLiteral("F/AUTO.BAT"), "true\n");
    tree.WriteText(QStringLiteral("G/QUILLBROOK.DESC"), QStringLiteral("upper"));
    tree.WriteText(QStringLiteral("G/Quillbrook.desc"), QStringLiteral("exact"));
    tree.WriteText(QStringLiteral("G/quillbrook.DESC"), QStringLiteral("mixed"));
    tree.WriteText(QStringLiteral("H/quillbrook.DESC"), QStringLiteral("mixed"));
    tree.WriteText(QStringLiteral("H/QUILLBROOK.DESC"), QStringLiteral("upper"));
    tree.MakeDir(QStringLiteral("N"));
    const QString f = tree.Path(QStringLiteral("F"));

    CQuillbrookDlg dlg;
    dlg.OnInitDialog(tree.Root());
    dlg.Timer().stop();
    QStringList rows;
    for (int row = 0; row < dlg.GetItemCount(); ++row)
        rows.append(dlg.GetItemText(row, 0) + u'|' + dlg.GetItemText(row, 1) + u'|' + dlg.GetItemText(row, 2));
    rows.sort();
    // The exact spelling first; among others the first in byte order.
    EXPECT_EQ(rows, (QStringList { QStringLiteral("/F|旧|每月15日9点0分触发"), QStringLiteral("/G|exact|"),
                                   QStringLiteral("/H|upper|"), QStringLiteral("/N||") }));
    EXPECT_TRUE(IsManagedDir(f));

    // Firing rewrites the schedule under its own name and starts AUTO.BAT.
    g_tNow = 1700000000; // 2023-11-14
    QString schedText, nextText;
    ASSERT_TRUE(FireDueReminder(f, schedText, nextText));
    EXPECT_EQ(nextText, QStringLiteral("2023-11-15 09:00"));
    EXPECT_EQ(shell.started, QStringList { f + QStringLiteral("/AUTO.BAT") });
    ASSERT_TRUE(WriteDirDesc(f, QStringLiteral("新")));
    EXPECT_EQ(Entries(tree, QStringLiteral("F")),
              (QStringList { QStringLiteral("AUTO.BAT"), QStringLiteral("QUILLBROOK.TIMER"), QStringLiteral("quillbrook.desc") }));
    EXPECT_EQ(tree.ReadBytes(QStringLiteral("F/quillbrook.desc")), Utf16File(QStringLiteral("新")));
    EXPECT_TRUE(tree.ReadBytes(QStringLiteral("F/QUILLBROOK.TIMER")).endsWith(Utf16File(QStringLiteral("2023-11-15,9,0\r\n-1\r\n0")).mid(2)));

    // A new folder's files get the program's spelling.
    const QString n = tree.Path(QStringLiteral("N"));
    ASSERT_TRUE(WriteDirDesc(n, QString()));
    ASSERT_TRUE(WriteScheduleFile(n, SCHED_NONE, 0, 0, QString(), 0, false));
    EXPECT_EQ(Entries(tree, QStringLiteral("N")), (QStringList { kTimerFileName, kDescFileName }));

    // Removing the management information removes the files found.
    dlg.LoadDirList();
    for (int row = 0; row < dlg.GetItemCount(); ++row) {
        if (dlg.GetItemText(row, 0) == QStringLiteral("/F"))
            dlg.SelectRow(row);
    }
    messages.answers = { true };
    dlg.OnClearManageInfo();
    EXPECT_EQ(Entries(tree, QStringLiteral("F")), QStringList { QStringLiteral("AUTO.BAT") });
    EXPECT_TRUE(messages.messages.isEmpty());
}
