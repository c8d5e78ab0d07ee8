// The directory commands: archive to the previous year, link an outside folder.
#include "app/quillbrookdlg.h"

void CQuillbrookDlg::OnArchivePrevYear()
{
}

void CQuillbrookDlg::OnLinkExternalDir()
{
}
