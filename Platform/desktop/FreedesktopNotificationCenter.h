#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <optional>
#include <string>
#include <vector>

#include "Platform/desktop/UNUserNotificationCenter.h"

namespace platform {

// Notifications through org.freedesktop.Notifications on a D-Bus connection. Calls never block:
// without a bus or a service that owns the name, a notification is simply not shown and its
// completion reports why. Bodies are escaped for services that read markup in them.
class FreedesktopNotificationCenter : public UNUserNotificationCenter {
public:
    explicit FreedesktopNotificationCenter(QDBusConnection connection = QDBusConnection::sessionBus(),
                                           std::string applicationName = "Parloquin");
    ~FreedesktopNotificationCenter() override;

    void requestAuthorization(unsigned options, AuthorizationCompletion completion) override;
    void add(const UNNotificationRequest& request, DeliveryCompletion completion = {}) override;

    // Text for a service that reads body markup: &, < and > as entities.
    static std::string escapedMarkup(const std::string& text);

private:
    struct Pending {
        UNNotificationRequest request;
        DeliveryCompletion completion;
    };

    void askCapabilities();
    void send(const Pending& pending);

    QDBusConnection connection_;
    std::string applicationName_;
    std::optional<QStringList> capabilities_;
    bool askingCapabilities_ = false;
    std::vector<Pending> waiting_;  // until the service has said what it can do
    QObject context_;               // replies arrive only while the center lives
};

}  // namespace platform
