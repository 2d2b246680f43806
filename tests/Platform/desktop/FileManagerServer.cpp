#include "tests/Platform/desktop/FileManagerServer.h"

#include <QDesktopServices>
#include <QUrl>
#include <atomic>

namespace parloquin_test {
namespace {

const QString kService = QStringLiteral("org.freedesktop.FileManager1");
const QString kPath = QStringLiteral("/org/freedesktop/FileManager1");

}  // namespace

FileManagerServer::FileManagerServer() {
    static std::atomic<int> serial{0};
    connectionName_ = QStringLiteral("parloquin-test-file-manager-%1").arg(++serial);
}

FileManagerServer::~FileManagerServer() {
    if (started_) {
        QDBusConnection connection(connectionName_);
        connection.unregisterObject(kPath);
        connection.unregisterService(kService);
    }
    QDBusConnection::disconnectFromBus(connectionName_);
}

bool FileManagerServer::start(const QString& busAddress) {
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

void FileManagerServer::ShowFolders(const QStringList& URIs, const QString&) {
    received.push_back({QStringLiteral("ShowFolders"), URIs});
}

void FileManagerServer::ShowItems(const QStringList& URIs, const QString&) {
    received.push_back({QStringLiteral("ShowItems"), URIs});
}

void FileManagerServer::ShowItemProperties(const QStringList& URIs, const QString&) {
    received.push_back({QStringLiteral("ShowItemProperties"), URIs});
}

OpenedURLs::OpenedURLs(QStringList schemes) : schemes_(std::move(schemes)) {
    for (const QString& scheme : schemes_) QDesktopServices::setUrlHandler(scheme, this, "open");
}

OpenedURLs::~OpenedURLs() {
    for (const QString& scheme : schemes_) QDesktopServices::unsetUrlHandler(scheme);
}

void OpenedURLs::open(const QUrl& url) { opened << url.toString(); }

}  // namespace parloquin_test
