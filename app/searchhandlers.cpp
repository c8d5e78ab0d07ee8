// The search buttons: "搜索" ranks the rows and shows the best one, "下一条" steps down the ranking.
#include "app/quillbrookdlg.h"
#include "platform/filenames.h"
#include "platform/messageport.h"
#include "schedule/rowlist.h"
#include "search/search.h"


#include <climits>

namespace {

const QString kNoMatch = QStringLiteral("没有匹配项！");

// Selects the row of the key at g_nMatchPos and brings it into view.
void ShowMatch(CQuillbrookDlg& dlg)
{
    if (g_nMatchPos < 0 || g_nMatchPos >= g_arrMatchKeys.size())
        return;
    int count = 0;
    int row = -1;
    if (!ParseMatchKey(g_arrMatchKeys.at(g_nMatchPos), count, row))
        return;
    dlg.SelectRow(row, CQuillbrookDlg::Scroll::IntoView);
}

} // namespace

void CQuillbrookDlg::OnSearch()
{
    UpdateData(true);
    ClearSearchResults();
    g_nMatchPos = -1;
    const int rows = GetItemCount();
    g_arrRowTexts.reserve(rows);
    for (int row = 0; row < rows; ++row) {
        const Row& item = Rows().At(row);
        // A name is searched as it is shown.
        g_arrRowTexts.append(JoinRowTexts({ ReadableName(item.relative), item.desc, item.schedText, item.nextText }));
    }

    QStringList terms;
    SplitSearchTerms(terms, m_strSearch);
    if (terms.size() > kMaxSearchTerms) {
        ShowMessage(QStringLiteral("最多支持10个搜索词！"));
        return;
    }
    g_arrMatchKeys = RankMatches(g_arrRowTexts, terms);
    if (g_arrMatchKeys.isEmpty()) {
        ShowMessage(kNoMatch);
        return;
    }
    g_nMatchPos = int(g_arrMatchKeys.size()) - 1;
    ShowMatch(*this);
}

void CQuillbrookDlg::OnSearchNext()
{
    if (g_arrMatchKeys.isEmpty()) {
        ShowMessage(kNoMatch);
        return;
    }
    // The position keeps falling past the start; every further click says so again.
    if (g_nMatchPos > INT_MIN)
        --g_nMatchPos;
    if (g_nMatchPos < 0) {
        ShowMessage(QStringLiteral("已到最后！"));
        return;
    }
    ShowMatch(*this);
}
