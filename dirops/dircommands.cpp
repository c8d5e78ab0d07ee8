// The directory commands: archive to the previous year, link an outside folder.
#include "app/quillbrookdlg.h"
#include "dirops/archive.h"
#include "dirops/dlglnk.h"
#include "platform/localtime.h"

void CQuillbrookDlg::OnArchivePrevYear()
{
    const int row = GetSelectionMark();
    if (row == -1)
        return;
    ArchiveToYearFolder(RowFolder(row), ArchiveYearOf(g_tNow));
}

void CQuillbrookDlg::OnLinkExternalDir()
{
    DlgLnk dlg(this);
    if (dlg.exec() == QDialog::Accepted)
        LoadDirList();
}
