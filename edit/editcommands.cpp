// The editing commands: set description and schedule, remove management information.
#include "app/quillbrookdlg.h"

void CQuillbrookDlg::OnSetDescAndTimer()
{
}

void CQuillbrookDlg::OnClearManageInfo()
{
}
