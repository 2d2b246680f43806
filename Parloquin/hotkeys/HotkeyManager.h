#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <QObject>

#include "Parloquin/hotkeys/HotkeyEnvironment.h"
#include "Parloquin/hotkeys/HotkeyRegistration.h"
#include "Parloquin/hotkeys/HotkeySettings.h"
#include "Platform/desktop/CGEvent.h"
#include "Platform/desktop/CGEventTap.h"
#include "Platform/desktop/EventHandler.h"
#include "Platform/desktop/EventHotKey.h"

namespace parloquin {

// Makes the dictation hotkey work system-wide. It holds one registration at a time: a hot key (a key
// with modifiers) or an event tap (a lone modifier held to record, or a combination whose hot key was
// refused). While the tap lacks its permissions, the fallback shortcut ⇧⌘Space stands in and the
// permissions are polled.
//
// Main thread only. onHotkeyPressed and onHotkeyReleased are always called later from the main loop,
// never inside a desktop callback, and not at all once the manager is gone. A press is reported once
// however long the keys are held; its release is reported on both paths.
class HotkeyManager {
public:
    static constexpr platform::EventHotKeyID hotKeyID{platform::fourCharCode("SSPK"), 1};
    static constexpr platform::EventHotKeyID cancelHotKeyID{platform::fourCharCode("SSPK"), 2};

    // Reads the stored hotkey and registers it. A combination the desktop refuses here stays inactive
    // until it is changed.
    explicit HotkeyManager(HotkeySettings& settings, HotkeyEnvironment environment);
    virtual ~HotkeyManager();
    HotkeyManager(const HotkeyManager&) = delete;
    HotkeyManager& operator=(const HotkeyManager&) = delete;

    std::function<void()> onHotkeyPressed;
    std::function<void()> onHotkeyReleased;
    // A lone-modifier hotkey was held while another key went down: the press that came before was
    // the start of a key combination, not meant as the hotkey.
    std::function<void()> onHotkeyCombined;
    // The cancel key went down while it was active.
    std::function<void()> onCancelPressed;

    // Stores and registers a new hotkey; a refused combination falls through to the event tap.
    virtual void updateHotkey(std::uint16_t keyCode, std::uint32_t modifiers, bool isSingleKey);
    // Drops every registration and stops polling; the poll count is kept.
    virtual void unregisterHotkey();
    // Installs the hot-key handler and registers the combination; true when it is registered.
    virtual bool registerCarbonHotkey(std::uint32_t keyCode, std::uint32_t modifiers);
    // The tap path with its permission handling and fallback.
    virtual void registerEventTap();
    // The flags-changed branch of the tap; returns whether the event passes on (always).
    virtual bool handleFlagsChanged(const platform::CGEvent& event);

    bool checkInputMonitoringPermission();

    // Lets go of the hotkey (and the cancel key) until resumeRegistration, which brings back the
    // registration there was, fallback and polling included; the keys meanwhile reach the focused
    // window. A new hotkey (updateHotkey) or unregisterHotkey ends the suspension too.
    void suspendRegistration();
    void resumeRegistration();
    bool isSuspended() const noexcept { return suspended_; }

    // The key chosen under "cancelHotkey" ("Escape" or "⌘."; "none": no key), read now and taken
    // from the whole desktop until deactivateCancelKey. A key another client holds stays with it.
    void activateCancelKey();
    void deactivateCancelKey();
    bool hasCancelKey() const noexcept { return cancelHotKey_ != nullptr; }

    std::uint32_t currentKeyCode() const noexcept { return currentKeyCode_; }
    std::uint32_t currentModifiers() const noexcept { return currentModifiers_; }
    bool isSingleKey() const noexcept { return isSingleKey_; }
    bool fallbackActive() const noexcept { return fallbackActive_; }
    std::int64_t fallbackPollCount() const noexcept { return fallbackPollCount_; }
    std::int64_t maxPollAttempts() const noexcept { return maxPollAttempts_; }
    bool hasHotKey() const noexcept { return hotKeyRef_ != nullptr; }
    bool hasEventTap() const noexcept { return eventTap_ != nullptr; }
    bool isPolling() const noexcept { return fallbackTimer_ != nullptr; }
    // What works now: the chosen hotkey, the fallback in its place, the desktop's binding, or
    // nothing. In a Wayland session the desktop's binding (or the want of one) decides: the X11
    // grab beside it reaches X windows only.
    HotkeyRegistration registration() const;
    // The desktop's word for the keys it bound, and what is wrong with them; empty where none.
    std::string desktopTrigger() const;
    std::string desktopProblem() const;
    bool waylandSession() const noexcept { return environment_.waylandSession; }
    // The registration changed by itself (the desktop answered, or went away).
    std::function<void()> onRegistrationChanged;

private:
    bool handleTapEvent(platform::CGEventType type, const platform::CGEvent& event);
    void handleHotKeyEvent(const platform::HotKeyEvent& event);
    void pollPermissions();
    void showFallbackHotkeyAlert(const std::string& hotkey, bool fallbackRegistered);
    void showInputMonitoringAlert(bool fallbackRegistered);
    void openPrivacySettings();
    void restoreAccessoryPolicy();
    void post(std::function<void()> block);
    void reportPressed();
    void reportReleased();
    void reportCombined();
    void reportCancelPressed();
    void createEventTap();
    void registerCancelKey();
    void registerDesktopSource();

    enum class Registration { none, hotKey, eventTap };

    std::unique_ptr<platform::EventHotKey> hotKeyRef_;
    std::unique_ptr<platform::EventHandler> eventHandler_;
    std::unique_ptr<platform::CGEventTap> eventTap_;
    std::unique_ptr<Timer> fallbackTimer_;
    bool fallbackActive_ = false;
    std::int64_t fallbackPollCount_ = 0;
    std::int64_t maxPollAttempts_ = 10;
    std::uint32_t fallbackKeyCode_ = 49;
    std::uint32_t fallbackModifiers_ = 768;
    std::uint32_t currentKeyCode_ = 0;
    std::uint32_t currentModifiers_ = 0;
    bool isSingleKey_ = false;

    std::unique_ptr<HotkeySource> desktopSource_;
    std::unique_ptr<platform::EventHotKey> cancelHotKey_;
    std::unique_ptr<platform::EventHandler> cancelHandler_;
    bool cancelKeyWanted_ = false;
    bool suspended_ = false;
    Registration suspendedRegistration_ = Registration::none;

    bool tapKeyDown_ = false;  // a key-down of the hotkey was reported on the tap and its key-up not yet
    HotkeySettings& settings_;
    HotkeyEnvironment environment_;
    QObject context_;  // queued calls and timer blocks run only while it (and so the manager) lives
};

}  // namespace parloquin
