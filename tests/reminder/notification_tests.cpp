// The desktop notification of a fired reminder, against a stand-in notification service on a
// private session bus that the test starts and ends.
#include "app/desktopservices.h"
#include "app/quillbrookdlg.h"
#include "app/dbusnotifications.h"
#include "platform/localtime.h"
#include "platform/programstate.h"
#include "reminder/reminder.h"
#include "schedule/schedule.h"
#include "store/desc.h"
#include "testsupport.h"
#include "windowdriver.h"

#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMetaType>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Records the calls it receives, as a notification daemon would see them.
class FakeNotificationService : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Call
    {
        QString appName;
        uint replacesId;
        QString appIcon, summary, body;
        QStringList actions;
        QVariantMap hints;
        int expireTimeout;
    };
    QList<Call> calls;
    QList<uint> closed;
    QStringList capabilities { QStringLiteral("actions"), QStringLiteral("body"), QStringLiteral("body-markup") };

public Q_SLOTS:
    uint Notify(const QString& appName, uint replacesId, const QString& appIcon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int expireTimeout)
    {
        calls.append({ appName, replacesId, appIcon, summary, body, actions, hints, expireTimeout });
        return 100 + uint(calls.size());
    }
    void CloseNotification(uint id)
    {
        closed.append(id);
        Q_EMIT NotificationClosed(id, 3);
    }
    QStringList GetCapabilities() { return capabilities; }

Q_SIGNALS:
    void ActionInvoked(uint id, const QString& actionKey);
    void NotificationClosed(uint id, uint reason);
};

// A bus of the test's own, without service activation, so that no installed daemon answers.
class PrivateBus
{
public:
    PrivateBus()
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            return;
        const QString config = m_dir.filePath(QStringLiteral("bus.conf"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly))
            return;
        file.write(QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
                                  "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                                  "<busconfig><type>session</type><listen>unix:dir=%1</listen>"
                                  "<auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\"/>"
                                  "<allow receive_sender=\"*\"/><allow own=\"*\"/></policy></busconfig>\n")
                       .arg(m_dir.path())
                       .toUtf8());
        file.close();
        m_daemon.start(daemon, { QStringLiteral("--config-file=") + config, QStringLiteral("--print-address"),
                                 QStringLiteral("--nofork") });
        if (m_daemon.waitForReadyRead(10000))
            m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    ~PrivateBus()
    {
        m_daemon.kill();
        m_daemon.waitForFinished();
    }
    QString Address() const { return m_address; }

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
};

qint64 s_now = 0;
qint64 TestNow() { return s_now; }

void Scheduled(const TempTree& tree, const QString& relative, const QString& desc, const QString& next)
{
    tree.MakeDir(relative);
    tree.WriteText(relative + u'/' + kDescFileName, desc);
    tree.WriteText(relative + u'/' + kTimerFileName,
                   QStringLiteral("2;9;0;2026-12-1,1\r\n") + next + QStringLiteral("\r\n-1\r\n0"));
}

struct Image
{
    int width = 0, height = 0, stride = 0, bits = 0, channels = 0;
    bool alpha = false;
    QByteArray data;
};

Image ImageHint(const QVariant& hint)
{
    Image image;
    const QDBusArgument argument = hint.value<QDBusArgument>();
    argument.beginStructure();
    argument >> image.width >> image.height >> image.stride >> image.alpha >> image.bits >> image.channels >> image.data;
    argument.endStructure();
    return image;
}

} // namespace

