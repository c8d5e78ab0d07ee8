// The commands that work on the list as a whole or hand a folder to the desktop.
#include "app/listtext.h"
#include "app/quillbrookdlg.h"
#include "app/rootchoice.h"
#include "platform/filenames.h"
#include "platform/messageport.h"
#include "platform/programstate.h"
#include "platform/shellport.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>

#include <new>

void CQuillbrookDlg::OnCopyListToClipboard()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    QString text;
    try {
        QList<QStringList> rows;
        rows.reserve(GetItemCount());
        for (int row = 0; row < GetItemCount(); ++row)
            rows.append({ ReadableName(GetItemText(row, 0)), GetItemText(row, 1), GetItemText(row, 2), GetItemText(row, 3) });
        text = FormatListText(rows);
    } catch (const std::bad_alloc&) {
        clipboard->clear();
        ShowMessage(QStringLiteral("剪贴板资源不足！"));
        return;
    }
    clipboard->setText(text);
    // The desktop may refuse to hand the clipboard over; then it does not hold our text.
    if (clipboard->text() != text)
        ShowMessage(QStringLiteral("使用剪贴板失败！"));
}

void CQuillbrookDlg::OnOpenDirInExplorer()
{
    const int row = CommandRow();
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
    // Whether the document is there is the desktop's business: nothing is shown when it is not.
    Shell().OpenPath(HelpDocumentPath(g_strRootDir, QCoreApplication::applicationDirPath(), m_strInstalledDocDir));
}
