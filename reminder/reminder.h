#pragma once
// Firing one folder's reminder, without a window.
#include "schedule/schedule.h"

#include <QString>

inline const QString kAutoBatName = QStringLiteral("auto.bat");
inline const QString kReminderSummary = QStringLiteral("定时提醒");

// When the folder's schedule is due, advances it, opens the folder and starts its auto.bat (if an
// entry of that name exists), fills the row's new schedule texts (and dueText, when given, with
// the trigger that fell due) and returns true. fault, when given, tells what the due check met.
bool FireDueReminder(const QString& folder, QString& schedText, QString& nextText, QString* dueText = nullptr,
                     ScheduleFault* fault = nullptr);
// The two halves of it: advancing a due schedule (and the row's texts), then opening the folder and
// starting its auto.bat. With read (a check's read of the file that found it due) the file is not
// read again.
bool AdvanceDueReminder(const QString& folder, QString& schedText, QString& nextText, QString* dueText = nullptr,
                        ScheduleFault* fault = nullptr, const ScheduleRead* read = nullptr);
void OpenFiredFolder(const QString& folder);
// The folder's auto.bat, whatever the case of its name; empty when it has none.
QString FolderBatch(const QString& folder);
// Starts the folder's auto.bat when it has one; a fired folder's script runs whether or not its
// window is opened.
void StartFolderBatch(const QString& folder);

// The text of a fired reminder's notification: the row's path in its readable form, the first line
// of its description (left out when empty; cleaned, at most kMaxDescriptionShown characters) and
// the trigger that fell due, one a line.
constexpr qsizetype kMaxDescriptionShown = 120;
QString ReminderNotificationBody(const QString& relative, const QString& description, const QString& due);

// The tick's state.
extern int g_nLastMinute; // local minute of the hour at the last pass; -1 before the first
extern int g_nAlertTicks; // 0: no alert; otherwise ticks since the last firing, plus one

// Whether a tick at this local minute runs a pass over the list.
bool TickRunsPass(int minute);
