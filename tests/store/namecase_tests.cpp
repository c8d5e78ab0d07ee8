#include "app/quillbrookdlg.h"
#include "platform/programstate.h"
#include "reminder/reminder.h"
#include "store/desc.h"
#include "testsupport.h"
#include "windowdriver.h"

#include <QDir>
#include <gtest/gtest.h>

// A tree copied from a file system that ignores case: the three names are found in any case (the
// program's spelling first), a write keeps the name found, removal removes the file found, and a
// new file gets the program's spelling.
TEST(FileNameCase, TheThreeNamesAreFoundInAnyCase)
{
    TempTree tree;
    RecordingMessagePort messages;
    RecordingShellPort shell;
    const ScopedTimeZone zone("UTC");
    tree.WriteText(QStringLiteral("F/quillbrook.desc"), QStringLiteral("旧"));
    tree.WriteText(QStringLiteral("F/QUILLBROOK.TIMER"), QStringLiteral("1;9;0;15\r\n2000-1-15,9,0\r\n-1\r\n0"));
    tree.WriteBytes(QStringLiteral("F/AUTO.BAT"), "");
    tree.WriteText(QStringLiteral("G/QUILLBROOK.DESC"), QStringLiteral("other"));
    tree.WriteText(QStringLiteral("G/Quillbrook.desc"), QStringLiteral("exact"));
    const QString f = tree.Path(QStringLiteral("F"));
    const auto entries = [&tree](const char* folder) {
        return QDir(tree.Path(QString::fromLatin1(folder))).entryList(QDir::Files, QDir::Name);
    };
    EXPECT_TRUE(IsManagedDir(f));
    EXPECT_EQ(ReadDirDesc(tree.Path(QStringLiteral("G"))), QStringLiteral("exact"));

    g_tNow = 1700000000; // 2023-11-14
    QString schedText, nextText;
    EXPECT_TRUE(FireDueReminder(f, schedText, nextText));
    EXPECT_EQ(nextText, QStringLiteral("2023-11-15 09:00"));
    EXPECT_EQ(shell.started, QStringList { f + QStringLiteral("/AUTO.BAT") });
    EXPECT_TRUE(WriteDirDesc(f, QStringLiteral("新")));
    EXPECT_EQ(ReadDirDesc(f), QStringLiteral("新"));
    EXPECT_EQ(entries("F"), (QStringList { QStringLiteral("AUTO.BAT"), QStringLiteral("QUILLBROOK.TIMER"),
                                          QStringLiteral("quillbrook.desc") }));
    tree.MakeDir(QStringLiteral("N"));
    EXPECT_TRUE(WriteDirDesc(tree.Path(QStringLiteral("N")), QString()));
    EXPECT_EQ(entries("N"), QStringList { kDescFileName });

    CQuillbrookDlg dlg;
    OpenWindow(dlg, tree.Root());
    for (int row = 0; row < dlg.GetItemCount(); ++row) {
        if (dlg.GetItemText(row, 0) == QStringLiteral("/F"))
            dlg.SelectRow(row);
    }
    messages.answers = { true };
    dlg.OnClearManageInfo();
    WaitUntilIdle(dlg);
    EXPECT_EQ(entries("F"), QStringList { QStringLiteral("AUTO.BAT") });
    EXPECT_TRUE(messages.messages.isEmpty());
}
