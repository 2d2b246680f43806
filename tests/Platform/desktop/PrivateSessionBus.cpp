#include "tests/Platform/desktop/PrivateSessionBus.h"

#include <QDir>
#include <QFile>

namespace parloquin_test {

PrivateSessionBus::PrivateSessionBus() {
    // The configuration's service folder is "services" beside it: an empty folder of our own.
    const QString config = folder_.filePath(QStringLiteral("bus.conf"));
    if (!folder_.isValid() || !QDir(folder_.path()).mkdir(QStringLiteral("services")) ||
        !QFile::copy(QStringLiteral(PARLOQUIN_SOURCE_DIR "/scripts/test-session-bus.conf"), config)) {
        return;
    }
    daemon_.setProgram(QStringLiteral("dbus-daemon"));
    daemon_.setArguments({QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                          QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1")});
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
