#pragma once
// The one way tests drive the main window over time: its file work runs on workers, so a test
// waits until the window is idle before it looks; it answers the next modal dialog, and finds rows.
#include <QString>
#include <QStringList>

#include <functional>

class CQuillbrookDlg;
class QWidget;

// Runs the event loop until the window's file work is idle (or timeoutMs passed); false on timeout.
bool WaitUntilIdle(CQuillbrookDlg& dlg, int timeoutMs = 30000);
// OnInitDialog, then waits until the list is loaded.
void OpenWindow(CQuillbrookDlg& dlg, const QString& root = QString(), bool show = false);
// One tick of the timer and the pass it runs, waited for.
void Tick(CQuillbrookDlg& dlg);
// The row whose column 0 reads relative; -1 when none.
int FindRow(const CQuillbrookDlg& dlg, const QString& relative);
// The one row selected in the list, -1 when none or more; and the view's current row (-1: none).
int SelectedRow(const CQuillbrookDlg& dlg);
int CurrentRow(const CQuillbrookDlg& dlg);
// Replaces the list's rows with these (each the four column texts), as a load would leave them.
void SetRows(CQuillbrookDlg& dlg, const QList<QStringList>& rows);
// Once the next modal dialog or message box is up, runs answer on it (from the event loop).
void AnswerNextModal(const std::function<void(QWidget*)>& answer, int timeoutMs = 10000);
