#pragma once
// Firing one folder's reminder, without a window.
#include <QString>

inline const QString kAutoBatName = QStringLiteral("auto.bat");
inline const QString kReminderSummary = QStringLiteral("定时提醒");

// When the folder's schedule is due, advances it, opens the folder and starts its auto.bat (if an
// entry of that name exists), fills the row's new schedule texts (and dueText, when given, with
// the trigger that fell due) and returns true.
bool FireDueReminder(const QString& folder, QString& schedText, QString& nextText, QString* dueText = nullptr);

// The text of a fired reminder's notification: the row's path, the first line of its description
// (left out when empty) and the trigger that fell due, one a line.
QString ReminderNotificationBody(const QString& relative, const QString& description, const QString& due);

// Whether a tick at this local minute runs a pass over the list.
bool TickRunsPass(int minute);
