// The clipboard and synthetic keys on the test X server, landing in a Qt line edit.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "Platform/desktop/CGEvent.h"
#include "Platform/desktop/NSPasteboard.h"
#include "Platform/desktop/X11Connection.h"
#include "Platform/desktop/X11SyntheticKeyboard.h"
#include "tests/Platform/desktop/EventLoopWait.h"
#include "tests/Platform/desktop/FocusedLineEdit.h"

namespace platform {
namespace {

using parloquin_test::FocusedLineEdit;
using parloquin_test::waitUntil;

constexpr std::uint16_t kV = 9;
constexpr std::uint16_t kReturn = 36;

void press(SyntheticKeyboard& keyboard, std::uint16_t key, CGEventFlags flags,
           std::chrono::milliseconds between = std::chrono::milliseconds(10)) {
    ASSERT_TRUE(keyboard.post(CGEvent{CGEventType::keyDown, key, flags, false}));
    std::this_thread::sleep_for(between);
    ASSERT_TRUE(keyboard.post(CGEvent{CGEventType::keyUp, key, flags, false}));
}

TEST(PasteboardTest, HoldsTheLastTextUntilCleared) {
    auto pasteboard = NSPasteboard::general();
    ASSERT_TRUE(pasteboard->setString("Grüße aus Köln 😀\nzweite Zeile"));
    EXPECT_EQ(pasteboard->string(), "Grüße aus Köln 😀\nzweite Zeile");
    ASSERT_TRUE(pasteboard->setString("zweiter Text"));
    EXPECT_EQ(pasteboard->string(), "zweiter Text");
    pasteboard->clearContents();
    EXPECT_EQ(pasteboard->string().value_or(""), "");
}

TEST(SyntheticKeyboardTest, ControlVPastesTheClipboardIntoTheFocusedLineEdit) {
    auto connection = X11Connection::open();
    ASSERT_TRUE(connection) << "needs an X server (DISPLAY)";
    FocusedLineEdit target;
    ASSERT_TRUE(target.isFocused());

    ASSERT_TRUE(NSPasteboard::general()->setString("eingefügt"));
    X11SyntheticKeyboard keyboard(connection);
    press(keyboard, kV, kCGEventFlagMaskControl);
    EXPECT_TRUE(waitUntil([&] { return target.text() == "eingefügt"; })) << target.text();

    press(keyboard, kReturn, 0);
    EXPECT_TRUE(waitUntil([&] { return target.returnPresses() == 1; }));
    // The modifier went up with the key: a plain V now types a letter.
    press(keyboard, kV, 0);
    EXPECT_TRUE(waitUntil([&] { return target.text() == "eingefügtv"; })) << target.text();
}

// A busy machine can stall the poster between the two halves for longer than the server's
// auto-repeat delay: the key must still arrive once, not once per repeat.
TEST(SyntheticKeyboardTest, AStallBetweenPressAndReleaseDoesNotRepeatTheKey) {
    auto connection = X11Connection::open();
    ASSERT_TRUE(connection) << "needs an X server (DISPLAY)";
    FocusedLineEdit target;
    ASSERT_TRUE(target.isFocused());

    ASSERT_TRUE(NSPasteboard::general()->setString("einmal"));
    X11SyntheticKeyboard keyboard(connection);
    press(keyboard, kV, kCGEventFlagMaskControl, std::chrono::milliseconds(1200));
    EXPECT_TRUE(waitUntil([&] { return target.text() == "einmal"; })) << target.text();
    press(keyboard, kReturn, 0);
    EXPECT_TRUE(waitUntil([&] { return target.returnPresses() == 1; }));
    EXPECT_EQ(target.text(), "einmal");
}

TEST(SyntheticKeyboardTest, AKeyWithoutAKnownPositionIsNotPosted) {
    auto connection = X11Connection::open();
    ASSERT_TRUE(connection) << "needs an X server (DISPLAY)";
    X11SyntheticKeyboard keyboard(connection);
    EXPECT_FALSE(keyboard.post(CGEvent{CGEventType::keyDown, 10, 0, false}));  // ISO § key: no fixed place
    EXPECT_FALSE(keyboard.post(CGEvent{CGEventType::flagsChanged, kV, 0, false}));
}

TEST(SyntheticKeyboardTest, WithoutAnXServerNothingIsPosted) {
    X11SyntheticKeyboard keyboard(nullptr);
    EXPECT_FALSE(keyboard.post(CGEvent{CGEventType::keyDown, kV, kCGEventFlagMaskControl, false}));
}

}  // namespace
}  // namespace platform
