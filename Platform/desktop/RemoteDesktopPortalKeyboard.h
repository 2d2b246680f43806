#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <string>

#include "Platform/desktop/wayland/EvdevSyntheticKeyboard.h"

namespace platform {

// Keys through the desktop portal's RemoteDesktop interface, keyboard only: GNOME's way to let a
// program type into the focused window. One session per login: made once, it asks the user
// through the desktop's own dialog; a portal of version 2 hands out a restore token that lets the
// next login's session start without asking (persist mode "until revoked"). Keys count only once
// the session has started; a refused or closed session stays so until the next login. Keys are
// Linux evdev codes by position. Main thread only.
class RemoteDesktopPortalKeyboard : public QObject, public EvdevSyntheticKeyboard {
    Q_OBJECT
public:
    enum class State { starting, ready, refused };
    // Where the restore token is kept between logins.
    struct TokenStore {
        std::function<std::string()> load;
        std::function<void(const std::string&)> save;
    };

    // nullptr where the bus has no portal, or its RemoteDesktop interface offers no keyboard.
    // Otherwise the session is asked for at once.
    static std::unique_ptr<RemoteDesktopPortalKeyboard> create(QDBusConnection bus, TokenStore tokens = {});
    ~RemoteDesktopPortalKeyboard() override;

    State state() const { return state_; }
    std::uint32_t portalVersion() const { return version_; }
    bool sendKey(std::uint32_t evdevCode, bool pressed) override;
    bool reachesFocusedWindow() override { return state_ == State::ready; }

    static constexpr std::uint32_t kKeyboardDevice = 1;
    static constexpr std::uint32_t kPersistUntilRevoked = 2;

private slots:
    void onResponse(uint response, const QVariantMap& results);
    void onClosed(const QVariantMap& details);

private:
    enum class Step { createSession, selectDevices, start };
    RemoteDesktopPortalKeyboard(QDBusConnection bus, TokenStore tokens, std::uint32_t version);
    void ask(Step step);
    void refuse();

    QDBusConnection bus_;
    TokenStore tokens_;
    std::uint32_t version_;
    State state_ = State::starting;
    Step step_ = Step::createSession;
    QString session_;
    QString requestPath_;
    int requests_ = 0;
};

}  // namespace platform
