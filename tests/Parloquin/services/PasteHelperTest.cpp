#include "Parloquin/services/PasteHelper.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/Parloquin/services/PasteFakes.h"

namespace parloquin {
namespace {

using platform::CGEventType;

TEST(PasteHelperTest, PasteWritesTheClipboardThenPressesTheChordOfTheFocusedWindow) {
    struct Case {
        std::string name;
        std::vector<std::string> windowClass;
        PasteHelper::PasteChord chord;
    };
    const std::vector<Case> cases = {
        {"editor", {"gedit", "Gedit"}, PasteHelper::kControlV},
        {"browser", {"Navigator", "firefox-esr"}, PasteHelper::kControlV},
        {"chat whose name holds term", {"mattermost", "Mattermost"}, PasteHelper::kControlV},
        {"unknown window", {}, PasteHelper::kControlV},
        {"xterm", {"xterm", "XTerm"}, PasteHelper::kShiftInsert},
        {"GNOME terminal", {"gnome-terminal-server", "Gnome-terminal"}, PasteHelper::kShiftInsert},
        {"Xfce terminal", {"xfce4-terminal", "Xfce4-terminal"}, PasteHelper::kShiftInsert},
        {"Konsole", {"konsole", "konsole"}, PasteHelper::kShiftInsert},
        {"kitty", {"kitty", "kitty"}, PasteHelper::kShiftInsert},
        {"rxvt-unicode", {"urxvt", "URxvt"}, PasteHelper::kShiftInsert},
    };
    for (const Case& c : cases) {
        parloquin_test::FakeDesktop desktop;
        desktop.keyboard->windowClass = c.windowClass;
        EXPECT_EQ(PasteHelper::pasteAtCursor("Grüße"), PasteHelper::PasteResult::pasted) << c.name;
        EXPECT_EQ(desktop.pasteboard->log, (std::vector<std::string>{"clear", "set Grüße"})) << c.name;
        // A terminal pastes the primary selection with Shift+Insert: it gets the text too.
        EXPECT_EQ(desktop.selection->contents,
                  c.chord.pastesSelection ? std::optional<std::string>("Grüße") : std::nullopt)
            << c.name;
        ASSERT_EQ(desktop.keyboard->events.size(), 2u) << c.name;
        EXPECT_EQ(desktop.keyboard->events[0].type, CGEventType::keyDown);
        EXPECT_EQ(desktop.keyboard->events[1].type, CGEventType::keyUp);
        for (const platform::CGEvent& event : desktop.keyboard->events) {
            EXPECT_EQ(event.keyCode, c.chord.virtualKeyCode) << c.name;
            EXPECT_EQ(event.flags, c.chord.flags) << c.name;
        }
    }

    parloquin_test::FakeDesktop desktop;
    EXPECT_TRUE(PasteHelper::copyToClipboard("nur kopiert"));
    EXPECT_EQ(desktop.pasteboard->contents, "nur kopiert");
    EXPECT_TRUE(desktop.keyboard->events.empty());
}

// What was on the clipboard before must not be pasted in place of the text.
TEST(PasteHelperTest, ATextTheClipboardRefusesIsNotPasted) {
    struct Case {
        std::string name;
        std::vector<std::string> windowClass;
        bool clipboardRefuses;
        bool selectionRefuses;
    };
    const std::vector<Case> cases = {
        {"clipboard", {"gedit", "Gedit"}, true, false},
        {"terminal, clipboard", {"xterm", "XTerm"}, true, false},
        {"terminal, primary selection", {"xterm", "XTerm"}, false, true},
    };
    for (const Case& c : cases) {
        parloquin_test::FakeDesktop desktop;
        desktop.pasteboard->contents = "vorher";
        desktop.pasteboard->refuses = c.clipboardRefuses;
        desktop.selection->refuses = c.selectionRefuses;
        desktop.keyboard->windowClass = c.windowClass;
        EXPECT_EQ(PasteHelper::pasteAtCursor("neu"), PasteHelper::PasteResult::notCopied) << c.name;
        EXPECT_TRUE(desktop.keyboard->events.empty()) << c.name;
        if (c.clipboardRefuses) {
            EXPECT_FALSE(PasteHelper::copyToClipboard("neu")) << c.name;
            EXPECT_EQ(desktop.pasteboard->contents, "vorher") << c.name;
        }
    }
}

// A native window of a desktop that lets no program send it keys: the text waits on the clipboard.
TEST(PasteHelperTest, WhereNoWayReachesTheFocusedWindowTheTextIsOnlyCopied) {
    parloquin_test::FakeDesktop desktop;
    desktop.keyboard->reaches = false;
    EXPECT_EQ(PasteHelper::pasteAtCursor("nur hier"), PasteHelper::PasteResult::copiedOnly);
    EXPECT_EQ(desktop.pasteboard->contents, "nur hier");
    EXPECT_TRUE(desktop.keyboard->events.empty());
}

TEST(PasteHelperTest, AccessibilityIsAskedWithAndWithoutThePrompt) {
    parloquin_test::FakeDesktop desktop;
    for (bool granted : {true, false}) {
        desktop.permissions->accessibility = granted;
        EXPECT_EQ(PasteHelper::checkAccessibilityPermission(), granted);
    }
    EXPECT_EQ(desktop.permissions->checks, 2);
    EXPECT_EQ(desktop.permissions->prompts, 0);
    PasteHelper::requestAccessibilityPermission();
    EXPECT_EQ(desktop.permissions->prompts, 1);
}

}  // namespace
}  // namespace parloquin
