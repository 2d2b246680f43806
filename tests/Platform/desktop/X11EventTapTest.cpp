#include "Platform/desktop/X11EventTapFactory.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Platform/desktop/X11Connection.h"
#include "tests/Platform/desktop/EventLoopWait.h"
#include "tests/Platform/desktop/XTestKeyboard.h"

namespace platform {
namespace {

using parloquin_test::waitUntil;
using parloquin_test::XTestKeyboard;

std::string describe(const CGEvent& e) {
    std::string s = e.type == CGEventType::flagsChanged ? "flags" : e.type == CGEventType::keyDown ? "down" : "up";
    s += " " + std::to_string(e.keyCode);
    if (e.flags & kCGEventFlagMaskControl) s += " ⌃";
    if (e.flags & kCGEventFlagMaskAlternate) s += " ⌥";
    if (e.flags & kCGEventFlagMaskShift) s += " ⇧";
    if (e.flags & kCGEventFlagMaskCommand) s += " ⌘";
    if (e.autorepeat) s += " repeat";
    return s;
}

class X11EventTapTest : public ::testing::Test {
protected:
    void SetUp() override {
        connection = X11Connection::open();
        ASSERT_TRUE(connection) << "needs an X server (DISPLAY)";
        ASSERT_TRUE(keyboard.isOpen());
        factory = std::make_unique<X11EventTapFactory>(connection);
    }

    std::unique_ptr<CGEventTap> tap(CGEventMask mask, std::vector<std::string>& into) {
        auto created = factory->createEventTap(mask, [&into](CGEventType type, const CGEvent& e) {
            EXPECT_EQ(type, e.type);
            into.push_back(describe(e));
            return true;
        });
        EXPECT_TRUE(created);
        return created;
    }

    XTestKeyboard keyboard;
    std::shared_ptr<X11Connection> connection;
    std::unique_ptr<X11EventTapFactory> factory;
};

const CGEventMask kFlags = CGEventMaskBit(CGEventType::flagsChanged);
const CGEventMask kKeys = CGEventMaskBit(CGEventType::keyDown) | CGEventMaskBit(CGEventType::keyUp);

TEST_F(X11EventTapTest, ModifierKeysBecomeFlagsChangedEvents) {
    struct Step {
        unsigned keycode;
        bool press;
    };
    const struct {
        const char* name;
        std::vector<Step> steps;
        std::vector<std::string> events;
    } cases[] = {
        {"left Alt", {{64, true}, {64, false}}, {"flags 58 ⌥", "flags 58"}},
        {"right Alt", {{108, true}, {108, false}}, {"flags 61 ⌥", "flags 61"}},
        {"both Alt keys overlapping",
         {{64, true}, {108, true}, {64, false}, {108, false}},
         {"flags 58 ⌥", "flags 61 ⌥", "flags 58 ⌥", "flags 61"}},
        {"Shift while Alt is held",
         {{64, true}, {50, true}, {50, false}, {64, false}},
         {"flags 58 ⌥", "flags 56 ⌥ ⇧", "flags 56 ⌥", "flags 58"}},
        {"repeated press of a held modifier",
         {{64, true}, {64, true}, {64, false}},
         {"flags 58 ⌥", "flags 58"}},
        {"right Super and right Control", {{134, true}, {105, true}, {105, false}, {134, false}},
         {"flags 54 ⌘", "flags 62 ⌃ ⌘", "flags 62 ⌘", "flags 54"}},
        {"ordinary key is not in the mask", {{38, true}, {38, false}, {62, true}, {62, false}},
         {"flags 60 ⇧", "flags 60"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> events;
        auto t = tap(kFlags, events);
        t->setEnabled(true);
        for (auto step : c.steps) step.press ? keyboard.press(step.keycode) : keyboard.release(step.keycode);
        EXPECT_TRUE(waitUntil([&] { return events.size() >= c.events.size(); }));
        parloquin_test::drainEventLoop();
        EXPECT_EQ(events, c.events);
        keyboard.releaseAll();
    }
}

TEST_F(X11EventTapTest, KeysBecomeKeyDownAndKeyUpWithTheHeldModifiers) {
    std::vector<std::string> events;
    auto t = tap(kKeys, events);
    t->setEnabled(true);
    keyboard.press({XTestKeyboard::kLeftShift, XTestKeyboard::kLeftSuper, XTestKeyboard::kSpace});
    keyboard.press(XTestKeyboard::kSpace);  // the key is already down: a repeat
    keyboard.release(XTestKeyboard::kLeftShift);
    keyboard.release(XTestKeyboard::kSpace);
    keyboard.release(XTestKeyboard::kLeftSuper);
    const std::vector<std::string> expected = {"down 49 ⇧ ⌘", "down 49 ⇧ ⌘ repeat", "up 49 ⌘"};
    ASSERT_TRUE(waitUntil([&] { return events.size() >= expected.size(); }));
    parloquin_test::drainEventLoop();
    EXPECT_EQ(events, expected);
}

TEST_F(X11EventTapTest, ModifierHeldBeforeTheTapStartsCounts) {
    keyboard.press(XTestKeyboard::kLeftAlt);
    std::vector<std::string> events;
    auto t = tap(kFlags, events);
    t->setEnabled(true);
    keyboard.press(XTestKeyboard::kLeftShift);
    keyboard.release(XTestKeyboard::kLeftShift);
    keyboard.release(XTestKeyboard::kLeftAlt);
    const std::vector<std::string> expected = {"flags 56 ⌥ ⇧", "flags 56 ⌥", "flags 58"};
    ASSERT_TRUE(waitUntil([&] { return events.size() >= expected.size(); }));
    EXPECT_EQ(events, expected);
}

TEST_F(X11EventTapTest, OnlyEnabledTapsDeliver) {
    std::vector<std::string> quiet, marker, gone;
    auto disabled = tap(kFlags, quiet);
    auto stopped = tap(kFlags, gone);
    stopped->setEnabled(true);
    stopped->setEnabled(false);
    auto enabled = tap(kFlags, marker);
    enabled->setEnabled(true);
    {
        auto destroyed = tap(kFlags, gone);
        destroyed->setEnabled(true);
    }
    keyboard.press(XTestKeyboard::kLeftAlt);
    keyboard.release(XTestKeyboard::kLeftAlt);
    ASSERT_TRUE(waitUntil([&] { return marker.size() == 2; }));
    parloquin_test::drainEventLoop();
    EXPECT_TRUE(quiet.empty());
    EXPECT_TRUE(gone.empty());
    EXPECT_FALSE(disabled->isEnabled());
}

TEST_F(X11EventTapTest, NoTapWithoutServer) {
    X11EventTapFactory withoutServer(nullptr);
    EXPECT_FALSE(withoutServer.createEventTap(kFlags, [](CGEventType, const CGEvent&) { return true; }));
}

}  // namespace
}  // namespace platform
