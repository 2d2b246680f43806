// The recorder on a window of its own: key events as the desktop delivers them to the window
// (X11 keycodes, Qt modifiers, event times), the focused line edit showing what passes on.
#include "Parloquin/hotkeys/HotkeyRecorder.h"

#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QLineEdit>
#include <QShortcut>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>
#include <memory>
#include <optional>

#include "tests/Platform/desktop/EventLoopWait.h"

namespace parloquin {
namespace {

using parloquin_test::drainEventLoop;

// X11 keycodes of the keys used here.
constexpr unsigned kLeftControl = 37, kRightControl = 105, kLeftShift = 50, kRightShift = 62, kLeftAlt = 64,
                   kRightAlt = 108, kLeftSuper = 133, kRightSuper = 134, kK = 45, kEscape = 9, kF13 = 191;

struct Captured {
    std::string display;
    HotkeyTriple hotkey;
};

class HotkeyRecorderTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto* layout = new QVBoxLayout(&window);
        edit = new QLineEdit(&window);
        layout->addWidget(edit);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        window.activateWindow();
        edit->setFocus();
        edit->installEventFilter(&keysSeen);
        recorder = std::make_unique<HotkeyRecorder>();
        QObject::connect(recorder.get(), &HotkeyRecorder::isRecordingChanged,
                         [this](bool recording) { changes += recording ? "+" : "-"; });
    }

    void start() {
        recorder->startRecording([this](const std::string& display, std::uint16_t keyCode, std::uint32_t modifiers,
                                         bool isSingleKey) {
            ++completions;
            captured = Captured{display, {keyCode, modifiers, isSingleKey}};
        });
    }

    // A key event sent to the window as the desktop sends it; returns whether the line edit got it.
    bool key(QEvent::Type type, unsigned keycode, Qt::Key qtKey, Qt::KeyboardModifiers modifiers, quint64 time) {
        const int before = keysSeen.count;
        QKeyEvent event(type, qtKey, modifiers, keycode, 0, 0);
        event.setTimestamp(time);
        QCoreApplication::sendEvent(window.windowHandle(), &event);
        return keysSeen.count > before;
    }
    bool press(unsigned keycode, Qt::Key qtKey, Qt::KeyboardModifiers modifiers, quint64 time) {
        return key(QEvent::KeyPress, keycode, qtKey, modifiers, time);
    }
    bool release(unsigned keycode, Qt::Key qtKey, Qt::KeyboardModifiers modifiers, quint64 time) {
        return key(QEvent::KeyRelease, keycode, qtKey, modifiers, time);
    }

    struct KeyCounter : QObject {
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) ++count;
            return false;
        }
        int count = 0;
    } keysSeen;

    QWidget window;
    QLineEdit* edit = nullptr;
    std::unique_ptr<HotkeyRecorder> recorder;
    int completions = 0;
    std::optional<Captured> captured;
    std::string changes;
};

TEST_F(HotkeyRecorderTest, KeyWithModifiersIsCapturedOnItsPressAndTakenFromTheWindow) {
    start();
    EXPECT_TRUE(recorder->isRecording());
    EXPECT_TRUE(press(kLeftAlt, Qt::Key_Alt, Qt::NoModifier, 1000)) << "a modifier going down passes on";
    EXPECT_TRUE(press(kLeftSuper, Qt::Key_Super_L, Qt::AltModifier, 1010));
    EXPECT_FALSE(press(kK, Qt::Key_K, Qt::AltModifier | Qt::MetaModifier, 1020)) << "the captured key is taken";
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(completions, 0) << "the completion comes later, from the event loop";
    drainEventLoop();
    ASSERT_EQ(completions, 1);
    EXPECT_EQ(captured->display, "⌥⌘K");
    EXPECT_EQ(captured->hotkey, (HotkeyTriple{40, 0x900, false}));
    EXPECT_EQ(changes, "+-");
    // The keys come up afterwards, in the window as ever.
    EXPECT_TRUE(release(kK, Qt::Key_K, Qt::AltModifier | Qt::MetaModifier, 1100));
    EXPECT_TRUE(release(kLeftAlt, Qt::Key_Alt, Qt::AltModifier | Qt::MetaModifier, 1110));
    drainEventLoop();
    EXPECT_EQ(completions, 1);
}