TEST(DesktopNotification, EachFiredFolderNotifiesInListOrderEitherActionOrClearingInTheWindowClosesThemAll)
{
    // No bus at all: nothing fails and nothing is said.
    RecordingMessagePort messages;
    RecordingShellPort shell;
    {
        const QByteArray oldAddress = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/qb-bus");
        const std::unique_ptr<NotificationPort> session = CreateDesktopNotifications();
        session->Notify(kReminderSummary, QStringLiteral("/a"));
        session->CloseAll();
        qputenv("DBUS_SESSION_BUS_ADDRESS", oldAddress);
        DBusNotificationPort none(QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/qb-bus"),
                                                                QStringLiteral("qb-none")),
                                  {});
        none.Notify(kReminderSummary, QStringLiteral("/a"));
        none.CloseAll();
        QDBusConnection::disconnectFromBus(QStringLiteral("qb-none"));
    }

    const PrivateBus bus;
    if (bus.Address().isEmpty())
        GTEST_SKIP() << "dbus-daemon is missing or did not start: install the dbus package";
    QDBusConnection client = QDBusConnection::connectToBus(bus.Address(), QStringLiteral("qb-client"));
    QDBusConnection daemon = QDBusConnection::connectToBus(bus.Address(), QStringLiteral("qb-daemon"));
    ASSERT_TRUE(client.isConnected() && daemon.isConnected());

    // The program's icon, 64 x 64, goes with each notification.
    DBusNotificationPort::Sender sender { QStringLiteral("Quillbrook"), QStringLiteral("quillbrook"), QString(),
                                          ProgramNotificationImage() };
    // A bus without the service: the reminder is lost quietly.
    {
        DBusNotificationPort port(client, sender);
        port.Notify(kReminderSummary, QStringLiteral("/a"));
        QTest::qWait(300);
    }

    FakeNotificationService service;
    ASSERT_TRUE(daemon.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service,
                                      QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
    ASSERT_TRUE(daemon.registerService(QStringLiteral("org.freedesktop.Notifications")));

    ScopedTimeZone zone("Asia/Shanghai");
    SetTimeSource(&TestNow);
    g_nLastMinute = -1;
    g_nAlertTicks = 0;
    g_strEditingDir.clear();
    TempTree tree;
    // A folder name the service must not read as markup, a description of two lines, a row not due.
    Scheduled(tree, QStringLiteral("类/<img src=x> & 合同"), QStringLiteral("续签\r\n第二行"), QStringLiteral("2026-12-8,9,0"));
    Scheduled(tree, QStringLiteral("类/租赁"), QString(), QStringLiteral("2026-12-8,9,15"));
    Scheduled(tree, QStringLiteral("类/以后"), QStringLiteral("未到"), QStringLiteral("2026-12-9,9,0"));
    ASSERT_TRUE(MakeLocalTime(2026, 12, 8, 9, 30, 0, s_now));

    DBusNotificationPort port(client, sender);
    SetNotificationPort(&port);
    CQuillbrookDlg dlg;
    OpenWindow(dlg, tree.Root());
    dlg.Timer().stop();
    QStringList expected;
    for (int row = 0; row < dlg.GetItemCount(); ++row) {
        const QString relative = dlg.GetItemText(row, 0);
        if (relative.contains(QStringLiteral("img")))
            expected.append(QStringLiteral("/类/&lt;img src=x&gt; &amp; 合同\n续签\n2026-12-8 09:00"));
        else if (relative.contains(QStringLiteral("租赁")))
            expected.append(QStringLiteral("/类/租赁\n2026-12-8 09:15"));
    }
    Tick(dlg);
    ASSERT_TRUE(QTest::qWaitFor([&] { return service.calls.size() >= 2; }, 5000));
    QTest::qWait(100);
    ASSERT_EQ(service.calls.size(), 2);
    for (int i = 0; i < 2; ++i) {
        const FakeNotificationService::Call& call = service.calls[i];
        EXPECT_EQ(call.appName, QStringLiteral("Quillbrook"));
        EXPECT_EQ(call.replacesId, 0u);
        EXPECT_EQ(call.appIcon, QStringLiteral("quillbrook"));
        EXPECT_EQ(call.summary, QStringLiteral("定时提醒"));
        EXPECT_EQ(call.body, expected.value(i));
        EXPECT_EQ(call.actions, (QStringList { QStringLiteral("default"), QStringLiteral("显示主窗口"),
                                               QStringLiteral("clear-alert"), QStringLiteral("清除触发警示") }));
        EXPECT_EQ(call.hints.value(QStringLiteral("urgency")).metaType(), QMetaType::fromType<uchar>());
        EXPECT_EQ(call.hints.value(QStringLiteral("urgency")).toInt(), 2);
        const Image icon = ImageHint(call.hints.value(QStringLiteral("image-data")));
        EXPECT_EQ(std::tie(icon.width, icon.height, icon.stride, icon.alpha, icon.bits, icon.channels),
                  std::make_tuple(64, 64, 256, true, 8, 4));
        EXPECT_EQ(icon.data, sender.icon.rgba);
        EXPECT_EQ(call.expireTimeout, 0);
    }
    EXPECT_FALSE(dlg.ClearAlertButton()->isHidden()); // everything the tick did before still happens
    EXPECT_EQ(shell.opened.size(), 2);

    // The default action of one of ours restores, raises and activates the window and closes
    // every one of ours, the alert still standing; another program's notification or another
    // action does nothing.
    dlg.showMinimized();
    QApplication::processEvents();
    Q_EMIT service.ActionInvoked(7, QStringLiteral("default"));
    Q_EMIT service.ActionInvoked(7, QStringLiteral("clear-alert"));
    Q_EMIT service.ActionInvoked(101, QStringLiteral("other"));
    QTest::qWait(300);
    EXPECT_TRUE(dlg.isMinimized());
    EXPECT_TRUE(service.closed.isEmpty());
    Q_EMIT service.ActionInvoked(101, QStringLiteral("default"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return dlg.isVisible() && !dlg.isMinimized(); }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &dlg; }, 5000));
    const auto closedSorted = [&] {
        QList<uint> closed = service.closed;
        std::sort(closed.begin(), closed.end());
        return closed;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return service.closed.size() >= 2; }, 5000));
    EXPECT_EQ(closedSorted(), (QList<uint> { 101, 102 }));
    EXPECT_FALSE(dlg.ClearAlertButton()->isHidden());

    // The next day all three fire; "清除触发警示" on one clears the window's alert and its marks and
    // closes all three, where they may lie over the window's own button.
    ASSERT_TRUE(MakeLocalTime(2026, 12, 9, 9, 30, 0, s_now));
    Tick(dlg);
    ASSERT_TRUE(QTest::qWaitFor([&] { return service.calls.size() >= 5; }, 5000));
    EXPECT_TRUE(dlg.Rows().At(1).fired);
    Q_EMIT service.ActionInvoked(104, QStringLiteral("clear-alert"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return service.closed.size() >= 5; }, 5000));
    EXPECT_EQ(closedSorted(), (QList<uint> { 101, 102, 103, 104, 105 }));
    EXPECT_TRUE(dlg.ClearAlertButton()->isHidden());
    for (int row = 0; row < dlg.GetItemCount(); ++row)
        EXPECT_FALSE(dlg.Rows().At(row).fired) << row;

    // Clearing the alert in the window closes them all too.
    ASSERT_TRUE(MakeLocalTime(2026, 12, 10, 9, 31, 0, s_now));
    Tick(dlg);
    ASSERT_TRUE(QTest::qWaitFor([&] { return service.calls.size() >= 8; }, 5000));
    QTest::qWait(100);
    QTest::mouseClick(dlg.ClearAlertButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return service.closed.size() >= 8; }, 5000));
    EXPECT_EQ(closedSorted(), (QList<uint> { 101, 102, 103, 104, 105, 106, 107, 108 }));

    // A service without markup gets the text as it is.
    service.capabilities = { QStringLiteral("body") };
    DBusNotificationPort plain(client, sender);
    plain.Notify(kReminderSummary, QStringLiteral("/<b>"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return service.calls.size() == 9; }, 5000));
    EXPECT_EQ(service.calls.last().body, QStringLiteral("/<b>"));
    EXPECT_TRUE(messages.messages.isEmpty());

    SetNotificationPort(nullptr);
    SetTimeSource(nullptr);
    daemon.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
    QDBusConnection::disconnectFromBus(QStringLiteral("qb-client"));
    QDBusConnection::disconnectFromBus(QStringLiteral("qb-daemon"));
}

