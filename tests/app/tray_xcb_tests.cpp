// The tray icon as a desktop sees it: under Xvfb with the xcb platform, on a session bus of the
// test's own (run by tray_xcb_test.sh under xvfb-run and dbus-run-session), with a stand-in
// StatusNotifierWatcher. A program of its own: the tray is decided once per process, on the
// platform the process started with.
#include "app/filework.h"
#include "app/quillbrookdlg.h"
#include "app/trayicon.h"
#include "testsupport.h"
#include "windowdriver.h"

#include <QAction>
#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QDebug>
#include <QMutex>
#include <QSystemTrayIcon>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// Takes the items' registrations, as a desktop's panel would; served on a thread of its own, since
// Qt asks it whether a host is there with a call that waits on the window's thread.
class StandInWatcher : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ HostRegistered)
    Q_PROPERTY(int ProtocolVersion READ Version)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ Items)

public:
    bool HostRegistered() const { return true; }
    int Version() const { return 0; }
    QStringList Items() const
    {
        const QMutexLocker lock(&m_mutex);
        return m_items;
    }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service, const QDBusMessage& message)
    {
        // An item may give its bus name or only its path.
        const QString name = service.startsWith(u'/') ? message.service() : service;
        {
            const QMutexLocker lock(&m_mutex);
            m_items.append(name);
        }
        Q_EMIT StatusNotifierItemRegistered(name);
    }
    void RegisterStatusNotifierHost(const QString&) {}

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString& service);
    void StatusNotifierItemUnregistered(const QString& service);
    void StatusNotifierHostRegistered();

private:
    mutable QMutex m_mutex;
    QStringList m_items;
};

// Read as the panel reads it, over the bus: the item answers on the window's thread, which goes
// on running meanwhile.
QVariant ItemProperty(const QString& service, const QString& name)
{
    QDBusMessage call = QDBusMessage::createMethodCall(service, QStringLiteral("/StatusNotifierItem"),
                                                       QStringLiteral("org.freedesktop.DBus.Properties"),
                                                       QStringLiteral("Get"));
    call.setArguments({ QStringLiteral("org.kde.StatusNotifierItem"), name });
    QDBusPendingCall pending = QDBusConnection(QStringLiteral("qb-panel")).asyncCall(call, 5000);
    if (!QTest::qWaitFor([&] { return pending.isFinished(); }, 6000)) {
        qWarning() << "no answer" << name;
        return QVariant();
    }
    const QDBusMessage reply = pending.reply();
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return QVariant();
    return reply.arguments().constFirst().value<QDBusVariant>().variant();
}

// The pixels of an a(iiay) icon, all sizes one after another.
QByteArray Pixmaps(const QDBusArgument& argument)
{
    QByteArray all;
    argument.beginArray();
    while (!argument.atEnd()) {
        int width = 0, height = 0;
        QByteArray data;
        argument.beginStructure();
        argument >> width >> height >> data;
        argument.endStructure();
        all += data;
    }
    argument.endArray();
    return all;
}

// The tooltip's title: (s icon name, a(iiay) icon, s title, s text).
QString ToolTipTitle(const QVariant& value)
{
    const QDBusArgument argument = value.value<QDBusArgument>();
    QString iconName, title, text;
    argument.beginStructure();
    argument >> iconName;
    Pixmaps(argument);
    argument >> title >> text;
    argument.endStructure();
    return title + text;
}

// The stand-in on a connection of its own, served on its thread; gone before its connection goes.
struct Panel
{
    Panel()
        : connection(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("qb-panel")))
    {
        registered = connection.registerObject(QStringLiteral("/StatusNotifierWatcher"), watcher.get(),
                                               QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals
                                                   | QDBusConnection::ExportAllProperties)
            && connection.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"));
        watcher->moveToThread(&thread);
        thread.start();
    }
    ~Panel()
    {
        connection.unregisterService(QStringLiteral("org.kde.StatusNotifierWatcher"));
        connection.unregisterObject(QStringLiteral("/StatusNotifierWatcher"));
        thread.quit();
        thread.wait();
        watcher.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("qb-panel"));
    }
    std::unique_ptr<StandInWatcher> watcher = std::make_unique<StandInWatcher>();
    QThread thread;
    QDBusConnection connection;
    bool registered = false;
};

} // namespace

TEST(TrayOnADesktop, TheItemRegistersNamesTheRootFlashesBringsTheHiddenWindowBackAndClosingHides)
{
    if (QGuiApplication::platformName() != QStringLiteral("xcb") || !QDBusConnection::sessionBus().isConnected())
        GTEST_SKIP() << "needs an X server and a session bus: run by tray_xcb_test.sh";
    Panel panel;
    ASSERT_TRUE(panel.registered);
    StandInWatcher& watcher = *panel.watcher;

    TempTree tree;
    tree.MakeDir(QStringLiteral("类/文档"));
    RecordingMessagePort messages;
    ASSERT_TRUE(QSystemTrayIcon::isSystemTrayAvailable());
    {
        CQuillbrookDlg dlg;
        dlg.ShowTray();
        OpenWindow(dlg, tree.Root(), true);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !watcher.Items().isEmpty(); }, 10000));
        const QString item = watcher.Items().constFirst();
        EXPECT_TRUE(ToolTipTitle(ItemProperty(item, QStringLiteral("ToolTip"))).contains(tree.Root()));
        EXPECT_TRUE(ToolTipTitle(ItemProperty(item, QStringLiteral("ToolTip"))).startsWith(kMainCaption));

        // The flash changes the icon the panel shows.
        const QByteArray plain = Pixmaps(ItemProperty(item, QStringLiteral("IconPixmap")).value<QDBusArgument>());
        dlg.Tray()->Flash(true);
        const QByteArray marked = Pixmaps(ItemProperty(item, QStringLiteral("IconPixmap")).value<QDBusArgument>());
        EXPECT_FALSE(plain.isEmpty());
        EXPECT_NE(plain, marked);
        dlg.Tray()->Flash(false);

        // Ticked, the close box hides the window (the desktop has a tray); a click on the item in
        // the panel brings it back.
        dlg.KeepInTrayItem()->trigger();
        ASSERT_TRUE(dlg.ClosingHides());
        dlg.close();
        EXPECT_FALSE(dlg.isVisible());
        EXPECT_FALSE(dlg.Work().Closed());
        QDBusMessage activate = QDBusMessage::createMethodCall(item, QStringLiteral("/StatusNotifierItem"),
                                                               QStringLiteral("org.kde.StatusNotifierItem"),
                                                               QStringLiteral("Activate"));
        activate.setArguments({ 10, 10 });
        panel.connection.call(activate, QDBus::NoBlock);
        EXPECT_TRUE(QTest::qWaitFor([&] { return dlg.isVisible(); }, 5000));
        dlg.Quit();
        EXPECT_TRUE(dlg.Work().Closed());
    }
    EXPECT_TRUE(messages.messages.isEmpty());
}

int main(int argc, char** argv)
{
    // The platform the script chose (xcb under xvfb-run); offscreen when run bare, then it skips.
    if (!std::getenv("DISPLAY"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "tray_xcb_tests.moc"
