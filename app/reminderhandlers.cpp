// The one-second tick that fires due reminders, and the alert it raises.
#include "app/quillbrookdlg.h"
#include "platform/localtime.h"
#include "platform/notificationport.h"
#include "platform/programstate.h"
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
    g_nLastMinute = minute;

    // No tick may enter the pass again while a message box of it runs its own loop.
    m_timer.stop();
    for (int row = 0; row < GetItemCount(); ++row) {
        const QString relative = GetItemText(row, 0);
        if (relative == g_strEditingDir)
            continue;
        QString schedText, nextText, dueText;
        if (!FireDueReminder(g_strRootDir + relative, schedText, nextText, &dueText))
            continue;
        SetItemText(row, 2, schedText);
        SetItemText(row, 3, nextText);
        SelectRow(row);
        g_nAlertTicks = 1;
        m_btnClearAlert->show();
        // Seen even when the window is minimised or on another workspace.
        Notifications().Notify(kReminderSummary, ReminderNotificationBody(relative, GetItemText(row, 1), dueText));
    }
    m_timer.start(1000);

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
