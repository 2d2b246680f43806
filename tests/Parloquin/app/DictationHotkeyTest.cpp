// What the hotkeys add to a dictation: the cancel key, the feedback sounds, and a lone modifier
// that turns out to be part of a key combination.
#include <gtest/gtest.h>

#include "Parloquin/app/AppDelegate.h"
#include "tests/Parloquin/app/AppHarness.h"

namespace {

using parloquin::AppDelegate;
using parloquin::RecordingState;
using parloquin_test::AppHarness;
using parloquin_test::drainEventLoop;
using parloquin_test::HotKeyRegistration;
using parloquin_test::waitUntil;
using Registered = std::set<HotKeyRegistration>;

const platform::EventHotKeyID kCancelKey{platform::fourCharCode("SSPK"), 2};
const Registered kHotkeyOnly = {{49, 768}};

void useLoneOption(AppHarness& harness) {
    auto& defaults = harness.store.defaults();
    defaults.setString("primaryHotkey", "⌥");
    defaults.setInteger("primaryHotkeyKeyCode", 58);
    defaults.setInteger("primaryHotkeyModifiers", 2048);
    defaults.setBool("primaryHotkeyIsSingleKey", true);
}

TEST(DictationHotkey, TheCancelKeyIsTakenDuringARecordingAndDropsIt) {
    const struct {
        const char* choice;
        Registered whileRecording;
    } cases[] = {
        {"Escape", {{49, 768}, {53, 0}}},
        {"⌘.", {{49, 768}, {47, 256}}},
        {"none", kHotkeyOnly},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.choice);
        AppHarness harness;
        harness.hardware->setCapture({96000, 480, std::nullopt, {}});
        harness.store.defaults().setString("cancelHotkey", c.choice);
        AppDelegate& delegate = harness.launch();
        ASSERT_TRUE(delegate.isInitialized());
        auto& target = *harness.desktop.target;
        EXPECT_EQ(target.registered, kHotkeyOnly) << "not taken outside a recording";

        target.fire(platform::kEventHotKeyPressed);
        drainEventLoop();
        auto* service = delegate.transcriptionService();
        ASSERT_TRUE(service->isRecording());
        EXPECT_EQ(target.registered, c.whileRecording);
        ASSERT_TRUE(waitUntil([&] { return service->recordedSamples().size() >= 16000; }));

        target.fire(platform::kEventHotKeyPressed, kCancelKey);
        drainEventLoop();
        if (c.whileRecording == kHotkeyOnly) {
            EXPECT_TRUE(service->isRecording()) << "no cancel key chosen";
            service->stopRecording();
            harness.waitForIdle();
            continue;
        }
        EXPECT_FALSE(service->isRecording());
        ASSERT_TRUE(harness.waitForIdle());
        EXPECT_TRUE(harness.recognizer->calls().empty()) << "nothing transcribed";
        EXPECT_TRUE(harness.delegate->historyManager()->records().empty());
        EXPECT_EQ(delegate.statusImage(), parloquin::StatusImage::menuBarIcon);
        EXPECT_EQ(target.registered, kHotkeyOnly) << "given back with the recording";
    }
}

TEST(DictationHotkey, FeedbackSoundsAsTheHotkeyStartsAndStopsADictation) {
    const struct {
        const char* name;
        bool feedback;
        bool microphone;
        std::vector<std::string> sounds;
    } cases[] = {
        {"on", true, true, {"device-added", "device-removed"}},
        {"off", false, true, {}},
        {"a start that fails", true, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AppHarness harness;
        harness.store.defaults().setBool("hotkeyFeedback", c.feedback);
        if (!c.microphone) harness.hardware->setInputs({}, std::nullopt);
        AppDelegate& delegate = harness.launch();
        harness.desktop.target->fire(platform::kEventHotKeyPressed);
        harness.desktop.target->fire(platform::kEventHotKeyReleased);
        drainEventLoop();
        if (delegate.transcriptionService()->isRecording()) {
            harness.desktop.target->fire(platform::kEventHotKeyPressed);
            harness.desktop.target->fire(platform::kEventHotKeyReleased);
        }
        drainEventLoop();
        harness.waitForIdle();
        EXPECT_EQ(harness.sounds, c.sounds);
    }
    // The menu is no hotkey: it starts and stops in silence.
    AppHarness harness;
    AppDelegate& delegate = harness.launch();
    delegate.toggleDictation();
    delegate.toggleDictation();
    harness.waitForIdle();
    EXPECT_TRUE(harness.sounds.empty());
}

// Option held, then Delete: that was Alt+Delete, not a dictation.
TEST(DictationHotkey, ALoneModifierHeldWithAnotherKeyLeavesNoRecording) {
    AppHarness harness;
    useLoneOption(harness);
    harness.hardware->setCapture({96000, 480, std::nullopt, {}});
    AppDelegate& delegate = harness.launch();
    auto& taps = *harness.desktop.taps;
    auto* service = delegate.transcriptionService();
    const platform::CGEventFlags option = platform::kCGEventFlagMaskAlternate;

    taps.send({platform::CGEventType::flagsChanged, 58, option});
    drainEventLoop();
    ASSERT_TRUE(service->isRecording());
    ASSERT_TRUE(waitUntil([&] { return service->recordedSamples().size() >= 16000; }));
    EXPECT_TRUE(taps.send({platform::CGEventType::keyDown, 51, option})) << "the key reaches the application";
    drainEventLoop();
    EXPECT_FALSE(service->isRecording());
    taps.send({platform::CGEventType::flagsChanged, 58, 0});
    drainEventLoop();
    ASSERT_TRUE(harness.waitForIdle());
    EXPECT_TRUE(harness.recognizer->calls().empty());
    EXPECT_TRUE(harness.delegate->historyManager()->records().empty());

    // A recording the press did not start goes on.
    delegate.toggleDictation();
    ASSERT_TRUE(service->isRecording());
    taps.send({platform::CGEventType::flagsChanged, 58, option});
    taps.send({platform::CGEventType::keyDown, 51, option});
    drainEventLoop();
    EXPECT_TRUE(service->isRecording());
    service->stopRecording();
    harness.waitForIdle();
}

}  // namespace
