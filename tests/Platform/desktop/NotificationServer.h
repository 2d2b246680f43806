#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <vector>

#include "tests/Platform/desktop/BusName.h"

namespace parloquin_test {

// A notification service owned by the test: org.freedesktop.Notifications on its own connection to
// a session bus, keeping what it is sent. Main thread; calls are answered from the event loop.
class NotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Notification {
        QString appName;
        QString appIcon;
        QString summary;
        QString body;
        QVariantMap hints;
        int expireTimeout = 0;
    };

    explicit NotificationServer(QStringList capabilities = {QStringLiteral("body")});
    ~NotificationServer() override;

    // Owns the name on the bus at the address; false when the bus cannot be reached or the name is taken.
    bool start(const QString& busAddress);

    std::vector<Notification> received;

public slots:
    QStringList GetCapabilities();
    uint Notify(const QString& app_name, uint replaces_id, const QString& app_icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int expire_timeout);
    void CloseNotification(uint id);
    QString GetServerInformation(QString& vendor, QString& version, QString& spec_version);

private:
    QStringList capabilities_;
    BusName name_;
    uint nextId_ = 1;
};

}  // namespace parloquin_test
