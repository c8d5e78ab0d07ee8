#include "app/desktopservices.h"
#include "app/autostart.h"

#include <QApplication>
#include <QDBusConnection>
#include <QImage>
#include <QLibraryInfo>
#include <QTranslator>

void InitProgramResources()
{
    Q_INIT_RESOURCE(quillbrook);
}

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

NotificationImage ProgramNotificationImage()
{
    InitProgramResources();
    const QImage icon = QImage(QStringLiteral(":/res/notification.png")).convertToFormat(QImage::Format_RGBA8888);
    NotificationImage image;
    if (!icon.isNull()) {
        image.width = icon.width();
        image.height = icon.height();
        image.rowStride = int(icon.bytesPerLine());
        image.rgba = QByteArray(reinterpret_cast<const char*>(icon.constBits()), icon.sizeInBytes());
    }
    return image;
}

std::unique_ptr<NotificationPort> CreateDesktopNotifications()
{
    DBusNotificationPort::Sender sender;
    sender.appName = QApplication::applicationName();
    sender.iconName = kDesktopId;
    sender.desktopEntry = QGuiApplication::desktopFileName();
    sender.icon = ProgramNotificationImage();
    return std::make_unique<DBusNotificationPort>(QDBusConnection::sessionBus(), std::move(sender));
}
