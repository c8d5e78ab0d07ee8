// The list utility commands: clipboard text, opening a folder, reloading, the help document.
#include "app/quillbrookdlg.h"
#include "app/resource.h"
#include "store/textfile.h"
#include "testsupport.h"
#include "windowdriver.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QItemSelectionModel>
#include <QTreeView>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

class ListCommands : public ::testing::Test
{
protected:
    void Init()
    {
        OpenWindow(dlg, tree.Root());
        dlg.Timer().stop();
    }

    void SetRows(const QList<QStringList>& rows) { ::SetRows(dlg, rows); }

    QStringList RowNames() const
    {
        QStringList names;
        for (int row = 0; row < dlg.GetItemCount(); ++row)
            names.append(dlg.GetItemText(row, 0));
        return names;
    }

    TempTree tree;
    RecordingMessagePort messages;
    RecordingShellPort shell;
    CQuillbrookDlg dlg;
};

} // namespace

TEST_F(ListCommands, CopiesEveryRowWithSeparatorsAndLineEnds)
{
    Init();
    SetRows({
        { QStringLiteral("/Contracts/2025"), QString(), QStringLiteral("每月5日9点0分触发"), QStringLiteral("2026-1-5 09:00") },
        { QStringLiteral("/税务/申报"), QStringLiteral("第一行\r\n第二行"), QString(), QString() },
        { QStringLiteral("/空"), QString(), QString(), QString() },
    });
    QGuiApplication::clipboard()->setText(QStringLiteral("stale"));
    dlg.OnCommand(ID_COPY_LIST);
    WaitUntilIdle(dlg);

    const QString expected = QStringLiteral("/Contracts/2025>>每月5日9点0分触发>2026-1-5 09:00\r\n"
                                            "/税务/申报>第一行\r\n第二行>>\r\n"
                                            "/空>>>\r\n");
    const QString copied = QGuiApplication::clipboard()->text();
    EXPECT_EQ(EncodeUtf16Le(copied), EncodeUtf16Le(expected));
    EXPECT_EQ(copied.count(u'>'), 9);
    EXPECT_TRUE(messages.messages.isEmpty());
}

TEST_F(ListCommands, CopiesLongRowsWholeAndCutsEachCellTo1023)
{
    Init();
    const QString a(1023, u'甲'), b(1023, u'b'), c(1023, u'丙'), d(1023, u'd');
    SetRows({ { a, b, c, d }, { a + u'X', QString(), QString(), d + QStringLiteral("YZ") } });

    const QString expected = a + u'>' + b + u'>' + c + u'>' + d + QStringLiteral("\r\n")
        + a + QStringLiteral(">>>") + d + QStringLiteral("\r\n");
    QGuiApplication::clipboard()->setText(QStringLiteral("stale"));
    dlg.OnCopyListToClipboard();
    const QString copied = QGuiApplication::clipboard()->text();
    EXPECT_EQ(copied.size(), 4 * 1023 + 3 + 2 + 2 * 1023 + 3 + 2);
    EXPECT_TRUE(copied == expected);
}

TEST_F(ListCommands, CopyingAnEmptyListLeavesAnEmptyText)
{
    Init();
    ASSERT_EQ(dlg.GetItemCount(), 0);
    QGuiApplication::clipboard()->setText(QStringLiteral("stale"));
    dlg.OnCopyListToClipboard();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString());
    EXPECT_TRUE(messages.messages.isEmpty());
}

TEST_F(ListCommands, OpensTheSelectedRowsFolderAndNothingWithoutOne)
{
    tree.MakeDir(QStringLiteral("客户/甲方"));
    QTemporaryDir outside;
    tree.Symlink(outside.path(), QStringLiteral("客户/外部"));
    Init();
    ASSERT_EQ(dlg.GetItemCount(), 2);

    dlg.OnCommand(ID_OPEN_DIR);

    WaitUntilIdle(dlg);
    EXPECT_TRUE(shell.opened.isEmpty());

    dlg.SelectRow(1);
    dlg.OnCommand(ID_OPEN_DIR);
    WaitUntilIdle(dlg);
    // A linked folder opens at its place in the tree, not at its target.
    ASSERT_EQ(shell.opened.size(), 1);
    EXPECT_EQ(shell.opened[0], tree.Root() + dlg.GetItemText(1, 0));
    EXPECT_TRUE(shell.opened[0].startsWith(tree.Path(QStringLiteral("客户/"))));
    EXPECT_TRUE(messages.messages.isEmpty());
}

TEST_F(ListCommands, ReloadGivesTheSameRowsWithoutSelection)
{
    for (const char* dir : { "A", "B/B1", "B/B2", "C" })
        tree.MakeDir(QString::fromUtf8(dir));
    tree.WriteText(QStringLiteral("B/B2/Quillbrook.desc"), QStringLiteral("描述"));
    Init();
    const QStringList before = RowNames();
    ASSERT_EQ(before.size(), 4);
    dlg.SelectRow(2);
    ASSERT_EQ(dlg.GetSelectionMark(), 2);

    dlg.OnCommand(ID_RELOAD);

    WaitUntilIdle(dlg);
    EXPECT_EQ(RowNames(), before);
    EXPECT_EQ(dlg.GetSelectionMark(), -1);
    EXPECT_TRUE(dlg.ListControl()->selectionModel()->selectedRows().isEmpty());

    // A folder that appeared since is picked up, one that vanished is gone.
    tree.MakeDir(QStringLiteral("D"));
    ASSERT_TRUE(QDir(tree.Path(QStringLiteral("C"))).removeRecursively());
    dlg.OnReload();
    WaitUntilIdle(dlg);
    QStringList expected = before;
    expected.removeOne(QStringLiteral("/C"));
    expected.append(QStringLiteral("/D"));
    QStringList now = RowNames();
    std::sort(expected.begin(), expected.end());
    std::sort(now.begin(), now.end());
    EXPECT_EQ(now, expected);
}

TEST_F(ListCommands, HelpOpensTheDocumentBesideTheProgramEvenWhenMissing)
{
    Init();
    dlg.OnCommand(ID_HELP);
    WaitUntilIdle(dlg);
    tree.WriteBytes(QStringLiteral("说明.pdf"), QByteArrayLiteral("%PDF-1.4\n"));
    dlg.OnHelpPdf();
    EXPECT_EQ(shell.opened, (QStringList { tree.Root() + QStringLiteral("/说明.pdf"), tree.Root() + QStringLiteral("/说明.pdf") }));
    EXPECT_TRUE(messages.messages.isEmpty());
}
