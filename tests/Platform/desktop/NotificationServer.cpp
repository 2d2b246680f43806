#include "tests/Platform/desktop/NotificationServer.h"


namespace parloquin_test {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

}  // namespace

NotificationServer::NotificationServer(QStringList capabilities)
    : capabilities_(std::move(capabilities)), name_(QStringLiteral("parloquin-test-notifications")) {}

NotificationServer::~NotificationServer() = default;

bool NotificationServer::start(const QString& busAddress) { return name_.own(busAddress, kService, kPath, this); }

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
