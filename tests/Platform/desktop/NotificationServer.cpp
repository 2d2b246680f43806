#include "tests/Platform/desktop/NotificationServer.h"

#include <QDBusConnectionInterface>
#include <atomic>

namespace parloquin_test {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

}  // namespace

NotificationServer::NotificationServer(QStringList capabilities) : capabilities_(std::move(capabilities)) {
    static std::atomic<int> serial{0};
    connectionName_ = QStringLiteral("parloquin-test-notifications-%1").arg(++serial);
}

NotificationServer::~NotificationServer() {
    if (started_) {
        QDBusConnection connection(connectionName_);
        connection.unregisterObject(kPath);
        connection.unregisterService(kService);
    }
    QDBusConnection::disconnectFromBus(connectionName_);
}

bool NotificationServer::start(const QString& busAddress) {
    QDBusConnection connection = QDBusConnection::connectToBus(busAddress, connectionName_);
    if (!connection.isConnected()) return false;
    if (!connection.registerObject(kPath, this, QDBusConnection::ExportAllSlots)) return false;
    if (!connection.registerService(kService)) {
        connection.unregisterObject(kPath);
        return false;
    }
    started_ = true;
    return true;
}

QStringList NotificationServer::GetCapabilities() { return capabilities_; }

uint NotificationServer::Notify(const QString& app_name, uint, const QString& app_icon, const QString& summary,
                                const QString& body, const QStringList&, const QVariantMap& hints,
                                int expire_timeout) {
    received.push_back({app_name, app_icon, summary, body, hints, expire_timeout});
    return nextId_++;
}

void NotificationServer::CloseNotification(uint) {}

QString NotificationServer::GetServerInformation(QString& vendor, QString& version, QString& spec_version) {
    vendor = QStringLiteral("Parloquin tests");
    version = QStringLiteral("1");
    spec_version = QStringLiteral("1.2");
    return QStringLiteral("test-notifications");
}

}  // namespace parloquin_test
