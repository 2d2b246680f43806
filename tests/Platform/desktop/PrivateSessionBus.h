#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace parloquin_test {

// A D-Bus session bus of the test's own, so that no other test or desktop service shares its names.
// It is sealed like the test session's bus (scripts/test-session-bus.conf): no service installed on
// the machine, such as a notification daemon, is ever started on it. It ends with this object.
class PrivateSessionBus {
public:
    PrivateSessionBus();
    // Lets in the named users' programs too, besides this user's (programs that a compositor
    // running as another user starts, such as sway's key bindings run as nobody under root).
    explicit PrivateSessionBus(const QStringList& otherUsers);
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    // Empty when the bus could not be started.
    const QString& address() const { return address_; }
    // A new connection to the bus under the given name (names must differ per connection).
    QDBusConnection connect(const QString& connectionName) const;

private:
    QTemporaryDir folder_;
    QProcess daemon_;
    QString address_;
};

}  // namespace parloquin_test
