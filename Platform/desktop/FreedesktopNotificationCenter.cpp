#include "Platform/desktop/FreedesktopNotificationCenter.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QMetaObject>
#include <QVariantMap>
#include <utility>

namespace platform {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

}  // namespace

FreedesktopNotificationCenter::FreedesktopNotificationCenter(QDBusConnection connection, std::string applicationName)
    : connection_(std::move(connection)), applicationName_(std::move(applicationName)) {}

FreedesktopNotificationCenter::~FreedesktopNotificationCenter() = default;

void FreedesktopNotificationCenter::requestAuthorization(unsigned, AuthorizationCompletion completion) {
    if (!connection_.isConnected()) {
        if (completion) QMetaObject::invokeMethod(&context_, [completion] { completion(false); }, Qt::QueuedConnection);
        return;
    }
    // There is nothing to grant on this desktop: notifications can be shown when a service answers.
    auto call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("GetServerInformation"));
    auto* watcher = new QDBusPendingCallWatcher(connection_.asyncCall(call), &context_);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &context_, [watcher, completion] {
        watcher->deleteLater();
        if (completion) completion(!watcher->isError());
    });
}

void FreedesktopNotificationCenter::add(const UNNotificationRequest& request, DeliveryCompletion completion) {
    if (!connection_.isConnected()) {
        if (completion)
            QMetaObject::invokeMethod(
                &context_, [completion] { completion(std::string("no session bus")); }, Qt::QueuedConnection);
        return;
    }
    Pending pending{request, std::move(completion)};
    if (capabilities_) {
        send(pending);
        return;
    }
    waiting_.push_back(std::move(pending));
    askCapabilities();
}

void FreedesktopNotificationCenter::askCapabilities() {
    if (askingCapabilities_) return;
    askingCapabilities_ = true;
    auto call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("GetCapabilities"));
    auto* watcher = new QDBusPendingCallWatcher(connection_.asyncCall(call), &context_);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &context_, [this, watcher] {
        watcher->deleteLater();
        askingCapabilities_ = false;
        QDBusPendingReply<QStringList> reply = *watcher;
        // Without an answer the next notification asks again: the service may start later.
        if (!reply.isError()) capabilities_ = reply.value();
        auto waiting = std::exchange(waiting_, {});
        for (const auto& pending : waiting) send(pending);
    });
}

void FreedesktopNotificationCenter::send(const Pending& pending) {
    const auto& content = pending.request.content;
    const bool markup = capabilities_ && capabilities_->contains(QStringLiteral("body-markup"));
    const std::string body = markup ? escapedMarkup(content.body) : content.body;

    QVariantMap hints;
    if (content.playsDefaultSound) hints.insert(QStringLiteral("sound-name"), QStringLiteral("message-new-instant"));

    auto call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    call << QString::fromStdString(applicationName_) << uint(0) << QStringLiteral("audio-input-microphone")
         << QString::fromStdString(content.title) << QString::fromStdString(body) << QStringList() << hints
         << int(-1);
    auto* watcher = new QDBusPendingCallWatcher(connection_.asyncCall(call), &context_);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &context_,
                     [watcher, completion = pending.completion] {
                         watcher->deleteLater();
                         if (!completion) return;
                         if (watcher->isError())
                             completion(watcher->error().message().toStdString());
                         else
                             completion(std::nullopt);
                     });
}

std::string FreedesktopNotificationCenter::escapedMarkup(const std::string& text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&': escaped += "&amp;"; break;
            case '<': escaped += "&lt;"; break;
            case '>': escaped += "&gt;"; break;
            default: escaped += c;
        }
    }
    return escaped;
}

}  // namespace platform
