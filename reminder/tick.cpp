// The one-second tick and the alert.
#include "app/quillbrookdlg.h"
#include "platform/localtime.h"

#include <QPushButton>

void CQuillbrookDlg::OnTimer()
{
    g_tNow = CurrentTime();
}

void CQuillbrookDlg::OnClearAlert()
{
    m_btnClearAlert->hide();
}

void CQuillbrookDlg::FlashWindow(bool)
{
}
