// Capture and devices on the PulseAudio server of the test session (scripts/test-session.sh):
// parloquin_sine (440 Hz, 48 kHz, the default) and parloquin_sine_1k (1 kHz, 44.1 kHz, with a
// vendor), besides the monitor of a null sink.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "Platform/audio/AVAudioEngine.h"
#include "Platform/audio/AVAudioError.h"
#include "Platform/audio/PulseAudioHardware.h"
#include "Platform/log/LogCapture.h"
#include "Platform/system/NSError.h"
#include "tests/support/AudioSignals.h"

namespace platform {
namespace {

struct Capture {
    std::mutex mutex;
    std::vector<AVAudioFrameCount> lengths;
    std::vector<float> channel0;
    std::string device;  // what the engine reported as recorded while it ran
};

// Records from the engine's bound input for a while of wall time.
void record(AVAudioEngine& engine, Capture& capture, std::chrono::milliseconds length) {
    engine.inputNode().installTapOnBus(0, 4096, std::nullopt, [&capture](const AVAudioPCMBufferPtr& buffer) {
        std::lock_guard lock(capture.mutex);
        capture.lengths.push_back(buffer->frameLength());
        const float* samples = buffer->floatChannelData()[0];
        for (AVAudioFrameCount i = 0; i < buffer->frameLength(); ++i) {
            capture.channel0.push_back(samples[i * buffer->stride()]);
        }
    });
    engine.start();
    capture.device = engine.inputNode().currentDevice();
    std::this_thread::sleep_for(length);
    engine.stop();
    engine.inputNode().removeTapOnBus(0);
}

std::string run(const std::string& command) {
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char chunk[256];
        while (std::fgets(chunk, sizeof chunk, pipe) != nullptr) output += chunk;
        ::pclose(pipe);
    }
    while (!output.empty() && (output.back() == '\n' || output.back() == ' ')) output.pop_back();
    return output;
}

// Plugs in an input of the given name (a remap of a tone's sink, which PulseAudio's server and
// PipeWire's both offer) and returns the module to unload to unplug it; empty when that failed.
std::string plugInput(const std::string& name) {
    return run("pactl load-module module-remap-source source_name=" + name +
               " master=parloquin_tone_440.monitor channels=1 channel_map=mono");
}

bool hasDevice(AudioHardware& hardware, const std::string& uid) {
    const auto devices = hardware.inputDevices();
    return std::any_of(devices.begin(), devices.end(), [&](const AudioInputDevice& d) { return d.uid == uid; });
}

TEST(PulseAudioDevicesTest, ListsTheInputsWithoutMonitorsAndNamesTheDefault) {
    auto hardware = AudioHardware::system();
    const std::vector<AudioInputDevice> devices = hardware->inputDevices();
    struct Expected {
        std::string uid;
        std::string name;
        std::optional<std::string> manufacturer;
    };
    const Expected expected[] = {
        {"parloquin_sine", "Sinus-Testquelle", std::nullopt},
        {"parloquin_sine_1k", "Sinus 1 kHz", "Parloquin Testlabor"},
    };
    for (const Expected& e : expected) {
        auto found = std::find_if(devices.begin(), devices.end(), [&](const AudioInputDevice& d) { return d.uid == e.uid; });
        ASSERT_NE(found, devices.end()) << e.uid;
        EXPECT_EQ(found->name, e.name) << e.uid;
        EXPECT_EQ(found->manufacturer, e.manufacturer) << e.uid;
    }
    for (const AudioInputDevice& device : devices) {
        EXPECT_EQ(device.uid.find(".monitor"), std::string::npos) << device.uid;
        EXPECT_EQ(std::count_if(devices.begin(), devices.end(), [&](const AudioInputDevice& d) { return d.id == device.id; }), 1);
    }
    EXPECT_EQ(hardware->defaultInputDeviceUID(), "parloquin_sine");
}

TEST(PulseAudioCaptureTest, RecordsTheDefaultInputInFullBuffersOfItsOwnFormat) {
    AVAudioEngine engine;
    const std::optional<AVAudioFormat> format = engine.inputNode().outputFormatForBus(0);
    ASSERT_TRUE(format) << "needs the test session's sound server";
    EXPECT_EQ(*format, *AVAudioFormat::make(AVAudioCommonFormat::pcmFormatFloat32, 48000, 1, true));

    Capture capture;
    record(engine, capture, std::chrono::milliseconds(600));
    ASSERT_GE(capture.lengths.size(), 3u);
    for (std::size_t i = 0; i + 1 < capture.lengths.size(); ++i) EXPECT_EQ(capture.lengths[i], 4096u) << i;
    EXPECT_LE(capture.lengths.back(), 4096u);

    const auto tone = testsupport::middle(capture.channel0, 100);
    const testsupport::SineFit fit = testsupport::fitSine(tone, 48000, 440);
    EXPECT_GT(fit.amplitude, 0.05);
    EXPECT_LT(fit.maxResidual, 0.02 * fit.amplitude) << "the tone jumps: audio was lost or repeated";
}

TEST(PulseAudioCaptureTest, RecordsTheBoundInputAndReportsIt) {
    struct Case {
        std::string uid;
        double rate;
        double frequency;
    };
    const Case cases[] = {
        {"parloquin_sine_1k", 44100, 1000},
        {"parloquin_sine", 48000, 440},
    };
    for (const Case& c : cases) {
        AVAudioEngine engine;
        ASSERT_TRUE(engine.inputNode().setInputDevice(c.uid)) << c.uid;
        const std::optional<AVAudioFormat> format = engine.inputNode().outputFormatForBus(0);
        ASSERT_TRUE(format) << c.uid;
        EXPECT_EQ(format->sampleRate(), c.rate) << c.uid;

        Capture capture;
        record(engine, capture, std::chrono::milliseconds(300));
        EXPECT_EQ(capture.device, c.uid);
        const auto tone = testsupport::middle(capture.channel0, 100);
        EXPECT_NEAR(testsupport::zeroCrossingFrequency(tone, c.rate), c.frequency, 2.0) << c.uid;
    }
}

TEST(PulseAudioCaptureTest, BindingAnInputThatDoesNotExistFails) {
    AVAudioEngine engine;
    EXPECT_FALSE(engine.inputNode().setInputDevice("parloquin_unplugged"));
    EXPECT_FALSE(engine.inputNode().setInputDevice("parloquin_null.monitor"));
    EXPECT_EQ(engine.inputNode().inputDevice(), "");
}

TEST(PulseAudioDevicesTest, TellsListenersWhenAnInputComesAndGoes) {
    auto hardware = AudioHardware::system();
    std::atomic<int> changes{0};
    AudioHardware::Observation observation = hardware->observeDevices([&] { ++changes; });

    const std::string name = "parloquin_plugged_" + std::to_string(::getpid());
    const std::string module = plugInput(name);
    ASSERT_FALSE(module.empty()) << "pactl could not load a source";
    auto waitFor = [&](auto condition) {
        for (int i = 0; i < 500 && !condition(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return condition();
    };
    EXPECT_TRUE(waitFor([&] { return changes.load() > 0; }));
    EXPECT_TRUE(hasDevice(*hardware, name));

    const int before = changes.load();
    run("pactl unload-module " + module);
    EXPECT_TRUE(waitFor([&] { return changes.load() > before; }));
    EXPECT_FALSE(hasDevice(*hardware, name));

    observation.cancel();
    const int after = changes.load();
    const std::string again = plugInput(name);
    EXPECT_TRUE(waitFor([&] { return hasDevice(*hardware, name); }));
    run("pactl unload-module " + again);
    EXPECT_EQ(changes.load(), after);
}

// The server would carry the recording over to its default input (or a monitor of the speakers):
// the capture ends with its input instead, says so, and hands over nothing from elsewhere.
TEST(PulseAudioCaptureTest, AnInputThatGoesAwayDuringARecordingEndsTheCapture) {
    LogCapture log;
    auto hardware = AudioHardware::system();
    const std::string name = "parloquin_unplugged_" + std::to_string(::getpid());
    const std::string module = plugInput(name);
    ASSERT_FALSE(module.empty()) << "pactl could not load a source";
    for (int i = 0; i < 500 && !hasDevice(*hardware, name); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));

    AVAudioEngine engine;
    ASSERT_TRUE(engine.inputNode().setInputDevice(name));
    std::atomic<int> buffers{0};
    engine.inputNode().installTapOnBus(0, 480, std::nullopt, [&buffers](const AVAudioPCMBufferPtr&) { ++buffers; });
    engine.start();
    EXPECT_EQ(engine.inputNode().currentDevice(), name);
    EXPECT_FALSE(engine.inputNode().inputLost());
    for (int i = 0; i < 500 && buffers == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_GT(buffers.load(), 0);

    run("pactl unload-module " + module);
    for (int i = 0; i < 500 && !engine.inputNode().inputLost(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(engine.inputNode().inputLost()) << "the recording went on from another input";
    const int atTheEnd = buffers.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(buffers.load(), atTheEnd) << "audio came from another input";
    EXPECT_TRUE(log.contains("The audio input stopped during the recording", "AudioCapture") ||
                log.contains("The audio input moved to another device", "AudioCapture"));
    engine.stop();
    engine.inputNode().removeTapOnBus(0);
    EXPECT_FALSE(engine.inputNode().inputLost()) << "a stopped engine has nothing to lose";
}

TEST(PulseAudioDevicesTest, WithoutAServerThereAreNoInputsAndNothingStarts) {
    const char* previous = std::getenv("PULSE_SERVER");
    const std::string saved = previous != nullptr ? previous : "";
    ::setenv("PULSE_SERVER", "unix:/nonexistent/parloquin-no-server", 1);
    auto hardware = PulseAudioHardware::make();
    EXPECT_TRUE(hardware->inputDevices().empty());
    EXPECT_EQ(hardware->defaultInputDeviceUID(), std::nullopt);
    AVAudioEngine engine(hardware);
    EXPECT_EQ(engine.inputNode().outputFormatForBus(0), std::nullopt);
    try {
        engine.start();
        ADD_FAILURE() << "started without a server";
    } catch (const NSError& error) {
        EXPECT_EQ(error.code(), AVAudioError::deviceUnavailable);
    }
    previous != nullptr ? ::setenv("PULSE_SERVER", saved.c_str(), 1) : ::unsetenv("PULSE_SERVER");
}

}  // namespace
}  // namespace platform
