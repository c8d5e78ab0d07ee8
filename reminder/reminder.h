#pragma once
// Firing one folder's reminder, without a window.
#include <QString>

inline const QString kAutoBatName = QStringLiteral("auto.bat");

// When the folder's schedule is due, advances it, opens the folder and starts its auto.bat (if an
// entry of that name exists), fills the row's new schedule texts and returns true.
bool FireDueReminder(const QString& folder, QString& schedText, QString& nextText);

// Whether a tick at this local minute runs a pass over the list.
bool TickRunsPass(int minute);
