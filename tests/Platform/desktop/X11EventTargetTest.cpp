#include "Platform/desktop/X11EventTarget.h"

#include <gtest/gtest.h>

#include <vector>

#include "Platform/desktop/X11Connection.h"
#include "tests/Platform/desktop/EventLoopWait.h"
#include "tests/Platform/desktop/ForeignGrab.h"
#include "tests/Platform/desktop/ForeignKeyboardGrab.h"
#include "tests/Platform/desktop/XTestKeyboard.h"

// Xlib last: its macros clash with Qt and GoogleTest headers.
#include <X11/Xlib.h>

namespace platform {
namespace {

using parloquin_test::ForeignGrab;
using parloquin_test::ForeignKeyboardGrab;
using parloquin_test::waitUntil;
using parloquin_test::XTestKeyboard;

constexpr EventHotKeyID kID{fourCharCode("TEST"), 7};
constexpr std::uint32_t kShiftCmd = shiftKey | cmdKey;

class X11EventTargetTest : public ::testing::Test {
protected:
    void SetUp() override {
        connection = X11Connection::open();
        ASSERT_TRUE(connection) << "needs an X server (DISPLAY)";
        ASSERT_TRUE(keyboard.isOpen());
        target = std::make_unique<X11EventTarget>(connection);
        ASSERT_EQ(target->installEventHandler(
                      {{kEventClassKeyboard, kEventHotKeyPressed}, {kEventClassKeyboard, kEventHotKeyReleased}},
                      [this](const HotKeyEvent& e) {
                          (e.eventKind == kEventHotKeyPressed ? presses : releases)++;
                          EXPECT_EQ(e.hotKeyID, kID);
                          return noErr;
                      },
                      &handler),
                  noErr);
    }

    void pressShiftSuperSpace() {
        keyboard.press({XTestKeyboard::kLeftShift, XTestKeyboard::kLeftSuper, XTestKeyboard::kSpace});
    }
    void releaseShiftSuperSpace() {
        keyboard.release({XTestKeyboard::kSpace, XTestKeyboard::kLeftSuper, XTestKeyboard::kLeftShift});
    }

