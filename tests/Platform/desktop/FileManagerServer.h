#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <vector>

#include "tests/Platform/desktop/BusName.h"

namespace parloquin_test {

// A file manager owned by the test: org.freedesktop.FileManager1 on its own connection to a
// session bus, keeping what it is asked to show. Calls are answered from the event loop.
class FileManagerServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    struct Request {
        QString method;
        QStringList uris;
    };

    FileManagerServer();
    ~FileManagerServer() override;

    // Owns the name on the bus at the address; false when the bus cannot be reached or the name is taken.
    bool start(const QString& busAddress);

    std::vector<Request> received;

public slots:
    void ShowFolders(const QStringList& URIs, const QString& StartupId);
    void ShowItems(const QStringList& URIs, const QString& StartupId);
    void ShowItemProperties(const QStringList& URIs, const QString& StartupId);

private:
    BusName name_;
};

// Takes the addresses the desktop would open for the schemes given, for as long as it lives.
class OpenedURLs : public QObject {
    Q_OBJECT

public:
    explicit OpenedURLs(QStringList schemes);
    ~OpenedURLs() override;

    QStringList opened;

public slots:
    void open(const QUrl& url);

private:
    QStringList schemes_;
};

}  // namespace parloquin_test
