#include "Platform/desktop/RemoteDesktopPortalKeyboard.h"

#include "Platform/desktop/DesktopPortal.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace platform {
namespace {

const QString& kService = DesktopPortal::service;
const QString& kPath = DesktopPortal::path;
const QString kInterface = QStringLiteral("org.freedesktop.portal.RemoteDesktop");

std::uint32_t portalProperty(QDBusConnection& bus, const QString& name) {
    return DesktopPortal::uintProperty(bus, kInterface, name);
}

QString requestPath(const QDBusConnection& bus, const QString& token) { return DesktopPortal::requestPath(bus, token); }

}  // namespace

std::unique_ptr<RemoteDesktopPortalKeyboard> RemoteDesktopPortalKeyboard::create(QDBusConnection bus,
                                                                                 TokenStore tokens) {
    if (!bus.isConnected()) return nullptr;
    const std::uint32_t version = portalProperty(bus, QStringLiteral("version"));
    if (version == 0 || (portalProperty(bus, QStringLiteral("AvailableDeviceTypes")) & kKeyboardDevice) == 0) return nullptr;
    std::unique_ptr<RemoteDesktopPortalKeyboard> keyboard(
        new RemoteDesktopPortalKeyboard(std::move(bus), std::move(tokens), version));
    keyboard->ask(Step::createSession);
    return keyboard;
}

RemoteDesktopPortalKeyboard::RemoteDesktopPortalKeyboard(QDBusConnection bus, TokenStore tokens,
                                                         std::uint32_t version)
    : bus_(std::move(bus)), tokens_(std::move(tokens)), version_(version) {}

RemoteDesktopPortalKeyboard::~RemoteDesktopPortalKeyboard() {
    if (session_.isEmpty()) return;
    bus_.call(QDBusMessage::createMethodCall(kService, session_, QStringLiteral("org.freedesktop.portal.Session"),
                                             QStringLiteral("Close")),
              QDBus::NoBlock);
}

void RemoteDesktopPortalKeyboard::ask(Step step) {
    step_ = step;
    const QString token = QStringLiteral("parloquin%1").arg(++requests_);
    // Listened for before the call, so that an answer that comes at once is not missed.
    if (!requestPath_.isEmpty())
        bus_.disconnect(kService, requestPath_, QStringLiteral("org.freedesktop.portal.Request"),
                        QStringLiteral("Response"), this, SLOT(onResponse(uint, QVariantMap)));
    requestPath_ = requestPath(bus_, token);
    bus_.connect(kService, requestPath_, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"),
                 this, SLOT(onResponse(uint, QVariantMap)));

    QVariantMap options{{QStringLiteral("handle_token"), token}};
    QDBusMessage call;
    switch (step) {
        case Step::createSession:
            options.insert(QStringLiteral("session_handle_token"), QStringLiteral("parloquin"));
            call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("CreateSession"));
            call << options;
            break;
        case Step::selectDevices: {
            options.insert(QStringLiteral("types"), kKeyboardDevice);
            if (version_ >= 2) {
                options.insert(QStringLiteral("persist_mode"), kPersistUntilRevoked);
                const std::string saved = tokens_.load ? tokens_.load() : std::string();
                if (!saved.empty()) options.insert(QStringLiteral("restore_token"), QString::fromStdString(saved));
            }
            call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("SelectDevices"));
            call << QVariant::fromValue(QDBusObjectPath(session_)) << options;
            break;
        }
        case Step::start:
            call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Start"));
            call << QVariant::fromValue(QDBusObjectPath(session_)) << QString() << options;
            break;
    }
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        if (watcher->isError()) refuse();
    });
}

void RemoteDesktopPortalKeyboard::onResponse(uint response, const QVariantMap& results) {
    if (state_ != State::starting) return;
    // 0: granted; 1: the user said no; 2: the dialog ended otherwise.
    if (response != 0) return refuse();
    switch (step_) {
        case Step::createSession: {
            // A string in the portals as they are, an object path in the documentation.
            const QVariant handle = results.value(QStringLiteral("session_handle"));
            session_ = handle.canConvert<QDBusObjectPath>() && handle.userType() == qMetaTypeId<QDBusObjectPath>()
                           ? handle.value<QDBusObjectPath>().path()
                           : handle.toString();
            if (session_.isEmpty()) return refuse();
            bus_.connect(kService, session_, QStringLiteral("org.freedesktop.portal.Session"), QStringLiteral("Closed"),
                         this, SLOT(onClosed(QVariantMap)));
            return ask(Step::selectDevices);
        }
        case Step::selectDevices:
            return ask(Step::start);
        case Step::start: {
            if ((results.value(QStringLiteral("devices")).toUInt() & kKeyboardDevice) == 0) return refuse();
            const QString token = results.value(QStringLiteral("restore_token")).toString();
            if (!token.isEmpty() && tokens_.save) tokens_.save(token.toStdString());
            state_ = State::ready;
            return;
        }
    }
}

void RemoteDesktopPortalKeyboard::onClosed(const QVariantMap&) {
    session_.clear();
    refuse();
}

void RemoteDesktopPortalKeyboard::refuse() { state_ = State::refused; }

bool RemoteDesktopPortalKeyboard::sendKey(std::uint32_t evdevCode, bool pressed) {
    if (state_ != State::ready) return false;
    QDBusMessage key = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("NotifyKeyboardKeycode"));
    key << QVariant::fromValue(QDBusObjectPath(session_)) << QVariantMap() << int(evdevCode) << uint(pressed ? 1 : 0);
    return bus_.send(key);
}

}  // namespace platform
