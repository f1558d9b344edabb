// The settings portal as the watcher meets it: a private session bus (a real
// dbus-daemon) with a stand-in portal on it. A test binary of its own, so
// that the watcher is made only once the bus is there.
#include <ZorCompCore/controls/ReducedMotion.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>

#include <gtest/gtest.h>

using namespace zor;

namespace {

using SettingsMap = QMap<QString, QVariantMap>;

// Answers ReadAll as the desktop portal does, from a map the test fills.
class FakePortal : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    SettingsMap Settings;
    QStringList Asked;
public Q_SLOTS:
    SettingsMap ReadAll(const QStringList &namespaces)
    {
        Asked = namespaces;
        SettingsMap out;
        for (const QString &ns : namespaces)
            if (Settings.contains(ns))
                out[ns] = Settings[ns];
        return out;
    }
};

} // namespace


// Faults: the portal never asked, or asked for other namespaces; its answer
// not unwrapped; GNOME's key read over the appearance key; live changes
// ignored.
TEST(ReducedMotionPortal, AnswerAndLiveChangesDecide)
{
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
        GTEST_SKIP() << "no dbus-daemon";
    QProcess daemon;
    daemon.start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
    ASSERT_TRUE(daemon.waitForReadyRead(10000));
    const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
    ASSERT_FALSE(address.isEmpty());
    qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
    qunsetenv("ZOR_REDUCED_MOTION");

    qDBusRegisterMetaType<SettingsMap>();
    QDBusConnection portalBus = QDBusConnection::connectToBus(address, QStringLiteral("fake-portal"));
    ASSERT_TRUE(portalBus.isConnected());
    FakePortal portal;
    portal.Settings[QStringLiteral("org.gnome.desktop.interface")][QStringLiteral("enable-animations")] = false;
    ASSERT_TRUE(portalBus.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
    ASSERT_TRUE(portalBus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal,
                                         QDBusConnection::ExportAllSlots));

    TReducedMotion *rm = TReducedMotion::Instance();
    QSignalSpy spy(rm, &TReducedMotion::Changed);
    ASSERT_TRUE(spy.wait(10000)); // the asynchronous answer
    EXPECT_TRUE(rm->Reduced());
    EXPECT_EQ(rm->Source(), QStringLiteral("gnome"));
    EXPECT_TRUE(portal.Asked.contains(QStringLiteral("org.freedesktop.appearance")));

    // The appearance key, once it appears, decides over GNOME's.
    QDBusMessage changed = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/portal/desktop"),
                                                      QStringLiteral("org.freedesktop.portal.Settings"),
                                                      QStringLiteral("SettingChanged"));
    changed << QStringLiteral("org.freedesktop.appearance") << QStringLiteral("reduced-motion")
            << QVariant::fromValue(QDBusVariant(QVariant::fromValue(uint(0))));
    ASSERT_TRUE(portalBus.send(changed));
    ASSERT_TRUE(spy.wait(10000));
    EXPECT_FALSE(rm->Reduced());
    EXPECT_EQ(rm->Source(), QStringLiteral("portal"));
    EXPECT_EQ(TReducedMotion::ScaledInterval(50, true), 50);

    portalBus.unregisterObject(QStringLiteral("/org/freedesktop/portal/desktop"));
    QDBusConnection::disconnectFromBus(QStringLiteral("fake-portal"));
    daemon.terminate();
    daemon.waitForFinished(5000);
}

#include "ReducedMotionPortalTest.moc"