TEST(DesktopNotification, HostileNamesAndDescriptionsArriveWholeReadableBoundedAndInTheirOrder)
{
    const QString due = QStringLiteral("2026-12-8 09:00");
    const auto body = [&](const QString& relative, const QString& description) {
        return ReminderNotificationBody(relative, description, due).split(u'\n');
    };
    const QString bad = QString(QChar::ReplacementCharacter);
    // A right-to-left override would show "\u202Egnp.exe" as "exe.png"; a line break in a name
    // would make two lines of one; a NUL would cut the body; a lone surrogate would turn into "?".
    EXPECT_EQ(body(QStringLiteral("/类/\u202Egnp.exe"), QStringLiteral("看\u2067这\u2069里")),
              (QStringList { QStringLiteral("/类/gnp.exe"), QStringLiteral("看这里"), due }));
    EXPECT_EQ(body(QStringLiteral("/类/a\nb\x1b"), QStringLiteral("前") + QChar(0) + QStringLiteral("后\t") + QChar(0xD800)
                                                     + QStringLiteral("尾\r\n第二行")),
              (QStringList { QStringLiteral("/类/a") + bad + QStringLiteral("b") + bad,
                             QStringLiteral("前") + bad + QStringLiteral("后 ") + bad + QStringLiteral("尾"), due }));
    // A first line of 200,000 characters shows its first 120; a pair of surrogates is one character.
    const QStringList longLine = body(QStringLiteral("/类/长"), QString(200000, u'长'));
    EXPECT_EQ(longLine.value(1), QString(120, u'长') + u'…');
    QString faces;
    for (int i = 0; i < 130; ++i)
        faces += QStringLiteral("\U0001F600");
    EXPECT_EQ(body(QStringLiteral("/类/脸"), faces).value(1), faces.left(240) + u'…');
    EXPECT_EQ(body(QStringLiteral("/类/脸"), faces.left(240)).value(1), faces.left(240)); // exactly 120: whole

    // Whatever a caller sends, the service gets the whole text, cleaned the same way.
    const PrivateBus bus;
    if (bus.Address().isEmpty())
        GTEST_SKIP() << "dbus-daemon is missing or did not start: install the dbus package";
    QDBusConnection client = QDBusConnection::connectToBus(bus.Address(), QStringLiteral("qb-client2"));
    QDBusConnection daemon = QDBusConnection::connectToBus(bus.Address(), QStringLiteral("qb-daemon2"));
    ASSERT_TRUE(client.isConnected() && daemon.isConnected());
    FakeNotificationService service;
    service.capabilities = { QStringLiteral("body") };
    ASSERT_TRUE(daemon.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service,
                                      QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
    ASSERT_TRUE(daemon.registerService(QStringLiteral("org.freedesktop.Notifications")));
    {
        DBusNotificationPort port(client, { QStringLiteral("Quillbrook"), QString(), QString(), {} });
        port.Notify(QStringLiteral("定时") + QChar(0) + QStringLiteral("提醒"),
                    QStringLiteral("甲") + QChar(0) + QStringLiteral("乙\n") + QChar(0xDC00) + QStringLiteral("丙\n\u202Eexe.txt"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return service.calls.size() == 1; }, 5000));
        EXPECT_EQ(service.calls[0].summary, QStringLiteral("定时") + bad + QStringLiteral("提醒"));
        EXPECT_EQ(service.calls[0].body, QStringLiteral("甲") + bad + QStringLiteral("乙\n") + bad + QStringLiteral("丙\nexe.txt"));
    }
    daemon.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
    QDBusConnection::disconnectFromBus(QStringLiteral("qb-client2"));
    QDBusConnection::disconnectFromBus(QStringLiteral("qb-daemon2"));
}

#include "notification_tests.moc"
