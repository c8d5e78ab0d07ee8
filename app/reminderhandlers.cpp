// The one-second tick that fires due reminders, and the alert it raises.
#include "app/filework.h"
#include "app/quillbrookdlg.h"
#include "app/rowmodel.h"
#include "app/trayicon.h"
#include "platform/localtime.h"
#include "platform/notificationport.h"
#include "platform/programstate.h"
#include "reminder/passjob.h"
#include "reminder/reminder.h"

#include <QApplication>
#include <QPushButton>

void CQuillbrookDlg::OnTimer()
{
    g_tNow = CurrentTime();
    LocalTime local;
    const int minute = ToLocalTime(g_tNow, local) ? local.minute : -1;
    if (!TickRunsPass(minute))
        return;
    // While the list loads, or a copy or a pass runs, there is no pass; the first tick after it
    // runs one.
    if (!m_work->RequestPass(g_tNow))
        return;
    g_nLastMinute = minute;
}

void CQuillbrookDlg::ShowFiring(const RowOutcome& outcome, bool opened)
{
    SetItemText(outcome.row, 2, outcome.schedText);
    SetItemText(outcome.row, 3, outcome.nextText);
    // Every row fired since the alert was last cleared stands out, wherever the selection goes.
    m_model->SetFired(outcome.row, true);
    g_nAlertTicks = 1;
    m_btnClearAlert->show();
    ShowAlertInTray(true);
    // Seen even when the window is minimised or on another workspace; the folders not opened are
    // named together after the pass.
    if (opened)
        Notifications().Notify(kReminderSummary,
                               ReminderNotificationBody(outcome.relative, GetItemText(outcome.row, 1), outcome.dueText));
}

void CQuillbrookDlg::AfterPass()
{
    if (g_nAlertTicks > 0) {
        FlashWindow(g_nAlertTicks % 2 == 1);
        ++g_nAlertTicks;
    }
}

void CQuillbrookDlg::OnClearAlert()
{
    m_btnClearAlert->hide();
    g_nAlertTicks = 0;
    FlashWindow(false);
    m_model->ClearFired();
    ShowAlertInTray(false);
    Notifications().CloseAll();
}

void CQuillbrookDlg::FlashWindow(bool invert)
{
    if (m_tray)
        m_tray->Flash(invert);
    if (invert) {
        QApplication::alert(this);
        SetCaption(QStringLiteral("▶ ") + kMainCaption + QStringLiteral(" ◀"));
    } else {
        SetCaption(kMainCaption);
    }
}
