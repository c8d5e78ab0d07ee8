#include "app/quillbrookdlg.h"
#include "platform/programstate.h"
#include "schedtest.h"
#include "schedule/schedule.h"
#include "testsupport.h"
#include "windowdriver.h"

#include <gtest/gtest.h>

namespace {

int RowOf(const CQuillbrookDlg& dlg, const QString& relative)
{
    for (int row = 0; row < dlg.GetItemCount(); ++row)
        if (dlg.GetItemText(row, 0) == relative)
            return row;
    return -1;
}

} // namespace

TEST(PauseTimer, StopsTheSelectedRowsSchedule)
{
    ScopedTimeZone tz("Asia/Shanghai");
    RecordingMessagePort messages;
    RecordingShellPort shell;
    TempTree tree;
    const QString timer = QStringLiteral("/Quillbrook.Timer");
    tree.WriteText(QStringLiteral("work/active/Quillbrook.desc"), QStringLiteral("active"));
    tree.WriteText(QStringLiteral("work/active") + timer,
                   QStringLiteral("2;9;5;2024-9-16,7\r\n2024-9-23,9,5\r\n2\r\n1"));
    tree.WriteText(QStringLiteral("work/plain/Quillbrook.desc"), QStringLiteral("plain"));
    tree.WriteText(QStringLiteral("work/broken/Quillbrook.desc"), QStringLiteral("broken"));
    tree.WriteText(QStringLiteral("work/broken") + timer, QStringLiteral("2;9;5;2024-9-16,7\r\n2024-9-23,9,5\r\n2\r\n1"));

    CQuillbrookDlg dlg;
    g_tNow = At(2024, 9, 20, 10, 0);
    OpenWindow(dlg, tree.Root());
    dlg.Timer().stop();
    g_tNow = At(2024, 9, 20, 10, 0);

    // Nothing selected: nothing happens.
    dlg.OnPauseTimer();
    WaitUntilIdle(dlg);
    EXPECT_TRUE(messages.messages.isEmpty());

    const int active = RowOf(dlg, QStringLiteral("/work/active"));
    ASSERT_NE(active, -1);
    EXPECT_EQ(dlg.GetItemText(active, 2), QStringLiteral("2024年9月16日起，每7天9点5分"));
    EXPECT_EQ(dlg.GetItemText(active, 3), QStringLiteral("2024-9-23 09:05"));
    dlg.SelectRow(active);
    dlg.OnPauseTimer();
    WaitUntilIdle(dlg);
    const QString activeFolder = tree.Path(QStringLiteral("work/active"));
    EXPECT_EQ(messages.messages, QStringList { activeFolder + QStringLiteral("停止了定时！") });
    EXPECT_EQ(dlg.GetItemText(active, 2), QStringLiteral("2024年9月16日起，每7天9点5分"));
    EXPECT_EQ(dlg.GetItemText(active, 3), QStringLiteral("已停止"));
    EXPECT_EQ(tree.ReadBytes(QStringLiteral("work/active") + timer),
              Utf16File(QStringLiteral("2;9;5;2024-9-16,7\r\n2024-9-23,9,5\r\n0\r\n1")));

    // A folder without a schedule: stopped, nothing created, empty schedule columns.
    messages.messages.clear();
    const int plain = RowOf(dlg, QStringLiteral("/work/plain"));
    ASSERT_NE(plain, -1);
    dlg.SetItemText(plain, 3, QStringLiteral("stale"));
    dlg.SelectRow(plain);
    dlg.OnPauseTimer();
    WaitUntilIdle(dlg);
    EXPECT_EQ(messages.messages, QStringList { tree.Path(QStringLiteral("work/plain")) + QStringLiteral("停止了定时！") });
    EXPECT_FALSE(tree.Exists(QStringLiteral("work/plain") + timer));
    EXPECT_TRUE(dlg.GetItemText(plain, 2).isEmpty());
    EXPECT_TRUE(dlg.GetItemText(plain, 3).isEmpty());

    // A damaged file (damaged after the list was loaded): deleted, two messages, row unchanged.
    messages.messages.clear();
    const int broken = RowOf(dlg, QStringLiteral("/work/broken"));
    ASSERT_NE(broken, -1);
    tree.WriteText(QStringLiteral("work/broken") + timer, QStringLiteral("2;9;5;2024-9-16,7"));
    dlg.SelectRow(broken);
    dlg.OnPauseTimer();
    WaitUntilIdle(dlg);
    const QString brokenFolder = tree.Path(QStringLiteral("work/broken"));
    EXPECT_EQ(messages.messages,
              (QStringList { QStringLiteral("获取定时信息错误，文件%1内容异常，已自动清理！").arg(brokenFolder + timer),
                             brokenFolder + QStringLiteral("停止了定时发生了错误") }));
    EXPECT_FALSE(tree.Exists(QStringLiteral("work/broken") + timer));
    EXPECT_EQ(dlg.GetItemText(broken, 3), QStringLiteral("2024-9-23 09:05"));

    // A file held by another process: reported, unchanged.
    messages.messages.clear();
    tree.WriteText(QStringLiteral("work/active") + timer, QStringLiteral("2;9;5;2024-9-16,7\r\n2024-9-23,9,5\r\n2\r\n1"));
    {
        HeldFile held(activeFolder + timer);
        ASSERT_TRUE(held.IsHeld());
        dlg.SelectRow(active);
        dlg.OnPauseTimer();
        WaitUntilIdle(dlg);
    }
    EXPECT_EQ(messages.messages,
              (QStringList { QStringLiteral("处理定时错误，%1打开失败！").arg(activeFolder + timer),
                             activeFolder + QStringLiteral("停止了定时发生了错误") }));
    EXPECT_EQ(tree.ReadBytes(QStringLiteral("work/active") + timer),
              Utf16File(QStringLiteral("2;9;5;2024-9-16,7\r\n2024-9-23,9,5\r\n2\r\n1")));
    EXPECT_EQ(dlg.GetItemText(active, 3), QStringLiteral("已停止"));
}
