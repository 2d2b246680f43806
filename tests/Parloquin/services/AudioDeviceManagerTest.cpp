#include "Parloquin/services/AudioDeviceManager.h"
#include "Parloquin/settings/SettingsKeys.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "Platform/log/LogCapture.h"
#include "tests/Parloquin/services/StoreFixtures.h"
#include "tests/Platform/desktop/EventLoopWait.h"
#include "tests/support/FakeAudioHardware.h"

namespace parloquin {
namespace {

using platform::AVAudioFormat;
using platform::AVAudioPCMBuffer;
using testsupport::FakeAudioHardware;

FakeAudioHardware::Input input(const std::string& uid, std::uint32_t id, std::optional<std::string> name,
                               std::optional<std::string> manufacturer = std::nullopt) {
    FakeAudioHardware::Input in = testsupport::fakeMicrophone(uid, id);
    in.device.name = std::move(name);
    in.device.manufacturer = std::move(manufacturer);
    return in;
}

class AudioDeviceManagerTest : public ::testing::Test {
protected:
    void plug(std::vector<FakeAudioHardware::Input> inputs, std::optional<std::string> defaultUID) {
        hardware->setInputs(std::move(inputs), std::move(defaultUID));
    }
    std::unique_ptr<AudioDeviceManager> make() {
        return std::make_unique<AudioDeviceManager>(hardware, store.defaults());
    }

