#include "Parloquin/hotkeys/HotkeyManager.h"

#include <QPointer>
#include <QUrl>
#include <limits>
#include <optional>

#include "Parloquin/hotkeys/HotkeyModifier.h"
#include "Parloquin/hotkeys/HotkeyTriple.h"
#include "Parloquin/hotkeys/KeyNames.h"
#include "Parloquin/settings/SettingsKeys.h"

namespace parloquin {
namespace {

using namespace std::chrono_literals;
using platform::CGEvent;
using platform::CGEventType;

constexpr auto kPollInterval = 30s;
constexpr auto kRestorePolicyDelay = 10s;

constexpr const char* kInputMonitoringAddresses[] = {
    "x-apple.systempreferences:com.apple.preference.security?Privacy_ListenEvent",
    "x-apple.systempreferences:com.apple.preference.security?Privacy_InputMonitoring",
    "x-apple.systempreferences:com.apple.preference.security?Privacy",
};
constexpr const char* kSecurityPaneAddress = "x-apple.systempreferences:com.apple.preference.security";

// The keys that may end a recording, by the stored choice; "none" and anything else is no key.
std::optional<HotkeyTriple> cancelKey(const std::string& choice) {
    if (choice == "Escape") return HotkeyTriple{53, 0, false};
    if (choice == "⌘.") return HotkeyTriple{47, platform::cmdKey, false};
    return std::nullopt;
}

}  // namespace

HotkeyManager::HotkeyManager(HotkeySettings& settings, HotkeyEnvironment environment)
    : settings_(settings), environment_(std::move(environment)) {
    std::int64_t keyCode = settings_.integer(settings::kPrimaryHotkeyKeyCode);
    std::int64_t modifiers = settings_.integer(settings::kPrimaryHotkeyModifiers);
    isSingleKey_ = settings_.boolean(settings::kPrimaryHotkeyIsSingleKey);
    if (keyCode < 0 || keyCode > std::numeric_limits<std::uint16_t>::max() || modifiers < 0 ||
        modifiers > std::numeric_limits<std::uint32_t>::max()) {
        // Not a hotkey that could ever have been stored: use the fallback shortcut instead.
        keyCode = fallbackKeyCode_;
        modifiers = fallbackModifiers_;
        isSingleKey_ = false;
    }
    currentKeyCode_ = std::uint32_t(keyCode);
    currentModifiers_ = std::uint32_t(modifiers);

    if (isSingleKey_)
        registerEventTap();
    else
        registerCarbonHotkey(currentKeyCode_, currentModifiers_);
    registerDesktopSource();
}

HotkeyManager::~HotkeyManager() {
    desktopSource_.reset();
    cancelHotKey_.reset();
    cancelHandler_.reset();
    hotKeyRef_.reset();
    eventHandler_.reset();
    if (eventTap_) eventTap_->setEnabled(false);
    eventTap_.reset();
    fallbackTimer_.reset();
}

void HotkeyManager::updateHotkey(std::uint16_t keyCode, std::uint32_t modifiers, bool isSingleKey) {
    unregisterHotkey();
    currentKeyCode_ = keyCode;
    currentModifiers_ = modifiers;
    isSingleKey_ = isSingleKey;
    settings_.setInteger(settings::kPrimaryHotkeyKeyCode, currentKeyCode_);
    settings_.setInteger(settings::kPrimaryHotkeyModifiers, currentModifiers_);
    settings_.setBool(settings::kPrimaryHotkeyIsSingleKey, isSingleKey_);
    if (isSingleKey_) {
        registerEventTap();
    } else if (!registerCarbonHotkey(currentKeyCode_, currentModifiers_)) {
        registerEventTap();
    }
    registerDesktopSource();
}

// In a Wayland session the desktop binds the keys: asked for the hotkey as it is now.
void HotkeyManager::registerDesktopSource() {
    desktopSource_.reset();
    if (!environment_.waylandSession || !environment_.desktopSource) return;
    desktopSource_ = environment_.desktopSource({std::uint16_t(currentKeyCode_), currentModifiers_, isSingleKey_});
    if (!desktopSource_) return;
    desktopSource_->onPressed = [this] { post([this] { reportPressed(); }); };
    desktopSource_->onReleased = [this] { post([this] { reportReleased(); }); };
    desktopSource_->onChanged = [this] {
        post([this] {
            if (onRegistrationChanged) onRegistrationChanged();
        });
    };
}

std::string HotkeyManager::desktopTrigger() const { return desktopSource_ ? desktopSource_->trigger() : std::string(); }

std::string HotkeyManager::desktopProblem() const { return desktopSource_ ? desktopSource_->problem() : std::string(); }

void HotkeyManager::unregisterHotkey() {
    suspended_ = false;  // nothing is left to come back
    desktopSource_.reset();
    hotKeyRef_.reset();
    if (eventTap_) {
        eventTap_->setEnabled(false);
        eventTap_.reset();
    }
    eventHandler_.reset();
    if (fallbackTimer_) fallbackTimer_->invalidate();
    fallbackTimer_.reset();
    fallbackActive_ = false;
    tapKeyDown_ = false;
}

bool HotkeyManager::registerCarbonHotkey(std::uint32_t keyCode, std::uint32_t modifiers) {
    if (!environment_.eventTarget) return false;
    eventHandler_.reset();
    platform::OSStatus status = environment_.eventTarget->installEventHandler(
        {{platform::kEventClassKeyboard, platform::kEventHotKeyPressed},
         {platform::kEventClassKeyboard, platform::kEventHotKeyReleased}},
        [this](const platform::HotKeyEvent& event) {
            handleHotKeyEvent(event);
            return platform::noErr;
        },
        &eventHandler_);
    if (status != platform::noErr) return false;
    // Only one hot key at a time: an older one would go on firing beside the new one.
    hotKeyRef_.reset();
    status = environment_.eventTarget->registerEventHotKey(keyCode, modifiers, hotKeyID, &hotKeyRef_);
    if (status != platform::noErr) hotKeyRef_.reset();
    return status == platform::noErr;
}

void HotkeyManager::handleHotKeyEvent(const platform::HotKeyEvent& event) {
    if (!(event.hotKeyID == hotKeyID)) return;
    if (event.eventKind == platform::kEventHotKeyPressed)
        post([this] { reportPressed(); });
    else if (event.eventKind == platform::kEventHotKeyReleased)
        post([this] { reportReleased(); });
}

HotkeyRegistration HotkeyManager::registration() const {
    if (environment_.waylandSession)
        return desktopSource_ ? desktopSource_->registration() : HotkeyRegistration::desktopShortcut;
    if (fallbackActive_) return hasHotKey() ? HotkeyRegistration::fallback : HotkeyRegistration::none;
    if (hasHotKey()) return HotkeyRegistration::combination;
    if (hasEventTap()) return isSingleKey_ ? HotkeyRegistration::singleKeyTap : HotkeyRegistration::combination;
    return HotkeyRegistration::none;
}

bool HotkeyManager::checkInputMonitoringPermission() {
    return environment_.permissions && environment_.permissions->canMonitorInput();
}

void HotkeyManager::registerEventTap() {
    auto* permissions = environment_.permissions.get();
    bool ax = permissions && permissions->isAccessibilityTrusted(false);
    bool im = checkInputMonitoringPermission();

    if (!ax) {
        auto* application = environment_.application.get();
        bool wasAccessory = false;
        if (application) {
            if (application->activationPolicy() == ActivationPolicy::accessory) {
                application->setActivationPolicy(ActivationPolicy::regular);
                wasAccessory = true;
            }
            application->activateIgnoringOtherApps();
        }
        if (permissions) permissions->isAccessibilityTrusted(true);
        if (wasAccessory && environment_.timers)
            environment_.timers->schedule(kRestorePolicyDelay, &context_, [this] { restoreAccessoryPolicy(); });

        if (!fallbackActive_) {
            bool registered = registerCarbonHotkey(fallbackKeyCode_, fallbackModifiers_);
            fallbackActive_ = true;
            std::string hotkey =
                hotkeyLabel(settings_.text(settings::kPrimaryHotkey));
            post([this, hotkey, registered] { showFallbackHotkeyAlert(hotkey, registered); });
        }
        if (!fallbackTimer_ && environment_.timers) {
            fallbackPollCount_ = 0;
            fallbackTimer_ = environment_.timers->scheduledTimer(kPollInterval, &context_, [this] { pollPermissions(); });
        }
        return;
    }

    if (isSingleKey_ && !im) {
        if (!fallbackActive_ && registerCarbonHotkey(fallbackKeyCode_, fallbackModifiers_)) fallbackActive_ = true;
        bool fallbackRegistered = fallbackActive_ && hotKeyRef_;
        post([this, fallbackRegistered] { showInputMonitoringAlert(fallbackRegistered); });
        return;
    }

    createEventTap();
}

void HotkeyManager::createEventTap() {
    if (!environment_.eventTaps) return;
    // A lone modifier's tap also sees other keys go down: held with one of them, the modifier is
    // part of a key combination.
    platform::CGEventMask mask = isSingleKey_
        ? platform::CGEventMaskBit(CGEventType::flagsChanged) | platform::CGEventMaskBit(CGEventType::keyDown)
        : platform::CGEventMaskBit(CGEventType::keyDown) | platform::CGEventMaskBit(CGEventType::keyUp);
    tapKeyDown_ = false;
    eventTap_ = environment_.eventTaps->createEventTap(
        mask, [this](CGEventType type, const CGEvent& event) { return handleTapEvent(type, event); });
    if (eventTap_) eventTap_->setEnabled(true);
}

bool HotkeyManager::handleTapEvent(CGEventType type, const CGEvent& event) {
    if (isSingleKey_) {
        if (type == CGEventType::flagsChanged) return handleFlagsChanged(event);
        const HotkeyModifier* modifier = HotkeyModifier::forCarbonMask(currentModifiers_);
        if (type == CGEventType::keyDown && !event.autorepeat && modifier && (event.flags & modifier->flag))
            post([this] { reportCombined(); });
        return true;
    }
    if (event.keyCode != currentKeyCode_) return true;
    if (type == CGEventType::keyDown && HotkeyModifier::held(currentModifiers_, event.flags)) {
        // A held key repeats: swallowed like its first press, but reported only once.
        if (!event.autorepeat) {
            tapKeyDown_ = true;
            post([this] { reportPressed(); });
        }
        return false;
    }
    if (type == CGEventType::keyUp && tapKeyDown_) {
        tapKeyDown_ = false;
        post([this] { reportReleased(); });
    }
    return true;
}

bool HotkeyManager::handleFlagsChanged(const CGEvent& event) {
    const HotkeyModifier* modifier = HotkeyModifier::forCarbonMask(currentModifiers_);
    if (!modifier) return true;
    if (event.flags & modifier->flag)
        post([this] { reportPressed(); });
    else
        post([this] { reportReleased(); });
    return true;
}

void HotkeyManager::pollPermissions() {
    if (!fallbackActive_ || suspended_) return;
    ++fallbackPollCount_;
    if (fallbackPollCount_ >= maxPollAttempts_) {
        if (fallbackTimer_) fallbackTimer_->invalidate();
        fallbackTimer_.reset();
        return;
    }
    auto* permissions = environment_.permissions.get();
    bool ax = permissions && permissions->isAccessibilityTrusted(false);
    bool im = checkInputMonitoringPermission();
    if (ax && im) {
        if (fallbackTimer_) fallbackTimer_->invalidate();
        fallbackTimer_.reset();
        fallbackPollCount_ = 0;
        unregisterHotkey();
        fallbackActive_ = false;
        registerEventTap();
    }
}

void HotkeyManager::showFallbackHotkeyAlert(const std::string& hotkey, bool fallbackRegistered) {
    if (!environment_.alerts) return;
    Alert alert;
    alert.style = AlertStyle::informational;
    alert.buttons = {"OK"};
    // What the chosen key needs here: a session that allows it, not a grant.
    const std::string session =
        "deren X-Server XInput 2 anbietet (Wayland erlaubt das nicht; eine Berechtigung dafür gibt es unter Linux "
        "nicht)";
    const std::string waiting = "): ⏳ wartet auf eine X11-Sitzung mit XInput 2\n\n";
    const std::string holdMode = "melde dich für den Halten-Modus in einer X11-Sitzung mit XInput 2 an.";
    if (fallbackRegistered) {
        alert.messageText = "Parloquin ist bereit (Ersatz-Tastenkürzel)";
        alert.informativeText = "Parloquin nutzt das Ersatz-Tastenkürzel, weil dein gewähltes Kürzel eine X11-Sitzung "
                                "braucht, " +
                                session +
                                ".\n\nAktueller Stand:\n• Ersatz-Kürzel (Umschalt+Super+Leertaste): ✅ einsatzbereit\n• "
                                "Dein Kürzel (" +
                                hotkey + waiting +
                                "Drücke Umschalt+Super+Leertaste, um jetzt eine Aufnahme zu starten, oder " +
                                holdMode;
    } else {
        alert.messageText = "Parloquin hat kein globales Tastenkürzel";
        alert.informativeText = "Dein gewähltes Kürzel braucht eine X11-Sitzung, " + session +
                                ", und das Ersatz-Tastenkürzel konnte nicht registriert werden.\n\nAktueller "
                                "Stand:\n• Ersatz-Kürzel (Umschalt+Super+Leertaste): ❌ nicht verfügbar\n• Dein Kürzel (" +
                                hotkey + waiting + "Starte Aufnahmen über das Menü, oder " + holdMode;
    }
    environment_.alerts->runModal(alert);
}

void HotkeyManager::showInputMonitoringAlert(bool fallbackRegistered) {
    if (!environment_.alerts) return;
    std::string name, glyph;
    if (const HotkeyModifier* modifier = HotkeyModifier::forCarbonMask(currentModifiers_)) {
        name = modifier->name;
        glyph = modifier->glyph;
    } else {
        glyph = settings_.string(settings::kPrimaryHotkey).value_or("");
        name = glyph;
    }
    Alert alert;
    alert.style = AlertStyle::warning;
    alert.messageText = "Input Monitoring Permission Required";
    std::string text = "To use hold-to-record mode with the " + name +
                       " key, you need to grant Input Monitoring permission.\n\nThis is a Linux desktop requirement "
                       "for monitoring single keys.\n\nCurrent status:\n";
    if (fallbackRegistered) {
        text += "• Toggle mode (⇧⌘Space): ✅ Working\n• Hold-to-record (" + glyph +
                "): ❌ Requires Input Monitoring\n\nClick \"Open System Settings\" to grant permission, or continue "
                "using the fallback hotkey.";
        alert.buttons = {"Open System Settings", "Continue with ⇧⌘Space"};
    } else {
        text += "• Toggle mode (⇧⌘Space): ❌ Not available\n• Hold-to-record (" + glyph +
                "): ❌ Requires Input Monitoring\n\nClick \"Open System Settings\" to grant permission.";
        alert.buttons = {"Open System Settings", "Continue"};
    }
    alert.informativeText = std::move(text);

    QPointer<QObject> alive(&context_);
    int response = environment_.alerts->runModal(alert);
    if (!alive) return;  // the manager went away while the alert was open
    if (response == alertFirstButtonReturn) openPrivacySettings();
}

void HotkeyManager::openPrivacySettings() {
    if (!environment_.openURL) return;
    for (const char* address : kInputMonitoringAddresses) {
        if (!QUrl(QString::fromUtf8(address), QUrl::StrictMode).isValid()) continue;
        if (environment_.openURL(address)) return;
    }
    environment_.openURL(kSecurityPaneAddress);
}

void HotkeyManager::restoreAccessoryPolicy() {
    auto* application = environment_.application.get();
    if (!application || application->hasVisibleTitledWindow()) return;
    application->setActivationPolicy(ActivationPolicy::accessory);
}

void HotkeyManager::post(std::function<void()> block) {
    QMetaObject::invokeMethod(&context_, std::move(block), Qt::QueuedConnection);
}

void HotkeyManager::reportPressed() {
    if (auto callback = onHotkeyPressed) callback();
}

void HotkeyManager::reportReleased() {
    if (auto callback = onHotkeyReleased) callback();
}

void HotkeyManager::reportCombined() {
    if (auto callback = onHotkeyCombined) callback();
}

void HotkeyManager::reportCancelPressed() {
    if (auto callback = onCancelPressed) callback();
}

void HotkeyManager::suspendRegistration() {
    if (suspended_) return;
    suspended_ = true;
    if (hotKeyRef_)
        suspendedRegistration_ = Registration::hotKey;
    else if (eventTap_)
        suspendedRegistration_ = Registration::eventTap;
    else
        suspendedRegistration_ = Registration::none;
    hotKeyRef_.reset();
    eventHandler_.reset();
    if (eventTap_) eventTap_->setEnabled(false);
    eventTap_.reset();
    tapKeyDown_ = false;
    cancelHotKey_.reset();
    cancelHandler_.reset();
    desktopSource_.reset();
}

void HotkeyManager::resumeRegistration() {
    if (!suspended_) return;
    suspended_ = false;
    switch (suspendedRegistration_) {
        case Registration::hotKey:
            if (fallbackActive_)
                registerCarbonHotkey(fallbackKeyCode_, fallbackModifiers_);
            else
                registerCarbonHotkey(currentKeyCode_, currentModifiers_);
            break;
        case Registration::eventTap: createEventTap(); break;
        case Registration::none: break;
    }
    registerDesktopSource();
    if (cancelKeyWanted_) registerCancelKey();
}

void HotkeyManager::activateCancelKey() {
    cancelKeyWanted_ = true;
    if (!suspended_ && !cancelHotKey_) registerCancelKey();
}

void HotkeyManager::deactivateCancelKey() {
    cancelKeyWanted_ = false;
    cancelHotKey_.reset();
    cancelHandler_.reset();
}

void HotkeyManager::registerCancelKey() {
    cancelHotKey_.reset();
    cancelHandler_.reset();
    const auto key = cancelKey(settings_.text(settings::kCancelHotkey));
    if (!key || !environment_.eventTarget) return;
    platform::OSStatus status = environment_.eventTarget->installEventHandler(
        {{platform::kEventClassKeyboard, platform::kEventHotKeyPressed}},
        [this](const platform::HotKeyEvent& event) {
            if (event.hotKeyID == cancelHotKeyID && event.eventKind == platform::kEventHotKeyPressed)
                post([this] { reportCancelPressed(); });
            return platform::noErr;
        },
        &cancelHandler_);
    if (status != platform::noErr) return;
    status = environment_.eventTarget->registerEventHotKey(key->keyCode, key->modifiers, cancelHotKeyID, &cancelHotKey_);
    if (status != platform::noErr) {
        cancelHotKey_.reset();
        cancelHandler_.reset();
    }
}

}  // namespace parloquin
