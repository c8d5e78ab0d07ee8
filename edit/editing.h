#pragma once
// Shared with the reminder tick: the folder whose settings dialog is open is left alone.
#include <QString>

// The column-0 text of the row whose settings dialog is open; empty at all other times.
extern QString g_strEditingDir;