// The modifier tapped is the one recorded, either of its two keys.
TEST_F(HotkeyRecorderTest, LoneModifierTappedIsTheModifierThatWentDown) {
    const struct {
        unsigned keycode;
        Qt::Key qtKey;
        const char* glyph;
        std::uint16_t keyCode;
        std::uint32_t modifiers;
    } cases[] = {
        {kLeftControl, Qt::Key_Control, "⌃", 59, 0x1000}, {kRightControl, Qt::Key_Control, "⌃", 59, 0x1000},
        {kLeftShift, Qt::Key_Shift, "⇧", 56, 0x200},      {kRightShift, Qt::Key_Shift, "⇧", 56, 0x200},
        {kLeftAlt, Qt::Key_Alt, "⌥", 58, 0x800},          {kRightAlt, Qt::Key_Alt, "⌥", 58, 0x800},
        {kLeftSuper, Qt::Key_Super_L, "⌘", 55, 0x100},    {kRightSuper, Qt::Key_Super_R, "⌘", 55, 0x100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keycode);
        completions = 0;
        start();
        EXPECT_TRUE(press(c.keycode, c.qtKey, Qt::NoModifier, 5000));
        EXPECT_FALSE(release(c.keycode, c.qtKey, Qt::NoModifier, 5100)) << "the captured release is taken";
        drainEventLoop();
        ASSERT_EQ(completions, 1);
        EXPECT_EQ(captured->display, c.glyph);
        EXPECT_EQ(captured->hotkey, (HotkeyTriple{c.keyCode, c.modifiers, true}));
    }
}

