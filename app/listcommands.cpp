// The commands that work on the list as a whole or hand a folder to the desktop.
#include "app/listtext.h"
#include "app/quillbrookdlg.h"
#include "platform/shellport.h"
#include "store/desc.h"

#include <QClipboard>
#include <QGuiApplication>

void CQuillbrookDlg::OnCopyListToClipboard()
{
    QList<QStringList> rows;
    rows.reserve(GetItemCount());
    for (int row = 0; row < GetItemCount(); ++row)
        rows.append({ GetItemText(row, 0), GetItemText(row, 1), GetItemText(row, 2), GetItemText(row, 3) });
    QGuiApplication::clipboard()->setText(FormatListText(rows));
}

void CQuillbrookDlg::OnOpenDirInExplorer()
{
    const int row = GetSelectionMark();
    if (row == -1)
        return;
    Shell().OpenPath(RowFolder(row));
}

void CQuillbrookDlg::OnReload()
{
    LoadDirList();
}

void CQuillbrookDlg::OnHelpPdf()
{
    Shell().OpenPath(JoinPath(g_strRootDir, QStringLiteral("说明.pdf")));
}
