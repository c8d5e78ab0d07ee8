#include "platform/notificationport.h"

namespace {

class SilentNotificationPort final : public NotificationPort
{
public:
    void Notify(const QString&, const QString&) override {}
    void CloseAll() override {}
};

SilentNotificationPort g_silent;
NotificationPort* g_notifications = &g_silent;
std::function<void()> g_onActivated;
std::function<void()> g_onClearAlert;

} // namespace

void SetNotificationPort(NotificationPort* port)
{
    g_notifications = port ? port : &g_silent;
}

NotificationPort& Notifications()
{
    return *g_notifications;
}

void SetNotificationActivation(std::function<void()> handler)
{
    g_onActivated = std::move(handler);
}

void RunNotificationActivation()
{
    // A copy: the handler may replace itself while it runs.
    const std::function<void()> handler = g_onActivated;
    if (handler)
        handler();
}

void SetNotificationClearAlert(std::function<void()> handler)
{
    g_onClearAlert = std::move(handler);
}

void RunNotificationClearAlert()
{
    const std::function<void()> handler = g_onClearAlert;
    if (handler)
        handler();
}
