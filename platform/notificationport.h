#pragma once
// The notification port: a desktop notification for each reminder that fires. The program installs
// the desktop's notification service behind it; tests install a recorder.
#include <QString>

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
// What a notification's "清除触发警示" action does (the window clears its alert).
void SetNotificationClearAlert(std::function<void()> handler);
void RunNotificationClearAlert();

