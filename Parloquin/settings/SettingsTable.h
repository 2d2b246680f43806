#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/system/UserDefaults.h"

namespace parloquin {

// Every setting Parloquin keeps in the user-defaults store, declared once: its key, the type of
// its value, its default (none: the key is absent until something is chosen), whether the
// default is registered with the store at launch, the page that shows it, and a note on what it
// does. The registration, the general and hotkeys pages' fields and the typed reads below all
// come from this table, so no caller names a default of its own; the README's settings table is
// checked against it by a test.
struct SettingsTable {
    using Value = platform::UserDefaults::Value;

    enum class Type { flag, integer, text };
    // The page whose fields (and reset) hold the setting.
    enum class Page { none, general, hotkeys };

    struct Setting {
        const char* key;
        Type type;
        std::optional<Value> defaultValue;
        // Registered at launch: the store answers with the default while it holds nothing. The
        // others are read with their default by the typed reads (or only by their page).
        bool registered;
        Page page;
        const char* note;
    };

    // Every setting, the general page's in its order first, then the hotkeys page's in its order.
    static const std::vector<Setting>& all();
    // The setting with this key; nullptr for a key that is none of them.
    static const Setting* find(std::string_view key);
    // The setting's default; false for a key that is none of them or has no default.
    static Value defaultValue(std::string_view key);
    // The defaults registered with the store at launch.
    static std::map<std::string, Value> registeredDefaults();
    // The keys of one page's settings, in the page's order.
    static std::vector<std::string> keysOf(Page page);

    // The typed reads. A flag or integer: the value the store answers (stored, else registered;
    // numbers convert), else the table's default. A text: the text stored or registered, else the
    // table's default ("" for none). A key of another type, or of no setting, throws
    // std::logic_error.
    static bool flag(const platform::UserDefaults& defaults, std::string_view key);
    static std::int64_t integer(const platform::UserDefaults& defaults, std::string_view key);
    static std::string text(const platform::UserDefaults& defaults, std::string_view key);
    // The default of a text setting ("" for none); throws std::logic_error as above.
    static std::string defaultText(std::string_view key);
};

}  // namespace parloquin
