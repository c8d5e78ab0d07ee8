// The directory commands: archive to the previous year, link an outside folder.
#include "app/archiveprogress.h"
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
    ArchiveProgress progress(this);
    ArchiveToYearFolder(RowFolder(row), ArchiveYearOf(g_tNow), progress.Callback());
}

void CQuillbrookDlg::OnLinkExternalDir()
{
    DlgLnk dlg(this);
    if (dlg.exec() == QDialog::Accepted)
        LoadDirList();
}