    storetest::Store store;
    std::shared_ptr<FakeAudioHardware> hardware = FakeAudioHardware::make();
};

TEST(AudioLevelTest, RMSInDecibelsMappedFromMinus60To0) {
    const AVAudioFormat mono = *AVAudioFormat::make(platform::AVAudioCommonFormat::pcmFormatFloat32, 48000, 1, false);
    const AVAudioFormat stereo = *AVAudioFormat::make(platform::AVAudioCommonFormat::pcmFormatFloat32, 48000, 2, true);
    struct Case {
        std::string name;
        AVAudioFormat format;
        std::vector<float> samples;  // interleaved
        float level;
    };
    std::vector<float> halfLoud(2000, 0.0f);  // channel 0 silent for 500 frames, then full scale
    for (std::size_t frame = 500; frame < 1000; ++frame) halfLoud[2 * frame] = 1.0f;
    const std::vector<Case> cases = {
        {"full scale", mono, std::vector<float>(1000, 1.0f), 1.0f},
        {"silence", mono, std::vector<float>(1000, 0.0f), 0.0f},
        {"-40 dB", mono, std::vector<float>(1000, 0.01f), 1.0f / 3.0f},
        {"-60 dB and below", mono, std::vector<float>(1000, 0.0005f), 0.0f},
        {"no frames", mono, {}, 0.0f},
        // Every frame of channel 0 counts: half of them at full scale is -3 dB.
        {"interleaved, loud second half", stereo, halfLoud, static_cast<float>((20 * std::log10(std::sqrt(0.5)) + 60) / 60)},
        {"not a number", mono, std::vector<float>(10, std::numeric_limits<float>::quiet_NaN()), 0.0f},
    };
    for (const Case& c : cases) {
        const auto frames = static_cast<platform::AVAudioFrameCount>(c.samples.size() / c.format.channelCount());
        auto buffer = AVAudioPCMBuffer::make(c.format, std::max(frames, 1u));
        std::copy(c.samples.begin(), c.samples.end(), buffer->floatChannelData()[0]);
        buffer->setFrameLength(frames);
        const float level = AudioDeviceManager::audioLevel(*buffer);
        EXPECT_FALSE(std::isnan(level)) << c.name;
        EXPECT_NEAR(level, c.level, 1e-4) << c.name;
    }
    auto integers = AVAudioPCMBuffer::make(*AVAudioFormat::make(platform::AVAudioCommonFormat::pcmFormatInt16, 16000, 1, false), 10);
    integers->setFrameLength(10);
    EXPECT_EQ(AudioDeviceManager::audioLevel(*integers), 0.0f);
}

TEST_F(AudioDeviceManagerTest, ListsNamedInputsAndMarksTheDefault) {
    plug({input("usb", 7, "USB-Mikrofon", "Acme"), input("nameless", 8, std::nullopt), input("builtin", 3, "Eingebaut")},
         "builtin");
    auto manager = make();
    const std::vector<AudioDevice> expected = {
        {7, "USB-Mikrofon", "Acme", false, "usb"},
        {3, "Eingebaut", "Unknown", true, "builtin"},
    };
    EXPECT_EQ(manager->availableDevices(), expected);
    EXPECT_EQ(manager->selectedDevice(), expected[1]);
}

TEST_F(AudioDeviceManagerTest, RestoresTheSavedChoiceOrFallsBackToTheDefault) {
    struct Case {
        std::string name;
        std::optional<std::string> saved;
        std::optional<std::string> defaultUID;
        std::optional<std::string> selected;
    };
    const Case cases[] = {
        {"saved input present, not the default", "usb", "builtin", "usb"},
        {"saved input unplugged", "gone", "builtin", "builtin"},
        {"nothing saved", std::nullopt, "builtin", "builtin"},
        {"no default and nothing saved", std::nullopt, std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        plug({input("builtin", 1, "Eingebaut"), input("usb", 2, "USB")}, c.defaultUID);
        c.saved ? (void)store.defaults().setString(parloquin::settings::kSelectedAudioDeviceUID, *c.saved)
                : (void)store.defaults().removeObject(parloquin::settings::kSelectedAudioDeviceUID);
        auto manager = make();
        const auto& selected = manager->selectedDevice();
        EXPECT_EQ(selected ? std::optional<std::string>(selected->uid) : std::nullopt, c.selected) << c.name;
        // Restoring writes nothing: an unplugged choice is kept for when it comes back.
        EXPECT_EQ(store.defaults().stringForKey(parloquin::settings::kSelectedAudioDeviceUID), c.saved) << c.name;
    }
}

TEST_F(AudioDeviceManagerTest, ARememberedInputThatComesBackIsChosenAgain) {
    plug({input("builtin", 1, "Eingebaut")}, "builtin");
    store.defaults().setString(parloquin::settings::kSelectedAudioDeviceUID, "usb");
    auto manager = make();
    ASSERT_EQ(manager->selectedDevice()->uid, "builtin");
    int listChanges = 0;
    QObject::connect(manager.get(), &AudioDeviceManager::availableDevicesChanged, [&] { ++listChanges; });

    plug({input("builtin", 1, "Eingebaut"), input("usb", 9, "USB")}, "builtin");
    ASSERT_TRUE(parloquin_test::waitUntil([&] { return listChanges > 0; }));
    EXPECT_EQ(manager->availableDevices().size(), 2u);
    EXPECT_EQ(manager->selectedDevice()->uid, "usb");
    EXPECT_EQ(manager->selectedDevice()->id, 9u);

    // Gone again: the list follows, the choice stays for the next start to fall back from.
    plug({input("builtin", 1, "Eingebaut")}, "builtin");
    ASSERT_TRUE(parloquin_test::waitUntil([&] { return manager->availableDevices().size() == 1; }));
    EXPECT_EQ(manager->selectedDevice()->uid, "usb");
}

TEST_F(AudioDeviceManagerTest, SelectingRemembersTheUID) {
    plug({input("builtin", 1, "Eingebaut"), input("usb", 2, "USB")}, "builtin");
    auto manager = make();
    manager->selectDevice(manager->availableDevices()[1]);
    EXPECT_EQ(manager->selectedDevice()->uid, "usb");
    EXPECT_EQ(store.defaults().stringForKey(parloquin::settings::kSelectedAudioDeviceUID), "usb");
    // The next launch finds it again.
    EXPECT_EQ(make()->selectedDevice()->uid, "usb");
}

TEST_F(AudioDeviceManagerTest, BindsTheChosenInputAsTheSystemHasItNow) {
    plug({input("builtin", 1, "Eingebaut"), input("usb", 2, "USB")}, "usb");
    auto manager = make();
    ASSERT_TRUE(manager->selectedDevice()->isDefault);  // chosen while it was the default input
    manager->selectDevice(*manager->selectedDevice());
    // The default input changes afterwards: the chosen input is still the one recorded.
    plug({input("builtin", 1, "Eingebaut"), input("usb", 2, "USB")}, "builtin");

    platform::LogCapture log;
    platform::AVAudioEngine engine(hardware);
    const std::optional<AudioDevice> bound = manager->bindSelectedDevice(engine);
    ASSERT_TRUE(bound);
    EXPECT_EQ(bound->uid, "usb");
    EXPECT_FALSE(bound->isDefault);
    engine.start();
    EXPECT_TRUE(manager->checkBinding(engine, bound));
    engine.stop();
    EXPECT_EQ(hardware->startedCaptures(), (std::vector<std::string>{"usb"}));
    EXPECT_TRUE(log.matching("", "AudioDeviceManager").empty());
}

// The audio page keeps a manager of its own; the dictation service's manager, made long before,
// records from what the page chose from its next recording on.
TEST_F(AudioDeviceManagerTest, AChoiceMadeThroughAnotherManagerIsBoundAtTheNextRecording) {
    plug({input("builtin", 1, "Eingebaut"), input("usb", 2, "USB")}, "builtin");
    auto service = make();
    ASSERT_EQ(service->selectedDevice()->uid, "builtin");
    make()->selectDevice(service->availableDevices()[1]);

    platform::AVAudioEngine engine(hardware);
    const std::optional<AudioDevice> bound = service->bindSelectedDevice(engine);
    ASSERT_TRUE(bound);
    EXPECT_EQ(bound->uid, "usb");
    EXPECT_EQ(service->selectedDevice()->uid, "usb");
    EXPECT_EQ(engine.inputNode().inputDevice(), "usb");

    // A stored choice that is not plugged in leaves the service on what it has.
    store.defaults().setString(parloquin::settings::kSelectedAudioDeviceUID, "gone");
    platform::LogCapture log;
    platform::AVAudioEngine next(hardware);
    EXPECT_EQ(service->bindSelectedDevice(next)->uid, "usb");
}

TEST_F(AudioDeviceManagerTest, AChosenInputThatIsGoneOrNotRecordedIsLogged) {
    plug({input("builtin", 1, "Eingebaut"), input("usb", 2, "USB")}, "builtin");
    auto manager = make();
    manager->selectDevice(manager->availableDevices()[1]);

    {
        plug({input("builtin", 1, "Eingebaut")}, "builtin");
        platform::LogCapture log;
        platform::AVAudioEngine engine(hardware);
        EXPECT_EQ(manager->bindSelectedDevice(engine), std::nullopt);
        EXPECT_EQ(engine.inputNode().inputDevice(), "");
        EXPECT_TRUE(log.contains("\"USB\" (usb) is not available; recording from the default input",
                                 "AudioDeviceManager"));
    }
    {
        plug({input("builtin", 1, "Eingebaut"), input("usb", 2, "USB")}, "builtin");
        hardware->setCapture({0, 480, std::nullopt, "builtin"});
        platform::LogCapture log;
        platform::AVAudioEngine engine(hardware);
        const auto bound = manager->bindSelectedDevice(engine);
        engine.start();
        EXPECT_FALSE(manager->checkBinding(engine, bound));
        engine.stop();
        EXPECT_TRUE(log.contains("\"USB\" (usb) was bound, but the recording comes from builtin", "AudioDeviceManager"));
    }
}

TEST_F(AudioDeviceManagerTest, TheLevelMeterPublishesTheChosenInputsLevel) {
    plug({input("builtin", 1, "Eingebaut")}, "builtin");
    hardware->setCapture({48000, 480, std::nullopt, {}});
    auto manager = make();
    manager->startLevelMonitoring();
    ASSERT_TRUE(manager->isLevelMonitoring());
    // A 0.5 amplitude sine: RMS 0.354, -9 dB.
    const float expected = static_cast<float>((20 * std::log10(0.5 / std::sqrt(2.0)) + 60) / 60);
    EXPECT_TRUE(parloquin_test::waitUntil([&] { return std::abs(manager->currentAudioLevel() - expected) < 0.01f; }))
        << manager->currentAudioLevel();
    manager->stopLevelMonitoring();
    EXPECT_FALSE(manager->isLevelMonitoring());
    EXPECT_EQ(manager->currentAudioLevel(), 0.0f);
}

TEST_F(AudioDeviceManagerTest, TheLevelMeterNeedsAChoiceAndReportsAFailedStart) {
    plug({input("builtin", 1, "Eingebaut")}, std::nullopt);
    auto manager = make();
    ASSERT_FALSE(manager->selectedDevice());
    manager->startLevelMonitoring();
    EXPECT_FALSE(manager->isLevelMonitoring());
    EXPECT_EQ(manager->currentAudioLevel(), 0.0f);

    manager->selectDevice(manager->availableDevices()[0]);
    hardware->setCapture({0, 480, platform::AVAudioError::make(platform::AVAudioError::captureFailed, "Zugriff verweigert"), {}});
    platform::LogCapture log;
    manager->startLevelMonitoring();
    const auto failures = log.matching("❌ Failed to start level monitoring: ", "AudioDeviceManager");
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].message, "❌ Failed to start level monitoring: Zugriff verweigert");
    EXPECT_EQ(failures[0].type, platform::OSLogType::error);
    EXPECT_EQ(manager->currentAudioLevel(), 0.0f);
    manager->stopLevelMonitoring();
}

}  // namespace
}  // namespace parloquin