    XTestKeyboard keyboard;
    std::shared_ptr<X11Connection> connection;
    std::unique_ptr<X11EventTarget> target;
    std::unique_ptr<EventHandler> handler;
    int presses = 0;
    int releases = 0;
};

TEST_F(X11EventTargetTest, HeldHotKeyIsOnePressAndOneRelease) {
    std::unique_ptr<EventHotKey> hotKey;
    ASSERT_EQ(target->registerEventHotKey(49, kShiftCmd, kID, &hotKey), noErr);

    // Count what the server sends, repeats included, to know the keys were really held long enough.
    int serverPresses = 0;
    int listener = connection->addListener([&](XEvent& e) {
        if (e.type == KeyPress && e.xkey.keycode == XTestKeyboard::kSpace) ++serverPresses;
    });
    keyboard.setFastAutoRepeat();
    pressShiftSuperSpace();
    ASSERT_TRUE(waitUntil([&] { return serverPresses >= 4; })) << "the server never repeated the held key";
    EXPECT_EQ(presses, 1);
    EXPECT_EQ(releases, 0);

    // Modifiers let go before the key still end the press.
    keyboard.release(XTestKeyboard::kLeftShift);
    keyboard.release(XTestKeyboard::kLeftSuper);
    keyboard.release(XTestKeyboard::kSpace);
    ASSERT_TRUE(waitUntil([&] { return releases == 1; }));
    EXPECT_EQ(presses, 1);

    pressShiftSuperSpace();
    releaseShiftSuperSpace();
    ASSERT_TRUE(waitUntil([&] { return releases == 2; }));
    EXPECT_EQ(presses, 2);
    connection->removeListener(listener);
}

// Our grab ends while the keys are down and another client (a screen locker) takes the keyboard:
// the release goes to it. The hot key must not stay down for ever, taking every later press for
// auto-repeat.
// The keys just pressed to choose a hot key are still down when it is registered: their repeats
// are no press, and their release no release.
TEST_F(X11EventTargetTest, AKeyHeldWhileItIsRegisteredIsNoPress) {
    int serverPresses = 0;
    int listener = connection->addListener([&](XEvent& e) {
        if (e.type == KeyPress && e.xkey.keycode == XTestKeyboard::kSpace) ++serverPresses;
    });
    keyboard.setFastAutoRepeat();
    pressShiftSuperSpace();
    std::unique_ptr<EventHotKey> hotKey;
    ASSERT_EQ(target->registerEventHotKey(49, kShiftCmd, kID, &hotKey), noErr);
    ASSERT_TRUE(waitUntil([&] { return serverPresses >= 3; })) << "the held key never repeated into the grab";
    EXPECT_EQ(presses, 0);
    releaseShiftSuperSpace();

    // The next press is one.
    pressShiftSuperSpace();
    ASSERT_TRUE(waitUntil([&] { return presses == 1; }));
    EXPECT_EQ(releases, 0);
    releaseShiftSuperSpace();
    ASSERT_TRUE(waitUntil([&] { return releases == 1; }));
    EXPECT_EQ(presses, 1);
    connection->removeListener(listener);
}

TEST_F(X11EventTargetTest, AReleaseTakenByAnotherClientDoesNotKillTheHotKey) {
    struct Case {
        const char* name;
        bool pressedAgainMeanwhile;  // the key goes down and up once more while the locker holds it
    };
    const Case cases[] = {{"released under the locker", false}, {"pressed again under the locker", true}};
    std::unique_ptr<EventHotKey> hotKey;
    ASSERT_EQ(target->registerEventHotKey(49, kShiftCmd, kID, &hotKey), noErr);
    int expected = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        pressShiftSuperSpace();
        ++expected;
        ASSERT_TRUE(waitUntil([&] { return presses == expected; }));
        XUngrabKeyboard(connection->display(), CurrentTime);
        XSync(connection->display(), False);
        {
            ForeignKeyboardGrab locker;
            ASSERT_TRUE(locker.holds());
            releaseShiftSuperSpace();
            if (c.pressedAgainMeanwhile) {
                pressShiftSuperSpace();
                releaseShiftSuperSpace();
            }
            // Told when the key comes up, though the event itself went to the locker.
            EXPECT_TRUE(waitUntil([&] { return releases == expected; }));
        }
        // Later presses count again, each once.
        for (int round = 0; round < 2; ++round) {
            pressShiftSuperSpace();
            releaseShiftSuperSpace();
            ++expected;
            ASSERT_TRUE(waitUntil([&] { return presses == expected && releases == expected; }))
                << presses << " presses, " << releases << " releases";
        }
    }
}

TEST_F(X11EventTargetTest, LockStatesDoNotDisableTheHotKey) {
    std::unique_ptr<EventHotKey> hotKey;
    ASSERT_EQ(target->registerEventHotKey(49, kShiftCmd, kID, &hotKey), noErr);
    const struct {
        bool caps, num;
    } locks[] = {{false, false}, {true, false}, {false, true}, {true, true}};
    int expected = 0;
    for (auto lock : locks) {
        SCOPED_TRACE(testing::Message() << "caps " << lock.caps << " num " << lock.num);
        keyboard.setLocks(lock.caps, lock.num);
        pressShiftSuperSpace();
        releaseShiftSuperSpace();
        ++expected;
        ASSERT_TRUE(waitUntil([&] { return presses == expected && releases == expected; }));
    }
}

TEST_F(X11EventTargetTest, OtherModifiersDoNotTriggerIt) {
    std::unique_ptr<EventHotKey> hotKey;
    ASSERT_EQ(target->registerEventHotKey(49, kShiftCmd, kID, &hotKey), noErr);
    // ⇧Space and ⌃⇧⌘Space are other combinations; a marker press of the real one follows.
    keyboard.press(XTestKeyboard::kLeftShift);
    keyboard.press(XTestKeyboard::kSpace);
    keyboard.release(XTestKeyboard::kSpace);
    keyboard.press(XTestKeyboard::kLeftControl);
    keyboard.press(XTestKeyboard::kLeftSuper);
    keyboard.press(XTestKeyboard::kSpace);
    keyboard.release(XTestKeyboard::kSpace);
    keyboard.release(XTestKeyboard::kLeftControl);
    keyboard.press(XTestKeyboard::kSpace);
    keyboard.release(XTestKeyboard::kSpace);
    keyboard.releaseAll();
    ASSERT_TRUE(waitUntil([&] { return releases == 1; }));
    EXPECT_EQ(presses, 1);
}

TEST_F(X11EventTargetTest, CombinationHeldByAnotherClientIsRefusedAtOnceAndLeavesNoGrab) {
    // The other client holds only the plain combination; the lock variants we would take are free.
    ForeignGrab other(XTestKeyboard::kSpace, ShiftMask | Mod4Mask);
    ASSERT_EQ(other.error(), 0);

    std::unique_ptr<EventHotKey> hotKey;
    EXPECT_EQ(target->registerEventHotKey(49, kShiftCmd, kID, &hotKey), eventHotKeyExistsErr);
    EXPECT_FALSE(hotKey);

    ForeignGrab capsVariant(XTestKeyboard::kSpace, ShiftMask | Mod4Mask | LockMask);
    EXPECT_EQ(capsVariant.error(), 0) << "a lock variant of the refused hot key stayed grabbed";
}

TEST_F(X11EventTargetTest, DestroyingTheHotKeyFreesTheCombination) {
    std::unique_ptr<EventHotKey> hotKey;
    ASSERT_EQ(target->registerEventHotKey(49, kShiftCmd, kID, &hotKey), noErr);
    {
        ForeignGrab other(XTestKeyboard::kSpace, ShiftMask | Mod4Mask);
        EXPECT_EQ(other.error(), BadAccess);
    }
    hotKey.reset();
    ForeignGrab other(XTestKeyboard::kSpace, ShiftMask | Mod4Mask);
    EXPECT_EQ(other.error(), 0);
}

TEST_F(X11EventTargetTest, RegistrationErrors) {
    std::unique_ptr<EventHotKey> first;
    ASSERT_EQ(target->registerEventHotKey(0, controlKey | optionKey, kID, &first), noErr);

    const struct {
        const char* name;
        std::uint32_t keyCode, modifiers;
        OSStatus status;
    } cases[] = {
        {"key without a position", 10, cmdKey, paramErr},
        {"key code past the table", 500, cmdKey, paramErr},
        {"modifier bit outside the four", 49, cmdKey | 0x400, paramErr},
        {"same combination twice in one process", 0, controlKey | optionKey, eventHotKeyExistsErr},
    };
    for (const auto& c : cases) {
        std::unique_ptr<EventHotKey> hotKey;
        EXPECT_EQ(target->registerEventHotKey(c.keyCode, c.modifiers, kID, &hotKey), c.status) << c.name;
        EXPECT_FALSE(hotKey) << c.name;
    }

    X11EventTarget withoutServer(nullptr);
    std::unique_ptr<EventHotKey> hotKey;
    EXPECT_EQ(withoutServer.registerEventHotKey(49, kShiftCmd, kID, &hotKey), eventInternalErr);
}

TEST_F(X11EventTargetTest, RemovedHandlerHearsNothing) {
    std::unique_ptr<EventHotKey> hotKey;
    ASSERT_EQ(target->registerEventHotKey(49, kShiftCmd, kID, &hotKey), noErr);
    int second = 0;
    std::unique_ptr<EventHandler> marker;
    target->installEventHandler({{kEventClassKeyboard, kEventHotKeyReleased}},
                                [&](const HotKeyEvent&) { return ++second, noErr; }, &marker);
    handler.reset();
    pressShiftSuperSpace();
    releaseShiftSuperSpace();
    ASSERT_TRUE(waitUntil([&] { return second == 1; }));
    EXPECT_EQ(presses, 0);
    EXPECT_EQ(releases, 0);
}

}  // namespace
}  // namespace platform
