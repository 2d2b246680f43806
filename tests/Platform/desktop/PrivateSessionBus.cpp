#include "tests/Platform/desktop/PrivateSessionBus.h"

#include <QDir>
#include <QFile>

namespace parloquin_test {

PrivateSessionBus::PrivateSessionBus() : PrivateSessionBus(QStringList{}) {}

PrivateSessionBus::PrivateSessionBus(const QStringList& otherUsers) {
    // The configuration's service folder is "services" beside it: an empty folder of our own.
    const QString config = folder_.filePath(QStringLiteral("bus.conf"));
    QFile source(QStringLiteral(PARLOQUIN_SOURCE_DIR "/scripts/test-session-bus.conf"));
    if (!folder_.isValid() || !QDir(folder_.path()).mkdir(QStringLiteral("services")) ||
        !source.open(QIODevice::ReadOnly)) {
        return;
    }
    QByteArray text = source.readAll();
    QByteArray users;
    for (const QString& user : otherUsers) users += "    <allow user=\"" + user.toUtf8() + "\"/>\n";
    text.replace("  </policy>", users + "  </policy>");
    QFile written(config);
    if (!written.open(QIODevice::WriteOnly) || written.write(text) != text.size()) return;
    written.close();
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
