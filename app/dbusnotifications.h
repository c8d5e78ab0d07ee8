#pragma once
// Desktop notifications through the freedesktop notification service (org.freedesktop.Notifications)
// on a D-Bus connection. Every call is asynchronous, so a slow or missing service never holds up
// the window; without a bus or without a service nothing is shown and nothing fails.
#include "platform/notificationport.h"

#include <QByteArray>
#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <utility>

// An image as the service takes it in the "image-data" hint: RGBA, 8 bits a channel.
struct NotificationImage
{
    int width = 0;
    int height = 0;
    int rowStride = 0;
    QByteArray rgba;
};

class DBusNotificationPort final : public QObject, public NotificationPort
{
    Q_OBJECT

public:
    // Who the notifications come from: the application's name, its icon's name in the icon theme,
    // its desktop entry (empty: none given) and its icon's pixels (empty: none given).
    struct Sender
    {
        QString appName;
        QString iconName;
        QString desktopEntry;
        NotificationImage icon;
    };

    DBusNotificationPort(const QDBusConnection& bus, Sender sender, QObject* parent = nullptr);

    void Notify(const QString& summary, const QString& body) override;
    void CloseAll() override;

private Q_SLOTS:
    void OnActionInvoked(uint id, const QString& actionKey);
    void OnNotificationClosed(uint id, uint reason);

private:
    void AskCapabilities();
    void Send(const QString& summary, const QString& body);
    void Close(uint id);

    QDBusConnection m_bus;
    Sender m_sender;
    enum class Capabilities { Unknown, Asking, Known } m_capabilities = Capabilities::Unknown;
    bool m_markup = false; // the service reads markup in bodies, so the text is escaped
    QList<std::pair<QString, QString>> m_waiting; // held, in order, until the capabilities are known
    QSet<uint> m_open;        // ids of the notifications shown and not closed since
    quint64 m_generation = 0; // counts CloseAll; a notification sent before the last one is closed as its id arrives
};