TEST_F(HotkeyRecorderTest, WhatIsNoLoneModifierTapLeavesTheRecordingRunning) {
    const struct {
        const char* name;
        std::vector<std::tuple<QEvent::Type, unsigned, Qt::Key, Qt::KeyboardModifiers, quint64>> events;
    } cases[] = {
        {"held for 0.2 s",
         {{QEvent::KeyPress, kLeftControl, Qt::Key_Control, Qt::NoModifier, 0},
          {QEvent::KeyRelease, kLeftControl, Qt::Key_Control, Qt::ControlModifier, 200}}},
        {"held for exactly 0.15 s",
         {{QEvent::KeyPress, kLeftShift, Qt::Key_Shift, Qt::NoModifier, 0},
          {QEvent::KeyRelease, kLeftShift, Qt::Key_Shift, Qt::ShiftModifier, 150}}},
        {"two modifiers tapped together",
         {{QEvent::KeyPress, kLeftControl, Qt::Key_Control, Qt::NoModifier, 0},
          {QEvent::KeyPress, kLeftShift, Qt::Key_Shift, Qt::ControlModifier, 10},
          {QEvent::KeyRelease, kLeftShift, Qt::Key_Shift, Qt::ControlModifier | Qt::ShiftModifier, 40},
          {QEvent::KeyRelease, kLeftControl, Qt::Key_Control, Qt::ControlModifier, 50}}},
        {"a key without a name pressed meanwhile",
         {{QEvent::KeyPress, kLeftControl, Qt::Key_Control, Qt::NoModifier, 0},
          {QEvent::KeyPress, kF13, Qt::Key_F13, Qt::ControlModifier, 20},
          {QEvent::KeyRelease, kLeftControl, Qt::Key_Control, Qt::ControlModifier, 50}}},
        {"one of two keys of the modifier let go",
         {{QEvent::KeyPress, kLeftShift, Qt::Key_Shift, Qt::NoModifier, 0},
          {QEvent::KeyPress, kRightShift, Qt::Key_Shift, Qt::ShiftModifier, 10},
          {QEvent::KeyRelease, kLeftShift, Qt::Key_Shift, Qt::ShiftModifier, 50}}},
        {"a bare key", {{QEvent::KeyPress, kK, Qt::Key_K, Qt::NoModifier, 0}}},
        {"a release of a modifier pressed before the recording",
         {{QEvent::KeyRelease, kLeftAlt, Qt::Key_Alt, Qt::AltModifier, 10}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        completions = 0;
        recorder->stopRecording();
        start();
        for (const auto& [type, keycode, qtKey, modifiers, time] : c.events)
            EXPECT_TRUE(key(type, keycode, qtKey, modifiers, 7000 + time)) << "passes on";
        drainEventLoop();
        EXPECT_EQ(completions, 0);
        EXPECT_TRUE(recorder->isRecording());
    }
    // The next quick tap is captured.
    recorder->stopRecording();
    start();
    press(kLeftControl, Qt::Key_Control, Qt::NoModifier, 9000);
    press(kLeftShift, Qt::Key_Shift, Qt::ControlModifier, 9300);  // held too long, then a new gesture
    release(kLeftShift, Qt::Key_Shift, Qt::ControlModifier | Qt::ShiftModifier, 9310);
    release(kLeftControl, Qt::Key_Control, Qt::ControlModifier, 9320);
    press(kRightAlt, Qt::Key_Alt, Qt::NoModifier, 9400);
    release(kRightAlt, Qt::Key_Alt, Qt::AltModifier, 9450);
    drainEventLoop();
    ASSERT_EQ(completions, 1);
    EXPECT_EQ(captured->display, "⌥");
}

TEST_F(HotkeyRecorderTest, EscapeAloneEndsTheRecordingWithoutAResult) {
    start();
    EXPECT_FALSE(press(kEscape, Qt::Key_Escape, Qt::NoModifier, 100)) << "taken: the window does not see it";
    drainEventLoop();
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(completions, 0);
    EXPECT_EQ(changes, "+-");
    EXPECT_TRUE(press(kEscape, Qt::Key_Escape, Qt::NoModifier, 200)) << "after the recording Escape passes again";

    // With a modifier, Escape is a hotkey like any other.
    start();
    EXPECT_FALSE(press(kEscape, Qt::Key_Escape, Qt::ControlModifier, 300));
    drainEventLoop();
    ASSERT_EQ(completions, 1);
    EXPECT_EQ(captured->display, "⌃Escape");
}

TEST_F(HotkeyRecorderTest, StoppedOrGoneBeforeTheCompletionRuns) {
    start();
    recorder->stopRecording();
    recorder->stopRecording();
    EXPECT_TRUE(press(kK, Qt::Key_K, Qt::ControlModifier, 100)) << "a stopped recorder takes nothing";
    EXPECT_EQ(changes, "+-");

    start();
    press(kK, Qt::Key_K, Qt::ControlModifier, 200);
    recorder.reset();
    drainEventLoop();
    EXPECT_EQ(completions, 0);
}

TEST_F(HotkeyRecorderTest, ShortcutsOfTheApplicationWaitWhileRecording) {
    QShortcut shortcut(QKeySequence(Qt::CTRL | Qt::Key_K), &window);
    int fired = 0;
    QObject::connect(&shortcut, &QShortcut::activated, [&] { ++fired; });
    start();
    QTest::keyClick(window.windowHandle(), Qt::Key_K, Qt::ControlModifier);
    drainEventLoop();
    EXPECT_EQ(fired, 0);
    recorder->stopRecording();
    QTest::keyClick(window.windowHandle(), Qt::Key_K, Qt::ControlModifier);
    drainEventLoop();
    EXPECT_EQ(fired, 1);
}

}  // namespace
}  // namespace parloquin
