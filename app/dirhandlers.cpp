// The directory commands: archive to the previous year, link an outside folder.
#include "app/filework.h"
#include "app/dlglnk.h"
#include "app/quillbrookdlg.h"
#include "dirops/archive.h"
#include "platform/localtime.h"
#include "platform/programstate.h"

void CQuillbrookDlg::OnArchivePrevYear()
{
    const int row = CommandRow();
    if (row == -1)
        return;
    // Copied by a worker under its progress window; its messages come when it is done.
    m_work->RequestArchive(RowFolder(row), ArchiveYearOf(g_tNow));
}

void CQuillbrookDlg::OnLinkExternalDir()
{
    DlgLnk dlg(this);
    if (dlg.exec() == QDialog::Accepted)
        LoadDirList();
}
