// The two search buttons driven through the main window.
#include "app/quillbrookdlg.h"
#include "search/search.h"
#include "testsupport.h"
#include "windowdriver.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

namespace {

class SearchWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        OpenWindow(dlg, tree.Root());
        dlg.Timer().stop();
        edit = dlg.findChild<QLineEdit*>(QStringLiteral("searchEdit"));
        ASSERT_NE(edit, nullptr);
    }

    // Puts rows into the list as a load would, without touching the disk.
    void SetRows(const QList<QStringList>& rows) { ::SetRows(dlg, rows); }

    void Search(const QString& text)
    {
        edit->setText(text);
        dlg.findChild<QPushButton*>(QStringLiteral("searchButton"))->click();
    }
    void Next() { dlg.findChild<QPushButton*>(QStringLiteral("nextButton"))->click(); }

    // The selected row, checked to be the selection mark, the current row and the focused widget.
    int Selected()
    {
        const int row = SelectedRow(dlg);
        if (row < 0)
            return -1;
        EXPECT_EQ(dlg.GetSelectionMark(), row);
        EXPECT_EQ(CurrentRow(dlg), row);
        EXPECT_EQ(dlg.focusWidget(), dlg.ListControl());
        return row;
    }

    TempTree tree;
    RecordingMessagePort messages;
    CQuillbrookDlg dlg;
    QLineEdit* edit = nullptr;
};

const QString kNoMatch = QStringLiteral("没有匹配项！");
const QString kAtEnd = QStringLiteral("已到最后！");
const QString kTooMany = QStringLiteral("最多支持10个搜索词！");

} // namespace

TEST_F(SearchWindow, StepsThroughThirteenEqualMatchesInKeyOrder)
{
    QList<QStringList> rows;
    for (int i = 0; i <= 12; ++i)
        rows.append({ QStringLiteral("/项目/%1").arg(i), QStringLiteral("报价单"), QString(), QString() });
    SetRows(rows);

    Search(QStringLiteral("报价"));
    QList<int> visited { Selected() };
    for (int i = 0; i < 12; ++i) {
        Next();
        visited.append(Selected());
    }
    EXPECT_EQ(visited, (QList<int> { 9, 8, 7, 6, 5, 4, 3, 2, 12, 11, 10, 1, 0 }));
    EXPECT_TRUE(messages.messages.isEmpty());

    // Past the first key every click says so; the selection stays on the last match shown.
    Next();
    Next();
    EXPECT_EQ(messages.messages, (QStringList { kAtEnd, kAtEnd }));
    EXPECT_EQ(g_nMatchPos, -2);
    EXPECT_EQ(Selected(), 0);

    // A new search starts over.
    Search(QStringLiteral("报价"));
    EXPECT_EQ(Selected(), 9);
    EXPECT_EQ(g_nMatchPos, 12);
}

TEST_F(SearchWindow, RanksByTermsFoundAcrossAllFourColumns)
{
    SetRows({
        { QStringLiteral("/a"), QStringLiteral("alpha"), QString(), QString() },
        { QStringLiteral("/b"), QString(), QStringLiteral("每月5日9点0分触发"), QString() },
        { QStringLiteral("/c"), QStringLiteral("ABC"), QString(), QString() },
        { QStringLiteral("/d"), QStringLiteral("每月"), QString(), QStringLiteral("2026-1-5 09:00") },
        { QStringLiteral("/e"), QString(), QString(), QString() },
        { QStringLiteral("/f"), QStringLiteral("alpha"), QStringLiteral("每月1日"), QString() },
    });

    // Row 5 holds two terms, row 0 and row 3 one each.
    Search(QStringLiteral("alpha|2026"));
    EXPECT_EQ(Selected(), 5);
    Next();
    EXPECT_EQ(Selected(), 3);
    Next();
    EXPECT_EQ(Selected(), 0);

    // The same term twice counts twice, but still only against rows that hold it.
    Search(QStringLiteral("每月|每月"));
    EXPECT_EQ(g_arrMatchKeys, (QStringList { QStringLiteral("2,1"), QStringLiteral("2,3"), QStringLiteral("2,5") }));
    EXPECT_EQ(Selected(), 5);

    // Columns are joined without a separator, so a term may span two of them.
    Search(QStringLiteral("/dd每"));
    EXPECT_EQ(messages.messages, QStringList { kNoMatch });
    Search(QStringLiteral("/d每月2026"));
    EXPECT_EQ(Selected(), 3);
    EXPECT_EQ(g_arrRowTexts.value(3), QStringLiteral("/d每月2026-1-5 09:00"));

    // Case matters.
    messages.messages.clear();
    Search(QStringLiteral("abc"));
    EXPECT_EQ(messages.messages, QStringList { kNoMatch });
    EXPECT_EQ(g_nMatchPos, -1);
    Search(QStringLiteral("ABC"));
    EXPECT_EQ(Selected(), 2);
}

