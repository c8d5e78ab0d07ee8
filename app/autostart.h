#pragma once
// Starting the program at login: an XDG autostart entry in $XDG_CONFIG_HOME/autostart (by default
// ~/.config/autostart) that starts the program on a root. Failures are shown through the message port.
#include <QString>

// The name the desktop knows the program by: its desktop entry, its icon, its metainfo.
inline const QString kDesktopId = QStringLiteral("org.quillbrook.Quillbrook");

// The folder and the entry's file.
QString AutostartDir();
QString AutostartEntryPath();

// The Exec value that starts program on root, quoted as desktop entries require. A root that an
// entry cannot carry as it is (bytes that are not UTF-8, control characters) is given as a file
// URL with its bytes percent-encoded, so the entry is valid for every root and names it exactly.
QString AutostartExec(const QString& program, const QString& root);

// Writes (or replaces) the entry; false after a message when it could not be written.
bool WriteAutostartEntry(const QString& program, const QString& root);
// Removes the entry; false after a message when it is still there.
bool RemoveAutostartEntry();
// True when the entry exists and is not switched off.
bool AutostartEntryPresent();
// An entry that is present and starts the program elsewhere is rewritten to start program on
// root: the program starts at login where it last ran. False after a message when it could not be.
bool RetargetAutostartEntry(const QString& program, const QString& root);
