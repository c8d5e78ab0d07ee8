// The one-second tick that fires due reminders, and the alert it raises.
#include "app/quillbrookdlg.h"
#include "platform/localtime.h"
#include "platform/notificationport.h"
#include "platform/programstate.h"
#include "reminder/duecheck.h"
#include "reminder/reminder.h"
#include "reminder/reminderpass.h"

#include <QApplication>
#include <QPushButton>

void CQuillbrookDlg::OnTimer()
{
    g_tNow = CurrentTime();
    LocalTime local;
    const int minute = ToLocalTime(g_tNow, local) ? local.minute : -1;
    if (!TickRunsPass(minute))
        return;
    // While the list loads there is no pass; the first tick after the load runs it.
    if (IsLoading())
        return;
    g_nLastMinute = minute;

    // No tick may enter the pass again while a message box of it runs its own loop.
    m_timer.stop();
    // Worker threads read the schedule files first, the window answering meanwhile; then RunPass.
    CheckRowsThenPass();
}

void CQuillbrookDlg::RunPass(const CheckedRows& checked)
{
    ReminderPass pass;
    for (int row = 0; row < GetItemCount(); ++row) {
        const QString relative = GetItemText(row, 0);
        if (relative == g_strEditingDir)
            continue;
        // A row found not due would be left at once, without a word and unwritten.
        if (!checked.MustVisit(row, relative)) {
            pass.PassOver(g_strRootDir, relative);
            continue;
        }
        PassRow(row, pass);
    }
    pass.Finish();
    m_timer.start(1000);

    if (g_nAlertTicks > 0) {
        FlashWindow(g_nAlertTicks % 2 == 1);
        ++g_nAlertTicks;
    }
}

void CQuillbrookDlg::PassRow(int row, ReminderPass& pass)
{
    const QString relative = GetItemText(row, 0);
    QString schedText, nextText, dueText;
    const RowFired fired = pass.FireRow(g_strRootDir + relative, schedText, nextText, &dueText);
    if (fired == RowFired::NotDue)
        return;
    SetItemText(row, 2, schedText);
    SetItemText(row, 3, nextText);
    SelectRow(row);
    g_nAlertTicks = 1;
    m_btnClearAlert->show();
    // Seen even when the window is minimised or on another workspace; the folders not opened are
    // named together after the pass.
    if (fired == RowFired::Opened)
        Notifications().Notify(kReminderSummary, ReminderNotificationBody(relative, GetItemText(row, 1), dueText));
}

void CQuillbrookDlg::OnClearAlert()
{
    m_btnClearAlert->hide();
    g_nAlertTicks = 0;
    FlashWindow(false);
    Notifications().CloseAll();
}

void CQuillbrookDlg::FlashWindow(bool invert)
{
    if (invert) {
        QApplication::alert(this);
        SetCaption(QStringLiteral("▶ ") + kMainCaption + QStringLiteral(" ◀"));
    } else {
        SetCaption(kMainCaption);
    }
}
