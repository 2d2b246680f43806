// The tests' session bus is sealed: a notification daemon installed on the machine as a D-Bus
// service (dunst, mako, xfce4-notifyd…) is never started on it. A stand-in daemon is installed
// in a data folder of the test's own; a plain session bus starts it, the tests' bus does not.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusReply>
#include <QProcess>
#include <filesystem>
#include <fstream>

#include "tests/Platform/desktop/PrivateSessionBus.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TemporaryDirectory.h"

namespace {

namespace fs = std::filesystem;
using parloquin_test::PrivateSessionBus;

const QString kNotifications = QStringLiteral("org.freedesktop.Notifications");

// A bus started with `dbus-daemon --session`, as a desktop starts one.
class PlainSessionBus {
public:
    PlainSessionBus() {
        daemon_.start(QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                       QStringLiteral("--print-address=1")});
        if (!daemon_.waitForStarted(5000)) return;
        while (!daemon_.canReadLine())
            if (!daemon_.waitForReadyRead(5000)) return;
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    }
    ~PlainSessionBus() {
        daemon_.terminate();
        if (!daemon_.waitForFinished(5000)) daemon_.kill();
        daemon_.waitForFinished(5000);
    }
    const QString& address() const { return address_; }

private:
    QProcess daemon_;
    QString address_;
};

// Asks the bus to start the notification service; the error's name, empty when it started.
QString startNotifications(const QString& address, const QString& connectionName) {
    QString error;
    {
        QDBusConnection bus = QDBusConnection::connectToBus(address, connectionName);
        if (!bus.isConnected()) return QStringLiteral("not connected");
        const QDBusReply<void> reply = bus.interface()->startService(kNotifications);
        error = reply.isValid() ? QString() : reply.error().name();
    }
    QDBusConnection::disconnectFromBus(connectionName);
    return error;
}

TEST(SealedSessionBusTest, ANotificationServiceOfTheMachineNeverStartsOnTheTestsBus) {
    testsupport::TemporaryDirectory machine;
    const fs::path started = machine / "started";
    // The daemon writes down that it ran and leaves with a failure, which the bus reports at once.
    std::ofstream(machine / "fake-notification-daemon.sh") << "#!/bin/sh\necho started >> '" << started.string()
                                                           << "'\nexit 1\n";
    fs::create_directories(machine / "share/dbus-1/services");
    std::ofstream(machine / "share/dbus-1/services/org.freedesktop.Notifications.service")
        << "[D-BUS Service]\nName=org.freedesktop.Notifications\nExec=/bin/sh "
        << (machine / "fake-notification-daemon.sh").string() << "\n";
    testsupport::ScopedEnvironment environment;
    environment.set("XDG_DATA_DIRS", (machine / "share").string());
    environment.set("XDG_DATA_HOME", (machine / "home-share").string());

    // A desktop's bus finds the service and starts it: the stand-in is one that would be started.
    {
        PlainSessionBus plain;
        ASSERT_FALSE(plain.address().isEmpty()) << "dbus-daemon --session did not start";
        const QString error = startNotifications(plain.address(), QStringLiteral("plain-bus"));
        EXPECT_EQ(error, QStringLiteral("org.freedesktop.DBus.Error.Spawn.ChildExited"));
        ASSERT_TRUE(fs::exists(started)) << "the plain bus did not start the stand-in: " << error.toStdString();
    }
    fs::remove(started);

    // The tests' bus (scripts/test-session-bus.conf) knows no such service.
    PrivateSessionBus sealed;
    ASSERT_FALSE(sealed.address().isEmpty());
    EXPECT_EQ(startNotifications(sealed.address(), QStringLiteral("sealed-bus")),
              QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown"));
    EXPECT_FALSE(fs::exists(started));
}

}  // namespace
