// The directory commands: archive to the previous year, link an outside folder.
#include "app/dlglnk.h"
#include "app/quillbrookdlg.h"
#include "dirops/archive.h"
#include "platform/localtime.h"
#include "platform/programstate.h"

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
