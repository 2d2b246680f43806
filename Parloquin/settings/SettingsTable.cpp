#include "Parloquin/settings/SettingsTable.h"

#include <stdexcept>

#include "Parloquin/settings/SettingsKeys.h"

namespace parloquin {

using Value = SettingsTable::Value;

namespace {

using Type = SettingsTable::Type;
using Page = SettingsTable::Page;

Value textValue(const char* value) { return Value(std::string(value)); }
Value integerValue(long long value) { return Value(std::int64_t(value)); }

const SettingsTable::Setting& require(std::string_view key, Type type) {
    const SettingsTable::Setting* setting = SettingsTable::find(key);
    if (!setting) throw std::logic_error("No setting is named \"" + std::string(key) + "\"");
    if (setting->type != type) throw std::logic_error("The setting \"" + std::string(key) + "\" is of another type");
    return *setting;
}

}  // namespace

const std::vector<SettingsTable::Setting>& SettingsTable::all() {
    using namespace settings;
    static const std::vector<Setting> table = {
        {kAutoSendText, Type::flag, Value(false), true, Page::general, "press Return after pasting"},
        {kPrivacyModeEnabled, Type::flag, Value(false), true, Page::general,
         "keep no history and no statistics of dictations"},
        {kPostProcessingEnabled, Type::flag, Value(true), false, Page::general, "no effect yet"},
        {kPostProcessingMode, Type::text, textValue("smart_text"), false, Page::general, "no effect yet"},
        {kAutomaticUpdates, Type::flag, Value(true), true, Page::general, "no effect yet"},
        {kShowDockIcon, Type::flag, Value(false), true, Page::general, "keep Parloquin in the task bar"},
        {kLaunchAtLogin, Type::flag, Value(false), true, Page::general,
         "follows the autostart entry the general page writes or removes"},
        {kRecordingOverlayStyle, Type::text, textValue("default"), true, Page::general, "no effect yet"},
        {kShowRecordingTimer, Type::flag, Value(false), true, Page::general, "no effect yet"},
        {kShareAnalytics, Type::flag, Value(false), true, Page::general, "no effect yet"},
        {kSpokenFormattingCommandsEnabled, Type::flag, Value(true), true, Page::general,
         "spoken formatting commands become formatting"},
        {kShowFloatingDictationControl, Type::flag, Value(true), true, Page::general,
         "show the floating record button"},

        {kPrimaryHotkey, Type::text, textValue(kDefaultPrimaryHotkey), true, Page::hotkeys,
         "the hotkey as the menu shows it"},
        {kRecordingMode, Type::text, textValue("auto"), true, Page::hotkeys, "\"toggle\", \"hold\" or \"auto\""},
        {kPasteInPlaceMode, Type::flag, Value(true), true, Page::hotkeys, "paste at the cursor, else only copy"},
        {kCancelHotkey, Type::text, textValue("Escape"), true, Page::hotkeys,
         "the key that ends a recording unheard: \"Escape\", \"⌘.\" or \"none\""},
        {kHotkeyFeedback, Type::flag, Value(true), true, Page::hotkeys, "a sound when the hotkey acts"},

        {kPrimaryHotkeyKeyCode, Type::integer, integerValue(kDefaultPrimaryHotkeyKeyCode), true, Page::none,
         "the hotkey's virtual key code"},
        {kPrimaryHotkeyModifiers, Type::integer, integerValue(kDefaultPrimaryHotkeyModifiers), true, Page::none,
         "the hotkey's modifier mask"},
        {kPrimaryHotkeyIsSingleKey, Type::flag, Value(false), true, Page::none, "the hotkey is a lone modifier"},
        {kHasShownAccessibilityGuidance, Type::flag, Value(false), true, Page::none,
         "the paste guidance has been shown"},
        {kHasShownFirstLaunchExplanation, Type::flag, Value(false), false, Page::none,
         "the first launch's explanation has been shown"},
        {kSelectedAudioDeviceUID, Type::text, std::nullopt, false, Page::none,
         "the input to record from; absent: the default input"},
        {kRemoteDesktopRestoreToken, Type::text, std::nullopt, false, Page::none,
         "GNOME's RemoteDesktop portal's restore token"},
    };
    return table;
}

const SettingsTable::Setting* SettingsTable::find(std::string_view key) {
    for (const Setting& setting : all())
        if (key == setting.key) return &setting;
    return nullptr;
}

Value SettingsTable::defaultValue(std::string_view key) {
    const Setting* setting = find(key);
    return setting && setting->defaultValue ? *setting->defaultValue : Value(false);
}

std::map<std::string, Value> SettingsTable::registeredDefaults() {
    std::map<std::string, Value> registered;
    for (const Setting& setting : all())
        if (setting.registered && setting.defaultValue) registered.emplace(setting.key, *setting.defaultValue);
    return registered;
}

std::vector<std::string> SettingsTable::keysOf(Page page) {
    std::vector<std::string> keys;
    for (const Setting& setting : all())
        if (setting.page == page) keys.emplace_back(setting.key);
    return keys;
}

bool SettingsTable::flag(const platform::UserDefaults& defaults, std::string_view key) {
    const Setting& setting = require(key, Type::flag);
    const std::string name(key);
    if (defaults.object(name)) return defaults.boolForKey(name);
    return setting.defaultValue && std::get<bool>(*setting.defaultValue);
}

std::int64_t SettingsTable::integer(const platform::UserDefaults& defaults, std::string_view key) {
    const Setting& setting = require(key, Type::integer);
    const std::string name(key);
    if (defaults.object(name)) return defaults.integerForKey(name);
    return setting.defaultValue ? std::get<std::int64_t>(*setting.defaultValue) : 0;
}

std::string SettingsTable::text(const platform::UserDefaults& defaults, std::string_view key) {
    const std::string fallback = defaultText(key);
    return defaults.stringForKey(std::string(key)).value_or(fallback);
}

std::string SettingsTable::defaultText(std::string_view key) {
    const Setting& setting = require(key, Type::text);
    return setting.defaultValue ? std::get<std::string>(*setting.defaultValue) : std::string();
}

}  // namespace parloquin
