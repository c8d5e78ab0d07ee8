#pragma once
// The notification port: a desktop notification for each reminder that fires. The program installs
// the desktop's notification service behind it; tests install a recorder.
#include <QString>
#include <QStringView>

#include <functional>

class NotificationPort
{
public:
    virtual ~NotificationPort() = default;
    // Shows a notification in plain text that stays until it is dismissed or closed. Nothing is
    // reported back: a desktop without a notification service simply shows nothing.
    virtual void Notify(const QString& summary, const QString& body) = 0;
    // Closes every notification shown through this port that is still open.
    virtual void CloseAll() = 0;
};

// Installs the port used from now on (not owned); nullptr restores the default, which shows nothing.
void SetNotificationPort(NotificationPort* port);
NotificationPort& Notifications();

// What the default action of a notification does (the window brings itself forward). Ports call
// RunNotificationActivation when the user invokes that action; an empty handler does nothing.
void SetNotificationActivation(std::function<void()> handler);
void RunNotificationActivation();

// Texts from the tree (names, descriptions) as a notification can show them. A service takes
// UTF-8 without NUL (a NUL cuts the text, a lone surrogate turns into "?") and lays the text out by
// its direction controls (a name "\u202Egnp.exe" would read "exe.png"). One line: every control
// character, line breaks included, and every lone surrogate shows as U+FFFD, a tab as a space, and
// direction controls are dropped.
QString NotificationLine(QStringView text);
// The same for a text of several lines, kept apart by '\n'.
QString NotificationText(QStringView text);
// At most maxChars characters (a pair of surrogates is one), with "…" in place of the rest.
QString BoundedText(QStringView text, qsizetype maxChars);
