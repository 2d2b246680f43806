#include "tests/Platform/desktop/FileManagerServer.h"

#include <QDesktopServices>
#include <QUrl>

namespace parloquin_test {
namespace {

const QString kService = QStringLiteral("org.freedesktop.FileManager1");
const QString kPath = QStringLiteral("/org/freedesktop/FileManager1");

}  // namespace

FileManagerServer::FileManagerServer() : name_(QStringLiteral("parloquin-test-file-manager")) {}

FileManagerServer::~FileManagerServer() = default;

bool FileManagerServer::start(const QString& busAddress) { return name_.own(busAddress, kService, kPath, this); }

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
