// Dictations recorded from the sound server of scripts/test-session.sh: the default input
// parloquin_sine (440 Hz at 48 kHz) and parloquin_sine_1k (1 kHz at 44.1 kHz).
#include "Parloquin/services/TranscriptionService.h"
#include "Parloquin/settings/SettingsKeys.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <cstdio>
#include <fstream>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "Platform/audio/PulseAudioHardware.h"
#include "tests/Parloquin/services/PasteFakes.h"
#include "tests/Parloquin/services/ServiceFixtures.h"
#include "tests/support/AudioSignals.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TemporaryDirectory.h"

namespace parloquin {
namespace {

using parloquin_test::waitUntil;

// A PulseAudio server of the test's own with the modules given, off the session's bus.
class OwnSoundServer {
public:
    explicit OwnSoundServer(const std::string& modules) {
        const auto config = directory_ / "server.pa";
        std::ofstream(config) << "load-module module-native-protocol-unix socket=" << socket().string() << "\n"
                              << modules;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::setenv("XDG_RUNTIME_DIR", directory_.path().c_str(), 1);
            // Off the session bus, whose PulseAudio name the session's own server holds.
            ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
            ::unsetenv("DISPLAY");
            const std::string log = "--log-target=file:" + (directory_ / "server.log").string();
            ::execlp("pulseaudio", "pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no", "-n",
                     "-F", config.c_str(), log.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        for (int i = 0; i < 100 && !std::filesystem::exists(socket()); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ~OwnSoundServer() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    bool running() const { return pid_ > 0 && std::filesystem::exists(socket()); }
    std::string address() const { return "unix:" + socket().string(); }

    // What pactl prints for the command, on this server; its last line break taken off.
    std::string pactl(const std::string& command) const {
        const std::string line = "PULSE_SERVER=" + address() + " pactl " + command + " 2>&1";
        std::string output;
        if (FILE* pipe = ::popen(line.c_str(), "r")) {
            char chunk[256];
            while (std::fgets(chunk, sizeof chunk, pipe)) output += chunk;
            ::pclose(pipe);
        }
        while (!output.empty() && output.back() == '\n') output.pop_back();
        return output;
    }

private:
    std::filesystem::path socket() const { return directory_ / "native"; }

    testsupport::TemporaryDirectory directory_;
    pid_t pid_ = -1;
};

// Speakers and no microphone: the server's one source is the monitor of its one output.
class MonitorOnlySoundServer : public OwnSoundServer {
public:
    MonitorOnlySoundServer()
        : OwnSoundServer("load-module module-null-sink sink_name=only_output "
                         "sink_properties=device.description=Lautsprecher\n") {}
};

// Speakers that play desktop sound (440 Hz) and a USB microphone that hears a 1 kHz tone, which
// can be unplugged (its module unloaded).
class DesktopSoundServer : public OwnSoundServer {
public:
    DesktopSoundServer()
        : OwnSoundServer("load-module module-null-sink sink_name=speakers sink_properties=device.description=Lautsprecher\n"
                         "load-module module-sine sink=speakers frequency=440\n") {
        if (running()) microphoneModule = pactl("load-module module-sine-source source_name=usb_mic rate=48000 frequency=1000");
    }
    std::string microphoneModule;  // its index
};

class TranscriptionServicePulseTest : public ::testing::Test {
protected:
    std::unique_ptr<TranscriptionService> make() {
        TranscriptionEnvironment environment;
        environment.defaults = &store.defaults();
        environment.audioHardware = platform::AudioHardware::system();
        auto service = std::make_unique<TranscriptionService>([r = recognizer] { return r; }, environment);
        bool done = false;
        service->initialize([&](std::exception_ptr) { done = true; });
        waitUntil([&] { return done; });
        QObject::connect(service.get(), &TranscriptionService::stateChanged, [this](RecordingState state) { idle = state == RecordingState::idle; });
        return service;
    }

    // Records for a while of wall time and returns what reached the recogniser.
    std::vector<float> dictate(TranscriptionService& service, std::chrono::milliseconds length) {
        const std::size_t before = recognizer->calls().size();
        idle = false;
        service.startRecording();
        EXPECT_TRUE(service.isRecording());
        waitUntil([] { return false; }, length);  // the event loop runs meanwhile
        service.stopRecording();
        EXPECT_TRUE(waitUntil([&] { return idle; }));
        const auto calls = recognizer->calls();
        return calls.size() > before ? calls.back() : std::vector<float>();
    }

    parloquin_test::FakeDesktop desktop;
    storetest::Store store;
    std::shared_ptr<parloquin_test::FixtureRecognizer> recognizer = std::make_shared<parloquin_test::FixtureRecognizer>();
    bool idle = false;
};

TEST_F(TranscriptionServicePulseTest, TwoSecondsOfTheDefaultInputAt16kHz) {
    auto service = make();
    ASSERT_TRUE(service->audioDeviceManager().selectedDevice()) << "needs the test session's sound server";
    EXPECT_EQ(service->audioDeviceManager().selectedDevice()->uid, "parloquin_sine");

    const std::vector<float> samples = dictate(*service, std::chrono::milliseconds(2000));
    RecordProperty("samples", static_cast<int>(samples.size()));
    EXPECT_NEAR(static_cast<double>(samples.size()), 32000.0, 4096.0);
    const auto tone = testsupport::middle(samples, 200);
    EXPECT_NEAR(testsupport::zeroCrossingFrequency(tone, 16000), 440.0, 1.0);
    // One sine all through: a block handed over twice, or lost, breaks its phase.
    const testsupport::SineFit fit = testsupport::fitSine(tone, 16000, 440);
    EXPECT_GT(fit.amplitude, 0.05);
    EXPECT_LT(fit.maxResidual, 0.02 * fit.amplitude);
}

TEST_F(TranscriptionServicePulseTest, AStoredInputIsRestoredAndRecorded) {
    store.defaults().setString(parloquin::settings::kSelectedAudioDeviceUID, "parloquin_sine_1k");
    auto service = make();
    const std::vector<AudioDevice>& devices = service->audioDeviceManager().availableDevices();
    auto sine = std::find_if(devices.begin(), devices.end(), [](const AudioDevice& d) { return d.uid == "parloquin_sine"; });
    ASSERT_NE(sine, devices.end());
    EXPECT_EQ(sine->name, "Sinus-Testquelle");
    EXPECT_TRUE(sine->isDefault);

    ASSERT_TRUE(service->audioDeviceManager().selectedDevice());
    const AudioDevice& chosen = *service->audioDeviceManager().selectedDevice();
    EXPECT_EQ(chosen.uid, "parloquin_sine_1k");
    EXPECT_EQ(chosen.name, "Sinus 1 kHz");
    EXPECT_EQ(chosen.manufacturer, "Parloquin Testlabor");
    EXPECT_FALSE(chosen.isDefault);

    const std::vector<float> samples = dictate(*service, std::chrono::milliseconds(1200));
    ASSERT_GE(samples.size(), TranscriptionService::kMinimumSamples);
    EXPECT_NEAR(testsupport::zeroCrossingFrequency(testsupport::middle(samples, 200), 16000), 1000.0, 2.0);
}

// A start on the sound server at `address`: what states it went through and what the user read.
struct RefusedStart {
    std::vector<RecordingState> states;
    std::vector<std::string> notices;
    bool devicesListed = false;
};

// The sound server is gone (stopped, or never started in this session): a start after "Parloquin
// bereit!" fails, and the user hears why instead of nothing. With speakers but no microphone, the
// server's default input is the monitor of the speakers, which records fine and holds no speech:
// no recording starts, and the user reads why.
TEST_F(TranscriptionServicePulseTest, AStartWithoutAMicrophoneIsToldAndReturnsToIdle) {
    auto startOn = [&](const std::string& address) {
        testsupport::ScopedEnvironment variables;
        variables.set("PULSE_SERVER", address);
        TranscriptionEnvironment environment;
        environment.defaults = &store.defaults();
        environment.audioHardware = platform::PulseAudioHardware::make();
        recognizer->setText("");
        TranscriptionService service([r = recognizer] { return r; }, environment);
        bool ready = false;
        service.initialize([&](std::exception_ptr) { ready = true; });
        EXPECT_TRUE(waitUntil([&] { return ready; })) << address;
        RefusedStart start;
        QObject::connect(&service, &TranscriptionService::stateChanged, [&](RecordingState state) { start.states.push_back(state); });
        service.onNotice = [&](const std::string& title, const std::string& body) {
            start.notices.push_back(title + ": " + body);
        };
        start.devicesListed = !service.audioDeviceManager().availableDevices().empty();
        service.startRecording();
        EXPECT_FALSE(service.isRecording()) << address;
        return start;
    };
    const std::vector<RecordingState> refused{RecordingState::recording, RecordingState::idle};

    const RefusedStart gone = startOn("unix:/nonexistent/parloquin-test/native");
    EXPECT_FALSE(gone.devicesListed);
    EXPECT_EQ(gone.states, refused);
    EXPECT_EQ(gone.notices, (std::vector<std::string>{
                                "Aufnahme nicht möglich: Kein Mikrofon erreichbar. Prüfe, ob ein Mikrofon angeschlossen "
                                "ist und der Audiodienst läuft."}));

    MonitorOnlySoundServer server;
    ASSERT_TRUE(server.running()) << "pulseaudio did not start";
    const RefusedStart monitorOnly = startOn(server.address());
    EXPECT_FALSE(monitorOnly.devicesListed);
    EXPECT_EQ(monitorOnly.states, refused);
    EXPECT_EQ(monitorOnly.notices,
              (std::vector<std::string>{"Aufnahme nicht möglich: Kein Mikrofon gefunden. Schließe ein Mikrofon an oder "
                                        "schalte es in den Toneinstellungen des Systems frei."}));
    EXPECT_TRUE(recognizer->calls().empty());
}

// The microphone is unplugged mid-sentence. The server would carry the recording over to another
// source (here the only one left, the monitor of the speakers): the recording ends instead, the
// user is told, and what reaches the recogniser is the microphone's alone.
TEST_F(TranscriptionServicePulseTest, AMicrophoneUnpluggedDuringARecordingEndsItAndNothingElseIsRecorded) {
    DesktopSoundServer server;
    ASSERT_TRUE(server.running()) << "pulseaudio did not start";
    ASSERT_FALSE(server.microphoneModule.empty());
    server.pactl("set-default-source usb_mic");
    testsupport::ScopedEnvironment variables;
    variables.set("PULSE_SERVER", server.address());
    TranscriptionEnvironment environment;
    environment.defaults = &store.defaults();
    environment.audioHardware = platform::PulseAudioHardware::make();
    TranscriptionService service([r = recognizer] { return r; }, environment);
    bool ready = false;
    service.initialize([&](std::exception_ptr) { ready = true; });
    ASSERT_TRUE(waitUntil([&] { return ready; }));
    std::vector<std::string> notices;
    service.onNotice = [&](const std::string& title, const std::string&) { notices.push_back(title); };
    QObject::connect(&service, &TranscriptionService::stateChanged, [this](RecordingState state) { idle = state == RecordingState::idle; });

    service.startRecording();
    ASSERT_TRUE(service.isRecording());
    waitUntil([] { return false; }, std::chrono::milliseconds(1500));
    EXPECT_EQ(server.pactl("unload-module " + server.microphoneModule), "");
    EXPECT_TRUE(waitUntil([&] { return !service.isRecording(); }, std::chrono::milliseconds(3000)))
        << "the recording went on from another source";
    service.stopRecording();
    ASSERT_TRUE(waitUntil([&] { return idle; }));
    EXPECT_EQ(notices, (std::vector<std::string>{"Mikrofon getrennt – Aufnahme beendet"}));

    const auto calls = recognizer->calls();
    ASSERT_EQ(calls.size(), 1u);
    const std::vector<float>& samples = calls.front();
    EXPECT_NEAR(static_cast<double>(samples.size()), 24000.0, 8000.0);
    // The microphone's tone up to its end: nothing of the speakers' 440 Hz.
    ASSERT_GT(samples.size(), 4000u);
    const std::span<const float> tail(samples.data() + samples.size() - 4000, 3200);
    EXPECT_NEAR(testsupport::zeroCrossingFrequency(tail, 16000), 1000.0, 5.0);
    EXPECT_LT(testsupport::toneAmplitude(tail, 16000, 440), 0.01);
}

// Speakers and a microphone, and the server's default input is the speakers' monitor (a default
// a desktop leaves behind when a headset goes): a dictation without a chosen input records the
// microphone, never what the speakers play.
TEST_F(TranscriptionServicePulseTest, ADefaultInputThatIsAMonitorGivesWayToTheMicrophone) {
    DesktopSoundServer server;
    ASSERT_TRUE(server.running()) << "pulseaudio did not start";
    server.pactl("set-default-source speakers.monitor");
    ASSERT_EQ(server.pactl("get-default-source"), "speakers.monitor");
    testsupport::ScopedEnvironment variables;
    variables.set("PULSE_SERVER", server.address());
    TranscriptionEnvironment environment;
    environment.defaults = &store.defaults();
    environment.audioHardware = platform::PulseAudioHardware::make();
    TranscriptionService service([r = recognizer] { return r; }, environment);
    bool ready = false;
    service.initialize([&](std::exception_ptr) { ready = true; });
    ASSERT_TRUE(waitUntil([&] { return ready; }));
    QObject::connect(&service, &TranscriptionService::stateChanged, [this](RecordingState state) { idle = state == RecordingState::idle; });

    const std::vector<float> samples = dictate(service, std::chrono::milliseconds(1500));
    ASSERT_GE(samples.size(), TranscriptionService::kMinimumSamples);
    EXPECT_NEAR(testsupport::zeroCrossingFrequency(testsupport::middle(samples, 400), 16000), 1000.0, 5.0);
    EXPECT_LT(testsupport::toneAmplitude(samples, 16000, 440), 0.01);
}

}  // namespace
}  // namespace parloquin
