#include "app/desktopservices.h"

#include "platform/dbusnotifications.h"

#include <QApplication>
#include <QDBusConnection>
#include <QImage>
#include <QLibraryInfo>
#include <QTranslator>

QTranslator* LoadQtChineseTranslations()
{
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))
        || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}

std::unique_ptr<NotificationPort> CreateDesktopNotifications()
{
    DBusNotificationPort::Sender sender;
    sender.appName = QApplication::applicationName();
    sender.iconName = QStringLiteral("quillbrook");
    sender.desktopEntry = QGuiApplication::desktopFileName();
    const QImage icon = QImage(QStringLiteral(":/res/quillbrook.png")).convertToFormat(QImage::Format_RGBA8888);
    if (!icon.isNull()) {
        sender.icon.width = icon.width();
        sender.icon.height = icon.height();
        sender.icon.rowStride = int(icon.bytesPerLine());
        sender.icon.rgba = QByteArray(reinterpret_cast<const char*>(icon.constBits()), icon.sizeInBytes());
    }
    return std::make_unique<DBusNotificationPort>(QDBusConnection::sessionBus(), std::move(sender));
}
