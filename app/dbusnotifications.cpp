#include "app/dbusnotifications.h"

#include "platform/filenames.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QStringList>
#include <QVariantMap>

Q_DECLARE_METATYPE(NotificationImage)

QDBusArgument& operator<<(QDBusArgument& argument, const NotificationImage& image)
{
    argument.beginStructure();
    argument << image.width << image.height << image.rowStride << true /* alpha */ << 8 /* bits */ << 4 /* channels */
             << image.rgba;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, NotificationImage& image)
{
    bool alpha = false;
    int bits = 0, channels = 0;
    argument.beginStructure();
    argument >> image.width >> image.height >> image.rowStride >> alpha >> bits >> channels >> image.rgba;
    argument.endStructure();
    return argument;
}

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kDefaultAction = QStringLiteral("default");
const QString kClearAlertAction = QStringLiteral("clear-alert");
constexpr uchar kUrgencyCritical = 2;
// Beyond this a body is no longer read, only scrolled (if the service lets it be).
constexpr qsizetype kMaxBodyChars = 1000;

QDBusMessage Call(const QString& method, const QList<QVariant>& arguments = {})
{
    QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    message.setArguments(arguments);
    return message;
}

} // namespace

DBusNotificationPort::DBusNotificationPort(const QDBusConnection& bus, Sender sender, QObject* parent)
    : QObject(parent)
    , m_bus(bus)
    , m_sender(std::move(sender))
{
    qDBusRegisterMetaType<NotificationImage>();
    if (!m_bus.isConnected())
        return;
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                  SLOT(OnActionInvoked(uint, QString)));
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                  SLOT(OnNotificationClosed(uint, uint)));
    // Another service, another set of capabilities; the notifications of one that went away are gone.
    auto* watcher = new QDBusServiceWatcher(kService, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, [this] {
        m_open.clear();
        if (m_capabilities == Capabilities::Known)
            m_capabilities = Capabilities::Unknown;
    });
}

void DBusNotificationPort::Notify(const QString& summary, const QString& body)
{
    if (!m_bus.isConnected())
        return;
    if (m_capabilities == Capabilities::Known) {
        Send(summary, body);
        return;
    }
    m_waiting.append({ summary, body });
    if (m_capabilities == Capabilities::Unknown)
        AskCapabilities();
}

void DBusNotificationPort::AskCapabilities()
{
    m_capabilities = Capabilities::Asking;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(Call(QStringLiteral("GetCapabilities"))), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<QStringList> reply = *call;
        const QList<std::pair<QString, QString>> waiting = std::exchange(m_waiting, {});
        if (reply.isError() && reply.error().type() != QDBusError::UnknownMethod) {
            // No service (or no bus any more): nothing is shown, and the next reminder asks again.
            m_capabilities = Capabilities::Unknown;
            return;
        }
        m_capabilities = Capabilities::Known;
        m_markup = !reply.isError() && reply.value().contains(QStringLiteral("body-markup"));
        for (const auto& [summary, body] : waiting)
            Send(summary, body);
    });
}

void DBusNotificationPort::Send(const QString& summary, const QString& body)
{
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(kUrgencyCritical));
    if (!m_sender.desktopEntry.isEmpty())
        hints.insert(QStringLiteral("desktop-entry"), m_sender.desktopEntry);
    if (!m_sender.icon.rgba.isEmpty())
        hints.insert(QStringLiteral("image-data"), QVariant::fromValue(m_sender.icon));
    // Whatever the caller put together, the service gets text it can carry and shows it in order.
    const QString clean = BoundedText(PrintableText(body), kMaxBodyChars);
    // A service that reads markup would take a folder named "<b>" as bold: such text goes escaped.
    const QString text = m_markup ? clean.toHtmlEscaped() : clean;
    const QList<QVariant> arguments {
        m_sender.appName,
        0u, // a new notification, replacing none
        m_sender.iconName,
        PrintableLine(summary),
        text,
        // Both, and the alert cleared in the window, close every one: a notification that stays
        // until dismissed may lie over the window's own "清除触发警示".
        QStringList { kDefaultAction, QStringLiteral("显示主窗口"), kClearAlertAction, QStringLiteral("清除触发警示") },
        hints,
        0, // never expires: it stays until the user dismisses it
    };
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(Call(QStringLiteral("Notify"), arguments)), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, generation = m_generation](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                const QDBusPendingReply<uint> reply = *call;
                if (reply.isError())
                    return;
                if (generation != m_generation)
                    Close(reply.value()); // the alert was cleared before the service answered
                else
                    m_open.insert(reply.value());
            });
}

void DBusNotificationPort::CloseAll()
{
    ++m_generation;
    m_waiting.clear();
    const QSet<uint> open = std::exchange(m_open, {});
    for (const uint id : open)
        Close(id);
}

void DBusNotificationPort::Close(uint id)
{
    m_bus.asyncCall(Call(QStringLiteral("CloseNotification"), { id }));
}

void DBusNotificationPort::OnActionInvoked(uint id, const QString& actionKey)
{
    if (!m_open.contains(id))
        return; // another program's
    if (actionKey == kDefaultAction)
        RunNotificationActivation();
    else if (actionKey == kClearAlertAction)
        RunNotificationClearAlert();
    else
        return;
    CloseAll();
}

void DBusNotificationPort::OnNotificationClosed(uint id, uint)
{
    m_open.remove(id);
}
