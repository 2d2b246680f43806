#include "tests/Platform/desktop/PrivateSessionBus.h"

namespace parloquin_test {

PrivateSessionBus::PrivateSessionBus() {
    daemon_.setProgram(QStringLiteral("dbus-daemon"));
    daemon_.setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                          QStringLiteral("--print-address=1")});
    daemon_.setProcessChannelMode(QProcess::SeparateChannels);
    daemon_.start();
    if (!daemon_.waitForStarted(5000)) return;
    while (!daemon_.canReadLine()) {
        if (!daemon_.waitForReadyRead(5000)) return;
    }
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
}

PrivateSessionBus::~PrivateSessionBus() {
    if (daemon_.state() != QProcess::NotRunning) {
        daemon_.terminate();
        if (!daemon_.waitForFinished(5000)) {
            daemon_.kill();
            daemon_.waitForFinished(5000);
        }
    }
}

QDBusConnection PrivateSessionBus::connect(const QString& connectionName) const {
    return QDBusConnection::connectToBus(address_, connectionName);
}

}  // namespace parloquin_test
