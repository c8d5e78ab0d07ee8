// The pass as the user meets it: the window's tick over a real tree, the workers' check first.
#include "app/quillbrookdlg.h"
#include "platform/localtime.h"
#include "platform/programstate.h"
#include "schedule/schedule.h"
#include "testsupport.h"
#include "windowdriver.h"

#include <gtest/gtest.h>

namespace {

qint64 s_now = 0;
qint64 TestNow() { return s_now; }

const QString kOverdue = QStringLiteral("1;10;0;8\r\n2026-12-8,10,0\r\n-1\r\n0");

// A window on root with its timer stopped: each Tick runs one pass at the next minute.
struct Ticked
{
    explicit Ticked(const QString& root)
    {
        SetTimeSource(&TestNow);
        OpenWindow(dlg, root);
        dlg.Timer().stop();
    }
    ~Ticked() { SetTimeSource(nullptr); }
    void Tick()
    {
        s_now += 61;
        ::Tick(dlg);
    }
    CQuillbrookDlg dlg;
};

class Pass : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(MakeLocalTime(2026, 12, 9, 9, 0, 0, s_now)); }

    ScopedTimeZone zone { "Asia/Shanghai" };
    TempTree tree;
    RecordingMessagePort messages;
    RecordingShellPort shell;
};

} // namespace

TEST_F(Pass, FilesSpeltInAnyCaseFireAsTheProgramsOwnDo)
{
    // As copied from a Windows share, and as another tool spells them.
    tree.MakeDir(QStringLiteral("类/upper"));
    tree.WriteText(QStringLiteral("类/upper/QUILLBROOK.TIMER"), kOverdue);
    tree.WriteText(QStringLiteral("类/upper/quillbrook.desc"), QStringLiteral("合同"));
    tree.WriteBytes(QStringLiteral("类/upper/AUTO.BAT"), "true\n");
    tree.MakeDir(QStringLiteral("类/lower"));
    tree.WriteText(QStringLiteral("类/lower/quillbrook.timer"), kOverdue);
    Ticked window(tree.Root());
    window.Tick();

    EXPECT_TRUE(messages.messages.isEmpty()) << messages.messages.join(u'\n').toStdString();
    EXPECT_EQ(shell.opened.size(), 2);
    EXPECT_TRUE(shell.opened.contains(tree.Path(QStringLiteral("类/upper"))));
    EXPECT_TRUE(shell.opened.contains(tree.Path(QStringLiteral("类/lower"))));
    EXPECT_EQ(shell.started, QStringList { tree.Path(QStringLiteral("类/upper/AUTO.BAT")) });
    // Each file was advanced where it lies; no second file in the program's spelling.
    for (const char* file : { "类/upper/QUILLBROOK.TIMER", "类/lower/quillbrook.timer" })
        EXPECT_TRUE(tree.ReadBytes(QString::fromUtf8(file)).startsWith(Utf16File(QStringLiteral("1;10;0;8\r\n2027-1-8,10,0"))))
            << file;
    EXPECT_FALSE(tree.Exists(QStringLiteral("类/upper/") + kTimerFileName));
    EXPECT_FALSE(tree.Exists(QStringLiteral("类/lower/") + kTimerFileName));
}

TEST_F(Pass, AConditionThatEndsAndComesBackIsSaidAgain)
{
    tree.MakeDir(QStringLiteral("类/夹"));
    const QString timer = QStringLiteral("类/夹/") + kTimerFileName;
    tree.WriteText(timer, QStringLiteral("1;10;0;8\r\n2027-1-8,10,0\r\n-1\r\n0"));
    Ticked window(tree.Root());
    const QString held = QStringLiteral("处理定时错误，") + tree.Path(timer) + QStringLiteral("打开失败！");
    {
        const HeldFile other(tree.Path(timer));
        window.Tick();
        window.Tick(); // the same condition is said once
    }
    window.Tick(); // free and not due
    {
        const HeldFile other(tree.Path(timer));
        window.Tick();
    }
    EXPECT_EQ(messages.messages, (QStringList { held, held }));
    EXPECT_TRUE(shell.opened.isEmpty());
}

TEST_F(Pass, AFiringThatCannotGoOnIsSaidWhileItsFileIsStillThere)
{
    // Due, but its day cannot give a next trigger: the file goes, after the message.
    tree.MakeDir(QStringLiteral("类/坏"));
    const QString timer = QStringLiteral("类/坏/") + kTimerFileName;
    tree.WriteText(timer, QStringLiteral("1;9;0;0\r\n2026-12-8,10,0\r\n-1\r\n0"));
    Ticked window(tree.Root());
    bool thereDuringMessage = false;
    messages.onMessage = [&](const QString&) { thereDuringMessage = tree.Exists(timer); };
    window.Tick();
    ASSERT_EQ(messages.messages.size(), 1);
    EXPECT_TRUE(messages.messages.first().contains(QStringLiteral("初始化发生错误，已自动清理！")));
    EXPECT_TRUE(thereDuringMessage);
    EXPECT_FALSE(tree.Exists(timer));
    EXPECT_TRUE(shell.opened.isEmpty());
}
