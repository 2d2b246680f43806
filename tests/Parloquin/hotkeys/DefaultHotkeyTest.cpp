// The hotkey a user starts with: the new default for a new user, the earlier one for a user of an
// earlier version who never chose one, and whatever is stored for everyone else.
#include "Parloquin/hotkeys/DefaultHotkey.h"

#include <gtest/gtest.h>

#include <fstream>
#include <tuple>

#include "tests/support/TemporaryDirectory.h"

namespace parloquin {
namespace {

using Stored = std::tuple<std::optional<std::string>, std::int64_t, std::int64_t, bool>;

Stored stored(const platform::UserDefaults& defaults) {
    return {defaults.stringForKey("primaryHotkey"), defaults.integerForKey("primaryHotkeyKeyCode"),
            defaults.integerForKey("primaryHotkeyModifiers"), defaults.boolForKey("primaryHotkeyIsSingleKey")};
}

TEST(DefaultHotkey, ANewUserGetsTheNewDefaultAndEveryoneElseKeepsTheirKey) {
    struct Case {
        const char* name;
        const char* file;  // nullptr: no settings file
        Stored expected;
    };
    const Case cases[] = {
        {"a new user", nullptr, {"⌃⌥Space", 49, 0x1800, false}},
        {"an earlier user who never chose one", R"({"hasShownFirstLaunchExplanation":true})",
         {"⇧⌘Space", 49, 0x300, false}},
        {"a chosen combination", R"({"primaryHotkey":"⌃⇧K","primaryHotkeyKeyCode":40,"primaryHotkeyModifiers":4608})",
         {"⌃⇧K", 40, 4608, false}},
        {"a chosen lone modifier",
         R"({"primaryHotkey":"⌥","primaryHotkeyKeyCode":58,"primaryHotkeyModifiers":2048,"primaryHotkeyIsSingleKey":true})",
         {"⌥", 58, 2048, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::TemporaryDirectory folder;
        const auto path = folder.path() / "defaults.json";
        if (c.file) std::ofstream(path) << c.file;
        {
            platform::UserDefaults defaults(path);
            EXPECT_TRUE(DefaultHotkey::storeForUserWithoutOne(defaults));
            EXPECT_EQ(stored(defaults), c.expected);
        }
        // Stored, so that the next start (the file now exists) keeps it.
        platform::UserDefaults again(path);
        EXPECT_TRUE(DefaultHotkey::storeForUserWithoutOne(again));
        EXPECT_EQ(stored(again), c.expected);
    }
}

}  // namespace
}  // namespace parloquin
