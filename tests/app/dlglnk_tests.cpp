#include "app/quillbrookdlg.h"
#include "app/resource.h"
#include "platform/localtime.h"
#include "platform/programstate.h"
#include "testsupport.h"
#include "windowdriver.h"

#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace {

QString Msg(const char* format, std::initializer_list<QString> values = {})
{
    return FormatMessage(QString::fromUtf8(format), values);
}

// The link dialog as a test drives it: found among the modal widgets, controls by object name.
struct LinkDialog
{
    QWidget* window = nullptr;
    QLineEdit* external = nullptr;
    QLineEdit* managed = nullptr;
    QPushButton* browse = nullptr;
    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;

    static LinkDialog Find()
    {
        LinkDialog d;
        d.window = QApplication::activeModalWidget();
        if (!d.window)
            return d;
        d.external = d.window->findChild<QLineEdit*>(QStringLiteral("externalDirEdit"));
        d.managed = d.window->findChild<QLineEdit*>(QStringLiteral("managedDirEdit"));
        d.browse = d.window->findChild<QPushButton*>(QStringLiteral("browseButton"));
        d.ok = d.window->findChild<QPushButton*>(QStringLiteral("okButton"));
        d.cancel = d.window->findChild<QPushButton*>(QStringLiteral("cancelButton"));
        return d;
    }
    bool Complete() const { return window && external && managed && browse && ok && cancel; }
    // Types the two paths and presses OK.
    void Submit(const QString& externalDir, const QString& managedDir) const
    {
        external->setText(externalDir);
        managed->setText(managedDir);
        ok->click();
    }
};

// Runs the link command with body driving its dialog; fails the test if the dialog never shows.
void RunLinkCommand(CQuillbrookDlg& main, const std::function<void(const LinkDialog&)>& body)
{
    bool ran = false;
    QTimer::singleShot(0, [&] {
        const LinkDialog d = LinkDialog::Find();
        ran = true;
        if (!d.Complete()) {
            ADD_FAILURE() << "link dialog or one of its controls not found";
            if (d.window)
                d.window->close();
            return;
        }
        body(d);
        if (d.window->isVisible()) // a body that left it open: end the run
            d.cancel->click();
    });
    main.OnCommand(ID_LINK_EXTERNAL);
    WaitUntilIdle(main);
    EXPECT_TRUE(ran);
}

struct MainWindowFixture : ::testing::Test
{
    void SetUp() override
    {
        tree.MakeDir(QStringLiteral("root/cat/doc"));
        tree.WriteText(QStringLiteral("root/cat/doc/Quillbrook.desc"), QStringLiteral("文档"));
        tree.WriteBytes(QStringLiteral("outside/o.txt"), "o");
        root = tree.Path(QStringLiteral("root"));
        outside = tree.Path(QStringLiteral("outside"));
        OpenWindow(main, root);
        main.Timer().stop();
    }

    RecordingMessagePort messages;
    RecordingShellPort shell;
    TempTree tree;
    QString root;
    QString outside;
    CQuillbrookDlg main;
};

using LinkDialogTest = MainWindowFixture;
using ArchiveCommandTest = MainWindowFixture;

} // namespace

TEST_F(LinkDialogTest, EveryMessageInOrderThenTheNewRow)
{
    ASSERT_EQ(Column0(main), QStringList { QStringLiteral("/cat/doc") });
    QStringList shown;
    RunLinkCommand(main, [&](const LinkDialog& d) {
        EXPECT_EQ(d.window->windowTitle(), QStringLiteral("创建软链接（用于引入外部目录）"));
        EXPECT_TRUE(d.ok->isDefault());
        const struct
        {
            QString external, managed, message;
        } steps[] = {
            { QString(), QString(), Msg("请选择外部目录！") },
            { tree.Path(QStringLiteral("missing")), QString(), Msg("外部目录异常！") },
            { root + QStringLiteral("/cat"), QString(), Msg("外部目录不应该包含管理的根目录！") },
            { outside, QStringLiteral("\\大类\\新目录"), Msg("管理目录需以‘/’开头！") },
            { outside, QStringLiteral("/../逃逸"), Msg("管理目录不能包含“..”！") },
            { outside, QStringLiteral("/cat/doc"), Msg("%s已存在，请更改目录名称！", { root + QStringLiteral("/cat/doc") }) },
            { outside, QStringLiteral("/甲/乙/丙"), Msg("%s创建失败！", { root + QStringLiteral("/甲/乙/丙") }) },
        };
        for (const auto& step : steps) {
            messages.messages.clear();
            d.Submit(step.external, step.managed);
            EXPECT_EQ(messages.messages, QStringList { step.message });
            // The dialog stays open with the input as typed.
            EXPECT_TRUE(d.window->isVisible());
            EXPECT_EQ(d.managed->text(), step.managed);
        }
        messages.messages.clear();
        d.Submit(outside, QStringLiteral("/大类/新目录"));
        EXPECT_TRUE(messages.messages.isEmpty());
        EXPECT_FALSE(d.window->isVisible());
    });
    EXPECT_FALSE(tree.Exists(QStringLiteral("逃逸")));
    EXPECT_FALSE(tree.Exists(QStringLiteral("root/甲")));
    EXPECT_EQ(QFileInfo(root + QStringLiteral("/大类/新目录")).symLinkTarget(), outside);
    // The list was loaded again and shows the linked folder (rows in file-system order).
    QStringList rows = Column0(main);
    rows.sort();
    EXPECT_EQ(rows, (QStringList { QStringLiteral("/cat/doc"), QStringLiteral("/大类/新目录") }));
}

