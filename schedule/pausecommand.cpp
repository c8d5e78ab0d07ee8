// The command that stops the selected folder's schedule.
#include "app/quillbrookdlg.h"

void CQuillbrookDlg::OnPauseTimer()
{
}
