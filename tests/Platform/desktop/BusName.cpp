#include "tests/Platform/desktop/BusName.h"

#include <QDBusConnection>
#include <atomic>

namespace parloquin_test {

BusName::BusName(const QString& connectionPrefix) {
    static std::atomic<int> serial{0};
    connectionName_ = connectionPrefix + QStringLiteral("-%1").arg(++serial);
}

BusName::~BusName() {
    if (!service_.isEmpty()) {
        QDBusConnection connection(connectionName_);
        connection.unregisterObject(path_);
        connection.unregisterService(service_);
    }
    QDBusConnection::disconnectFromBus(connectionName_);
}

bool BusName::own(const QString& busAddress, const QString& service, const QString& path, QObject* object) {
    QDBusConnection connection = QDBusConnection::connectToBus(busAddress, connectionName_);
    if (!connection.isConnected()) return false;
    if (!connection.registerObject(path, object, QDBusConnection::ExportAllSlots)) return false;
    if (!connection.registerService(service)) {
        connection.unregisterObject(path);
        return false;
    }
    service_ = service;
    path_ = path;
    return true;
}

}  // namespace parloquin_test