TEST_F(SearchWindow, TakesNineTermsAndRefusesTen)
{
    SetRows({ { QStringLiteral("/x"), QStringLiteral("i"), QString(), QString() } });
    const QString nine = QStringLiteral("a|b|c|d|e|f|g|h|i");

    Search(nine);
    EXPECT_TRUE(messages.messages.isEmpty());
    EXPECT_EQ(Selected(), 0);
    Search(nine + u'|'); // a bar at the end adds no term
    EXPECT_TRUE(messages.messages.isEmpty());

    for (const QString& text : { nine + QStringLiteral("|j"), u'|' + nine, QStringLiteral("||||||||||") }) {
        messages.messages.clear();
        Search(text);
        EXPECT_EQ(messages.messages, QStringList { kTooMany }) << text.toStdString();
        EXPECT_TRUE(g_arrMatchKeys.isEmpty());
        EXPECT_EQ(g_nMatchPos, -1);
        Next();
        EXPECT_EQ(messages.messages, (QStringList { kTooMany, kNoMatch }));
    }
}

TEST_F(SearchWindow, NothingToFindAnswersNoMatch)
{
    // An empty list.
    Search(QStringLiteral("x"));
    EXPECT_EQ(messages.messages, QStringList { kNoMatch });

    SetRows({ { QStringLiteral("/x|y"), QString(), QString(), QString() } });
    for (const QString& text : { QString(), QStringLiteral("|"), QStringLiteral("||") }) {
        messages.messages.clear();
        Search(text);
        EXPECT_EQ(messages.messages, QStringList { kNoMatch }) << text.toStdString();
        EXPECT_EQ(Selected(), -1);
        EXPECT_TRUE(g_arrMatchKeys.isEmpty());
    }
}

TEST_F(SearchWindow, AReloadForgetsTheMatches)
{
    tree.MakeDir(QStringLiteral("合同"));
    dlg.OnReload();
    WaitUntilIdle(dlg);
    ASSERT_EQ(dlg.GetItemCount(), 1);

    Search(QStringLiteral("合同"));
    EXPECT_EQ(Selected(), 0);
    EXPECT_EQ(g_arrRowTexts.size(), 1);

    dlg.OnReload();

    WaitUntilIdle(dlg);
    EXPECT_TRUE(g_arrRowTexts.isEmpty());
    EXPECT_TRUE(g_arrMatchKeys.isEmpty());
    Next();
    Next();
    EXPECT_EQ(messages.messages, (QStringList { kNoMatch, kNoMatch }));
    EXPECT_EQ(dlg.GetSelectionMark(), -1);
}

TEST_F(SearchWindow, AMatchBelowTheVisibleRowsIsSelectedAndBroughtIntoView)
{
    QList<QStringList> rows;
    for (int i = 0; i < 300; ++i)
        rows.append({ QStringLiteral("/行/%1").arg(i), i == 250 ? QStringLiteral("目标") : QString(), QString(), QString() });
    SetRows(rows);
    dlg.show();
    QApplication::processEvents();
    QScrollBar* bar = dlg.ListControl()->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    ASSERT_EQ(bar->value(), 0);

    Search(QStringLiteral("目标"));
    QApplication::processEvents();
    EXPECT_EQ(Selected(), 250);
    EXPECT_GT(bar->value(), 0);
    const QRect shown = dlg.ListControl()->visualRect(dlg.ListControl()->model()->index(250, 0));
    EXPECT_TRUE(dlg.ListControl()->viewport()->rect().contains(shown));
    dlg.hide();
}

TEST_F(SearchWindow, EnterInTheSearchBoxSearchesAndTheWindowStays)
{
    SetRows({ { QStringLiteral("/甲/合同"), QStringLiteral("租赁") }, { QStringLiteral("/乙/票据"), QStringLiteral("差旅") },
              { QStringLiteral("/丙/合同"), QStringLiteral("采购") } });
    dlg.show();
    edit->setText(QStringLiteral("票据"));
    edit->setFocus();
    for (const Qt::Key key : { Qt::Key_Return, Qt::Key_Enter }) {
        dlg.ListControl()->clearSelection();
        QTest::keyClick(edit, key);
        EXPECT_TRUE(dlg.isVisible()) << key;
        EXPECT_EQ(Selected(), 1) << key; // as "搜索" does: the best match, selected
        EXPECT_TRUE(messages.messages.isEmpty());
        edit->setFocus();
    }
    // No match: the search's own message, and the window still stays.
    edit->setText(QStringLiteral("没有这个"));
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(messages.messages, QStringList { QStringLiteral("没有匹配项！") });
}