TEST_F(LinkDialogTest, CancelChangesNothing)
{
    main.SetItemText(0, 1, QStringLiteral("not reloaded"));
    RunLinkCommand(main, [&](const LinkDialog& d) {
        d.external->setText(outside);
        d.managed->setText(QStringLiteral("/大类/新目录"));
        d.cancel->click();
        EXPECT_FALSE(d.window->isVisible());
    });
    EXPECT_TRUE(messages.messages.isEmpty());
    EXPECT_FALSE(tree.Exists(QStringLiteral("root/大类")));
    EXPECT_EQ(main.GetItemText(0, 1), QStringLiteral("not reloaded"));
}

TEST_F(LinkDialogTest, BrowseFillsTheOutsideFolder)
{
    shell.folders = QStringList { outside, QString() };
    RunLinkCommand(main, [&](const LinkDialog& d) {
        // An OK attempt stores both edits; the picker then shows what that attempt stored.
        d.Submit(tree.Path(QStringLiteral("missing")), QStringLiteral("/first"));
        EXPECT_EQ(messages.messages, QStringList { Msg("外部目录异常！") });
        d.managed->setText(QStringLiteral("/typed since"));
        d.browse->click();
        EXPECT_EQ(d.external->text(), outside);
        EXPECT_EQ(d.managed->text(), QStringLiteral("/first"));

        // A cancelled picker leaves the edits as they are.
        d.external->setText(QStringLiteral("/typed/by/hand"));
        d.browse->click();
        EXPECT_EQ(d.external->text(), QStringLiteral("/typed/by/hand"));
        EXPECT_EQ(d.managed->text(), QStringLiteral("/first"));
        d.cancel->click();
    });
    EXPECT_EQ(shell.browseTitles, (QStringList { QStringLiteral("请选择目录:"), QStringLiteral("请选择目录:") }));
    EXPECT_FALSE(tree.Exists(QStringLiteral("root/first")));
}

TEST_F(LinkDialogTest, ControlsStandInsideTheDialogInTheirOrder)
{
    RunLinkCommand(main, [&](const LinkDialog& d) {
        const QRect inside = d.window->rect();
        for (QWidget* w : std::initializer_list<QWidget*> { d.external, d.managed, d.browse, d.ok, d.cancel })
            EXPECT_TRUE(inside.contains(w->geometry())) << w->objectName().toStdString();
        EXPECT_LT(d.browse->geometry().bottom(), d.external->geometry().top());
        EXPECT_LT(d.external->geometry().bottom(), d.managed->geometry().top());
        EXPECT_LT(d.managed->geometry().bottom(), d.ok->geometry().top());
        EXPECT_LT(d.ok->geometry().right(), d.cancel->geometry().left());
        EXPECT_EQ(d.ok->geometry().top(), d.cancel->geometry().top());
        EXPECT_EQ(d.ok->text(), QStringLiteral("确定"));
        EXPECT_EQ(d.cancel->text(), QStringLiteral("取消"));
        EXPECT_EQ(d.browse->text(), QStringLiteral("浏览..."));
        d.cancel->click();
    });
}

TEST_F(ArchiveCommandTest, ArchivesTheSelectedRowIntoLastYear)
{
    tree.WriteBytes(QStringLiteral("root/cat/doc/a.txt"), "a");
    qint64 now = 0;
    ASSERT_TRUE(MakeLocalTime(2026, 3, 1, 9, 30, 0, now));
    g_tNow = now;

    // No row carries the selection mark: nothing happens.
    main.OnCommand(ID_ARCHIVE_PREV_YEAR);
    WaitUntilIdle(main);
    EXPECT_TRUE(messages.messages.isEmpty());
    EXPECT_FALSE(tree.Exists(QStringLiteral("root/cat/doc/2025")));

    main.SelectRow(0);
    main.OnCommand(ID_ARCHIVE_PREV_YEAR);
    WaitUntilIdle(main);
    const QString folder = root + QStringLiteral("/cat/doc");
    EXPECT_EQ(messages.messages, QStringList { Msg("%s成功归档到年份目录！", { folder }) });
    EXPECT_EQ(tree.ReadBytes(QStringLiteral("root/cat/doc/2025/a.txt")), QByteArray("a"));
    EXPECT_EQ(Column0(main), QStringList { QStringLiteral("/cat/doc") }); // not reloaded, nothing new shown

    // The description file has gone since the list was loaded.
    QFile::remove(folder + QStringLiteral("/Quillbrook.desc"));
    messages.messages.clear();
    main.OnCommand(ID_ARCHIVE_PREV_YEAR);
    WaitUntilIdle(main);
    EXPECT_EQ(messages.messages, QStringList { Msg("%s没有被管理，不能归档！", { folder }) });
}
