// The dictation service with a fixture recogniser, fake microphones and a fake desktop.
#include "Parloquin/services/TranscriptionService.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "Parloquin/services/AsrManagerRecognizer.h"
#include "Parloquin/services/PasteGuidance.h"
#include "Parloquin/services/TranscriptionError.h"
#include "Parloquin/settings/SettingsKeys.h"
#include "Platform/audio/AVAudioError.h"
#include "Platform/log/LogCapture.h"
#include "Platform/system/CocoaError.h"
#include "RarivOredu/asr/ASRConfig.h"
#include "RarivOredu/asr/ASRError.h"
#include "RarivOredu/shared/AudioWAV.h"
#include "tests/Parloquin/services/PasteFakes.h"
#include "tests/Parloquin/services/ServiceFixtures.h"
#include "tests/support/AudioSignals.h"
#include "tests/support/FileBytes.h"
#include "tests/support/HubSandbox.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TemporaryDirectory.h"
#include "tests/support/asr/AsrFixtureAudio.h"
#include "tests/support/asr/AsrFixtureModels.h"

namespace parloquin {
namespace {

using parloquin_test::drainEventLoop;
using parloquin_test::ServiceHarness;
using parloquin_test::waitUntil;
using State = RecordingState;

// The service's failure lines (error entries that begin with "❌"), one per line.
std::string failureLines(const platform::LogCapture& log) {
    std::string lines;
    for (const auto& entry : log.matching("❌", "TranscriptionService")) {
        if (entry.type != platform::OSLogType::error) continue;
        if (!lines.empty()) lines += '\n';
        lines += entry.message;
    }
    return lines;
}

class TranscriptionServiceTest : public ::testing::Test {
protected:
    parloquin_test::FakeDesktop desktop;
    ServiceHarness harness;
};

TEST_F(TranscriptionServiceTest, StateSequencesOfADictation) {
    struct Case {
        std::string name;
        testsupport::FakeAudioHardware::Capture capture;
        std::exception_ptr recognizerError;
        std::vector<State> states;
        std::string logged;  // the failure line, if any
        std::optional<std::string> clipboard;
        std::vector<std::string> overlay;
        std::vector<std::string> notices;  // title: text
        bool hasInput = true;
    };
    const std::string text = "Hallo Welt, heute diktiere ich einen kurzen deutschen Satz.";
    const std::string refused = "Aufnahme nicht möglich: Der Audiodienst hat die Aufnahme abgelehnt.";
    const std::string noInput =
        "Aufnahme nicht möglich: Kein Mikrofon erreichbar. Prüfe, ob ein Mikrofon angeschlossen ist und der "
        "Audiodienst läuft.";
    const std::vector<Case> cases = {
        {"success", {48000, 480, std::nullopt, {}}, nullptr, {State::recording, State::processing, State::idle}, "",
         text, {"show", "hide"}, {}},
        {"too short", {47000, 480, std::nullopt, {}}, nullptr, {State::recording, State::idle}, "", std::nullopt,
         {"show", "hide"}, {}},
        {"failed start",
         {48000, 480, platform::AVAudioError::make(platform::AVAudioError::captureFailed, "Gerät belegt"), {}},
         nullptr,
         {State::recording, State::idle},
         "❌ Failed to start audio engine: Gerät belegt",
         std::nullopt,
         {"show", "hide"},
         {refused}},
        {"no input device", {48000, 480, std::nullopt, {}}, nullptr, {State::recording, State::idle},
         "❌ Failed to start audio engine: No audio input device is available.", std::nullopt, {"show", "hide"},
         {noInput}, false},
        {"failed transcription", {48000, 480, std::nullopt, {}},
         std::make_exception_ptr(rarivoredu::ASRError::processingFailed("Modell defekt")),
         {State::recording, State::processing, State::idle}, "❌ Transcription failed: ASR processing failed: Modell defekt",
         std::nullopt, {"show", "hide"},
         {"Transkription fehlgeschlagen: Die Aufnahme konnte nicht in Text umgewandelt werden (ASR processing "
          "failed: Modell defekt). Versuche es noch einmal."}},
    };
    for (const Case& c : cases) {
        ServiceHarness h;
        parloquin_test::FakeDesktop fakes;
        h.store.defaults().setBool("pasteInPlaceMode", false);
        if (!c.hasInput) h.hardware->setInputs({}, std::nullopt);
        h.hardware->setCapture(c.capture);
        h.recognizer->failWith(c.recognizerError);
        TranscriptionService& service = h.make();
        h.states.clear();
        std::vector<std::string> notices;
        service.onNotice = [&](const std::string& title, const std::string& body) {
            notices.push_back(title + ": " + body);
        };

        platform::LogCapture log;
        service.startRecording();
        service.stopRecording();
        h.waitForIdle();
        drainEventLoop();
        EXPECT_EQ(failureLines(log), c.logged) << c.name;

        EXPECT_EQ(h.states, c.states) << c.name;
        EXPECT_FALSE(service.isRecording()) << c.name;
        EXPECT_FALSE(service.isProcessing()) << c.name;
        EXPECT_EQ(fakes.pasteboard->contents, c.clipboard) << c.name;
        EXPECT_EQ(h.overlays->events, c.overlay) << c.name;
        EXPECT_EQ(h.history().records().size(), c.clipboard ? 1u : 0u) << c.name;
        EXPECT_EQ(notices, c.notices) << c.name;
    }
}

TEST_F(TranscriptionServiceTest, NothingStartsBeforeTheRecogniserIsReady) {
    TranscriptionService& service = harness.make(false);
    service.startRecording();
    EXPECT_FALSE(service.isRecording());
    EXPECT_TRUE(harness.states.empty());
    EXPECT_TRUE(harness.hardware->startedCaptures().empty());

    std::exception_ptr error;
    service.transcribeFile(testsupport::audioFixture("long440.wav"),
                           [&](std::optional<TranscriptionRecord>, std::exception_ptr e, auto) { error = e; });
    ASSERT_TRUE(waitUntil([&] { return error != nullptr; }));
    EXPECT_THROW(std::rethrow_exception(error), TranscriptionError);
    EXPECT_TRUE(harness.states.empty());
}

TEST_F(TranscriptionServiceTest, AFailedStartOfTheRecogniserIsLoggedAndLeavesTheServiceNotReady) {
    TranscriptionEnvironment environment;
    environment.defaults = &harness.store.defaults();
    environment.audioHardware = harness.hardware;
    TranscriptionService service([]() -> std::shared_ptr<SpeechRecognizer> {
        throw rarivoredu::ASRError::modelLoadFailed();
    }, environment);
    std::exception_ptr error;
    bool done = false;
    platform::LogCapture log;
    service.initialize([&](std::exception_ptr e) {
        error = e;
        done = true;
    });
    ASSERT_TRUE(waitUntil([&] { return done; }));
    EXPECT_EQ(failureLines(log), "❌ Failed to initialize Parloquin Engine: " +
                                     std::string(rarivoredu::ASRError::modelLoadFailed().what()));
    EXPECT_TRUE(error);
    EXPECT_FALSE(service.isInitialized());
    EXPECT_FALSE(service.asrManager());
}

TEST_F(TranscriptionServiceTest, OneSecondIsTheShortestRecordingTranscribed) {
    // At 16 kHz the capture's frames are the recording's samples, one for one.
    auto microphone = testsupport::fakeMicrophone();
    microphone.sampleRate = 16000;
    harness.hardware->setInputs({microphone}, "fake_microphone");
    TranscriptionService& service = harness.make();
    for (platform::AVAudioFrameCount frames : {15999u, 16000u}) {
        harness.hardware->setCapture({frames, 160, std::nullopt, {}});
        harness.states.clear();
        harness.dictate();
        const bool transcribed = frames >= 16000;
        EXPECT_EQ(harness.states.size(), transcribed ? 3u : 2u) << frames;
        if (!transcribed) {
            EXPECT_EQ(service.recordedSamples().size(), frames);  // kept until the next start
        }
    }
    ASSERT_EQ(harness.recognizer->calls().size(), 1u);
    EXPECT_EQ(harness.recognizer->calls()[0].size(), 16000u);
    EXPECT_EQ(harness.recognizer->sources(), std::vector<rarivoredu::AudioSource>{rarivoredu::AudioSource::microphone});
}

TEST_F(TranscriptionServiceTest, TheRecordingReachesTheRecogniserWholeAt16kHz) {
    harness.hardware->setCapture({48000 * 2 + 1000, 441, std::nullopt, {}});  // 2 s and a partial buffer
    TranscriptionService& service = harness.make();
    harness.dictate();
    ASSERT_EQ(harness.recognizer->calls().size(), 1u);
    const std::vector<float> samples = harness.recognizer->calls()[0];
    // Every captured frame is in, the resampler's tail too.
    EXPECT_NEAR(static_cast<double>(samples.size()), (48000 * 2 + 1000) / 3.0, 2.0);
    const auto tone = testsupport::middle(samples, 200);
    const testsupport::SineFit fit = testsupport::fitSine(tone, 16000, 440);
    EXPECT_NEAR(fit.amplitude, 0.5, 0.01);
    EXPECT_LT(fit.maxResidual, 0.01) << "the tone jumps: audio was lost or repeated";
    EXPECT_TRUE(service.recordedSamples().empty());
}

TEST_F(TranscriptionServiceTest, StartAndStopAreIgnoredWhereTheyDoNotApply) {
    TranscriptionService& service = harness.make();
    service.stopRecording();  // not recording
    EXPECT_TRUE(harness.states.empty());

    service.startRecording();
    service.startRecording();  // already recording
    EXPECT_EQ(harness.hardware->startedCaptures().size(), 1u);

    // While the recording is processed, a start does nothing.
    std::atomic<bool> release{false};
    harness.recognizer->during([&] {
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    service.stopRecording();
    ASSERT_TRUE(service.isProcessing());
    service.startRecording();
    EXPECT_FALSE(service.isRecording());
    EXPECT_EQ(harness.hardware->startedCaptures().size(), 1u);
    release = true;
    ASSERT_TRUE(harness.waitForIdle());
    EXPECT_EQ(harness.states, (std::vector<State>{State::recording, State::processing, State::idle}));
}

// The cancel key: the recording ends and is thrown away, whatever its length.
TEST_F(TranscriptionServiceTest, ACancelledRecordingIsNeitherTranscribedNorStoredNorDelivered) {
    harness.hardware->setCapture({96000, 480, std::nullopt, {}});
    TranscriptionService& service = harness.make();
    service.cancelRecording();  // nothing to cancel
    EXPECT_TRUE(harness.states.empty());

    service.startRecording();
    ASSERT_TRUE(waitUntil([&] { return service.recordedSamples().size() >= TranscriptionService::kMinimumSamples; }));
    service.cancelRecording();
    EXPECT_FALSE(service.isRecording());
    EXPECT_FALSE(service.isProcessing());
    EXPECT_TRUE(service.recordedSamples().empty());
    service.stopRecording();  // nothing left to stop
    drainEventLoop();
    EXPECT_EQ(harness.states, (std::vector<State>{State::recording, State::idle}));
    EXPECT_EQ(harness.overlays->events, (std::vector<std::string>{"show", "hide"}));
    EXPECT_TRUE(harness.recognizer->calls().empty());
    EXPECT_TRUE(harness.history().records().empty());
    EXPECT_EQ(harness.statistics().statistics().totalRecordings, 0);
    EXPECT_FALSE(desktop.pasteboard->contents);
    EXPECT_EQ(service.lastTranscription(), "");
    EXPECT_EQ(service.audioDeviceManager().currentAudioLevel(), 0.0f);

    // The next dictation is whole again.
    harness.dictate();
    EXPECT_EQ(harness.recognizer->calls().size(), 1u);
    EXPECT_EQ(harness.history().records().size(), 1u);
}

TEST_F(TranscriptionServiceTest, FormattingPrivacyAndEmptyTextDecideWhatIsStoredAndDelivered) {
    struct Case {
        std::string name;
        std::string recognized;
        bool formatting;
        bool privacy;
        std::string last;
        std::optional<std::string> delivered;
        std::size_t records;
        std::vector<std::string> notices = {};
    };
    const std::string nothing = "Nichts erkannt: In der Aufnahme war keine Sprache zu erkennen, darum wurde nichts "
                                "eingefügt. Prüfe in den Audio-Einstellungen, ob das richtige Mikrofon gewählt ist.";
    const std::vector<Case> cases = {
        {"formatting on", "Hallo neuer Absatz wie geht es dir", true, false, "Hallo\n\nwie geht es dir",
         "Hallo\n\nwie geht es dir", 1},
        {"formatting off", "Hallo neuer Absatz wie geht es dir", false, false, "Hallo neuer Absatz wie geht es dir",
         "Hallo neuer Absatz wie geht es dir", 1},
        {"privacy mode", "Das ist ein ganz privater deutscher Satz.", true, true,
         "Das ist ein ganz privater deutscher Satz.", "Das ist ein ganz privater deutscher Satz.", 0},
        {"only a command", "  Absatz  ", true, false, "", std::nullopt, 0},
        {"nothing recognised", "", true, false, "", std::nullopt, 0, {nothing}},
        {"only white space", " \n ", false, false, " \n ", std::nullopt, 0, {nothing}},
    };
    for (const Case& c : cases) {
        ServiceHarness h;
        parloquin_test::FakeDesktop fakes;
        h.store.defaults().setBool("pasteInPlaceMode", false);
        h.store.defaults().setBool("spokenFormattingCommandsEnabled", c.formatting);
        h.store.defaults().setBool("privacyModeEnabled", c.privacy);
        h.recognizer->setText(c.recognized);
        TranscriptionService& service = h.make();
        std::vector<std::string> notices;
        service.onNotice = [&](const std::string& title, const std::string& body) {
            notices.push_back(title + ": " + body);
        };
        h.dictate();
        EXPECT_EQ(notices, c.notices) << c.name;
        EXPECT_EQ(service.lastTranscription(), c.last) << c.name;
        EXPECT_EQ(fakes.pasteboard->contents, c.delivered) << c.name;
        EXPECT_EQ(h.history().records().size(), c.records) << c.name;
        EXPECT_EQ(h.statistics().statistics().totalRecordings, static_cast<std::int64_t>(c.records))
            << c.name;
    }
}

TEST_F(TranscriptionServiceTest, TheRecordHoldsTheFiguresOfTheDictation) {
    harness.recognizer->setText("Guten Morgen, heute ist ein schöner Tag in der Stadt.");
    harness.make();
    harness.dictate();
    ASSERT_EQ(harness.history().records().size(), 1u);
    const TranscriptionRecord& record = harness.history().records()[0];
    EXPECT_EQ(record.text, "Guten Morgen, heute ist ein schöner Tag in der Stadt.");
    EXPECT_EQ(record.charCount, 53);
    EXPECT_EQ(record.wordCount, 10);
    EXPECT_EQ(record.language, "de");
    EXPECT_EQ(record.timestamp, harness.clock->now());
    EXPECT_NEAR(record.duration, 1.0, 0.01);
    ASSERT_TRUE(record.inferenceTime && record.rtf);
    EXPECT_GE(*record.inferenceTime, 0.0);
    EXPECT_DOUBLE_EQ(*record.rtf, *record.inferenceTime / record.duration);
}

TEST_F(TranscriptionServiceTest, DeliveryPastesCopiesAndGuidesOnce) {
    struct Case {
        std::string name;
        bool pasteInPlace;
        bool accessibility;
        bool autoSend;
        std::vector<std::uint16_t> keyDowns;
        std::size_t alerts;
        bool clipboardRefuses = false;
        std::string notice;  // told twice, once per dictation
        bool reachesFocus = true;
    };
    const std::vector<Case> cases = {
        {"paste, auto-send", true, true, true, {PasteHelper::kVirtualKeyV, PasteHelper::kVirtualKeyReturn}, 0, false, ""},
        {"paste", true, true, false, {PasteHelper::kVirtualKeyV}, 0, false, ""},
        {"paste wanted, no Accessibility", true, false, true, {}, 1, false, ""},
        {"copy only", false, false, true, {}, 0, false, ""},
        {"paste, clipboard refuses", true, true, true, {}, 0, true,
         "Text nicht eingefügt: Die Zwischenablage hat den Text nicht angenommen, darum hat Parloquin nichts "
         "eingefügt. Du findest ihn im Verlauf."},
        {"copy only, clipboard refuses", false, false, false, {}, 0, true,
         "Text nicht kopiert: Die Zwischenablage hat den Text nicht angenommen. Du findest ihn im Verlauf."},
        {"paste, no way reaches the focused window", true, true, true, {}, 0, false,
         "In die Zwischenablage kopiert – mit Strg+V einfügen: Parloquin kann in das aktive Fenster nicht selbst "
         "einfügen.",
         false},
    };
    for (const Case& c : cases) {
        ServiceHarness h;
        parloquin_test::FakeDesktop fakes;
        fakes.permissions->accessibility = c.accessibility;
        fakes.pasteboard->refuses = c.clipboardRefuses;
        fakes.keyboard->reaches = c.reachesFocus;
        h.store.defaults().setBool("pasteInPlaceMode", c.pasteInPlace);
        h.store.defaults().setBool("autoSendText", c.autoSend);
        TranscriptionService& service = h.make();
        std::vector<std::string> notices;
        service.onNotice = [&](const std::string& title, const std::string& body) {
            notices.push_back(title + ": " + body);
        };
        for (int round = 0; round < 2; ++round) {
            h.dictate();
            if (!c.keyDowns.empty() && c.autoSend) waitUntil([&] { return fakes.keyboard->events.size() >= 4u * (round + 1); });
        }
        std::vector<std::uint16_t> downs;
        for (const platform::CGEvent& event : fakes.keyboard->events) {
            if (event.type == platform::CGEventType::keyDown) downs.push_back(event.keyCode);
        }
        std::vector<std::uint16_t> expected = c.keyDowns;
        expected.insert(expected.end(), c.keyDowns.begin(), c.keyDowns.end());  // two dictations
        EXPECT_EQ(downs, expected) << c.name;
        EXPECT_EQ(fakes.pasteboard->contents,
                  c.clipboardRefuses ? std::nullopt : std::optional<std::string>(h.recognizer->text()))
            << c.name;
        const std::vector<std::string> told =
            c.notice.empty() ? std::vector<std::string>() : std::vector<std::string>{c.notice, c.notice};
        EXPECT_EQ(notices, told) << c.name;
        EXPECT_EQ(h.alerts->shown.size(), c.alerts) << c.name;
        EXPECT_EQ(fakes.permissions->prompts, static_cast<int>(c.alerts)) << c.name;
        EXPECT_EQ(service.delivery().hasShownGuidance(), c.alerts > 0) << c.name;
    }
}

// The guidance states what happens (the clipboard, Ctrl+V) and what this desktop needs, in German,
// with one button: Linux has no settings page that grants synthetic keys.
TEST_F(TranscriptionServiceTest, TheGuidanceSaysWhatThisDesktopNeedsAndOffersNoSettingsButton) {
    struct Case {
        const char* name;
        const char* waylandDisplay;
        const char* currentDesktop;
        const char* says;
    };
    const std::vector<Case> cases = {
        {"X11 without XTEST", nullptr, "XFCE", "XTEST-Erweiterung"},
        {"KDE Plasma", "wayland-0", "KDE", "Desktop-Datei"},
        {"GNOME", "wayland-0", "ubuntu:GNOME", "Fernsteuerung"},
        {"sway", "wayland-0", "sway", "zwp_virtual_keyboard_v1"},
        {"another Wayland desktop", "wayland-0", "Weston", "keinen Weg, Tasten zu senden"},
    };
    for (const Case& c : cases) {
        testsupport::ScopedEnvironment environment;
        if (c.waylandDisplay) environment.set("WAYLAND_DISPLAY", c.waylandDisplay);
        else environment.unset("WAYLAND_DISPLAY");
        environment.set("XDG_SESSION_TYPE", c.waylandDisplay ? "wayland" : "x11");
        environment.set("XDG_CURRENT_DESKTOP", c.currentDesktop);
        const Alert alert = PasteGuidance::alert(PasteGuidance::current());
        EXPECT_EQ(alert.style, AlertStyle::informational) << c.name;
        EXPECT_EQ(alert.messageText, "Automatisches Einfügen ist hier nicht möglich") << c.name;
        EXPECT_NE(alert.informativeText.find("füge ihn mit Strg+V ein"), std::string::npos) << c.name;
        EXPECT_NE(alert.informativeText.find(c.says), std::string::npos) << c.name << ": " << alert.informativeText;
        for (const char* foreign : {"Accessibility", "⌘", "Bedienungshilfen", "System Settings"})
            EXPECT_EQ(alert.informativeText.find(foreign), std::string::npos) << c.name << ": " << foreign;
        EXPECT_EQ(alert.buttons, (std::vector<std::string>{"OK"})) << c.name;
    }

    desktop.permissions->accessibility = false;
    harness.alerts->response = alertFirstButtonReturn;
    harness.make();
    harness.dictate();
    ASSERT_TRUE(waitUntil([&] { return !harness.alerts->shown.empty(); }));
    EXPECT_EQ(harness.alerts->shown[0].messageText, "Automatisches Einfügen ist hier nicht möglich");

    // Shown once per user: a new service over the same settings does not show it again.
    harness.alerts->shown.clear();
    harness.make();
    harness.dictate();
    drainEventLoop();
    EXPECT_TRUE(harness.alerts->shown.empty());
}

TEST_F(TranscriptionServiceTest, EachRecordingBindsTheChosenInputAsItIsNow) {
    auto usb = testsupport::fakeMicrophone("usb", 2);
    usb.device.name = "USB";
    harness.hardware->setInputs({testsupport::fakeMicrophone(), usb}, "fake_microphone");
    harness.store.defaults().setString(parloquin::settings::kSelectedAudioDeviceUID, "usb");
    TranscriptionService& service = harness.make();
    ASSERT_EQ(service.audioDeviceManager().selectedDevice()->uid, "usb");
    harness.dictate();

    // Unplugged: the next recording falls back to the default input and says so.
    harness.hardware->setInputs({testsupport::fakeMicrophone()}, "fake_microphone");
    platform::LogCapture log;
    harness.dictate();
    EXPECT_EQ(harness.hardware->startedCaptures(), (std::vector<std::string>{"usb", ""}));
    EXPECT_TRUE(log.contains("(usb) is not available; recording from the default input", "AudioDeviceManager"));
}

TEST_F(TranscriptionServiceTest, TheLevelFollowsTheRecordingAndReturnsToZero) {
    harness.hardware->setCapture({48000 * 3, 480, std::nullopt, {}});
    TranscriptionService& service = harness.make();
    std::vector<float> levels;
    QObject::connect(&service.audioDeviceManager(), &AudioDeviceManager::currentAudioLevelChanged,
                     [&] { levels.push_back(service.audioDeviceManager().currentAudioLevel()); });
    service.startRecording();
    ASSERT_TRUE(waitUntil([&] { return !levels.empty(); }));
    service.stopRecording();
    harness.waitForIdle();
    EXPECT_NEAR(levels.front(), (20 * std::log10(0.5 / std::sqrt(2.0)) + 60) / 60, 0.02);
    EXPECT_EQ(service.audioDeviceManager().currentAudioLevel(), 0.0f);
}

}  // namespace
}  // namespace parloquin

namespace parloquin {
namespace {

// The real recogniser, on fixture models placed in the models folder beforehand.
TEST(TranscriptionServiceRecognizerTest, StartsFromTheModelsFolderAndDictatesThroughTheRecogniser) {
    testsupport::TemporaryDirectory data;
    testsupport::ScopedEnvironment environment;
    environment.set("XDG_DATA_HOME", data.path().string());
    environment.set("RARIVOREDU_HUB_URL", "http://127.0.0.1:9");  // nothing may be fetched
    testsupport::AsrFixtureModels models(
        testsupport::AsrFixtureScript::of({{2, 11, "\xE2\x96\x81Hallo"}, {6, 12, "\xE2\x96\x81Welt"}}));
    models.writeBundles(data.path() / "RarivOredu" / "Models" / "parakeet-tdt-0.6b-v3-coreml");

    parloquin_test::FakeDesktop desktop;
    ServiceHarness harness;
    auto microphone = testsupport::fakeMicrophone();
    microphone.sampleRate = 16000;
    microphone.samples = testsupport::markedAudio(20000);
    harness.hardware->setInputs({microphone}, "fake_microphone");
    harness.hardware->setCapture({20000, 320, std::nullopt, {}});
    TranscriptionEnvironment services;
    services.defaults = &harness.store.defaults();
    services.audioHardware = harness.hardware;
    TranscriptionService service(TranscriptionService::defaultAsrInitializer(), services);
    harness.store.defaults().setBool("pasteInPlaceMode", false);

    std::exception_ptr error;
    bool done = false;
    service.initialize([&](std::exception_ptr e) {
        error = e;
        done = true;
    });
    ASSERT_TRUE(waitUntil([&] { return done; }, std::chrono::seconds(60)));
    ASSERT_FALSE(error);
    ASSERT_TRUE(service.isInitialized());

    bool idle = false;
    QObject::connect(&service, &TranscriptionService::stateChanged, [&](State state) { idle = state == State::idle; });
    service.startRecording();
    service.stopRecording();
    ASSERT_TRUE(waitUntil([&] { return idle; }));
    EXPECT_EQ(service.lastTranscription(), "Hallo Welt");
    EXPECT_EQ(desktop.pasteboard->contents, "Hallo Welt");
}

// Quitting while the models download: the service goes at once, taking the download with it, and
// leaves no unfinished model folder behind. (The transfer's idle time-out is half an hour.)
TEST(TranscriptionServiceQuitTest, DestroyingTheServiceStopsAStalledModelDownload) {
    testsupport::HubSandbox sandbox;
    testsupport::ScopedEnvironment environment;
    environment.set("XDG_DATA_HOME", sandbox.root().string());
    const std::string repoId = "ViridErevidaro/parakeet-tdt-0.6b-v3-coreml";
    testsupport::AsrFixtureModels models(testsupport::AsrFixtureScript::of({{2, 11, "\xE2\x96\x81Hallo"}}));
    for (const auto& [name, files] : models.bundles()) sandbox.hub.addFiles(repoId, name, files);
    sandbox.hub.addFile(repoId, "parakeet_vocab.json", models.vocabularyJson());
    sandbox.hub.setFileFault(repoId, "Encoder.mlmodelc/coremldata.bin", testsupport::TestHub::Fault::stall());

    ServiceHarness harness;
    TranscriptionEnvironment services;
    services.defaults = &harness.store.defaults();
    services.audioHardware = harness.hardware;
    auto service = std::make_unique<TranscriptionService>(TranscriptionService::defaultAsrInitializer(), services);
    bool completed = false;
    service->initialize([&](std::exception_ptr) { completed = true; });
    sandbox.hub.waitForStalls(1);

    platform::LogCapture log;
    service.reset();
    EXPECT_TRUE(log.contains("Download cancelled: Encoder.mlmodelc/coremldata.bin", "DownloadUtils"));
    EXPECT_FALSE(log.contains("First load failed"));
    drainEventLoop();
    EXPECT_FALSE(completed);
    EXPECT_FALSE(std::filesystem::exists(sandbox.root() / "RarivOredu" / "Models" / "parakeet-tdt-0.6b-v3-coreml"));
}

// A long file tells each window done; a dictation asked for meanwhile is refused aloud; a cancel
// stops it before its next window, stores nothing, and leaves the service ready for a dictation.
TEST(TranscriptionServiceFileProgressTest, ALongFileCountsItsWindowsAndCanBeCancelled) {
    testsupport::TemporaryDirectory folder;
    std::vector<testsupport::ScriptedToken> tokens;
    for (int frame = 10; frame < 500; frame += 40) tokens.push_back({frame, 11, "\xE2\x96\x81Wort"});
    testsupport::AsrFixtureModels models(testsupport::AsrFixtureScript::of(tokens));
    std::atomic<bool> slow{false};
    models.setJointHook([&slow](int) {
        if (slow) std::this_thread::sleep_for(std::chrono::milliseconds(2));  // a window takes a while
    });
    auto manager = std::make_shared<rarivoredu::AsrManager>(rarivoredu::ASRConfig::defaultConfig());
    manager->initialize(models.asrModels());
    const auto wav = rarivoredu::AudioWAV::data(testsupport::markedAudio(640000), 16000);  // 40 s: four windows
    const auto file = testsupport::writeFile(folder.path() / "lang.wav",
                                             std::string_view(reinterpret_cast<const char*>(wav.data()), wav.size()));

    ServiceHarness harness;
    TranscriptionEnvironment services;
    services.defaults = &harness.store.defaults();
    services.audioHardware = harness.hardware;
    auto stores = std::make_shared<TranscriptionStores>(harness.store.defaults(), platform::Clock::system());
    services.sink = stores;
    TranscriptionService service([manager] { return std::make_shared<AsrManagerRecognizer>(manager); }, services);
    bool ready = false;
    service.initialize([&](std::exception_ptr) { ready = true; });
    ASSERT_TRUE(waitUntil([&] { return ready; }));
    std::vector<std::string> notices;
    service.onNotice = [&](const std::string& title, const std::string& body) { notices.push_back(title + ": " + body); };

    using Report = std::pair<std::int64_t, std::int64_t>;
    struct Run {
        std::vector<Report> reports;
        bool done = false;
        std::optional<TranscriptionRecord> record;
        std::exception_ptr error;
    };
    auto start = [&](Run& run) {
        service.transcribeFile(
            file,
            [&run](std::optional<TranscriptionRecord> record, std::exception_ptr error, auto) {
                run = {run.reports, true, std::move(record), error};
            },
            [&run](std::int64_t done, std::int64_t count) { run.reports.emplace_back(done, count); });
    };

    Run whole;
    start(whole);
    EXPECT_TRUE(service.isTranscribingFile());
    ASSERT_TRUE(service.fileJob());
    EXPECT_EQ(service.fileJob()->file, file);
    service.startRecording();
    EXPECT_FALSE(service.isRecording());
    ASSERT_TRUE(waitUntil([&] { return whole.done; }, std::chrono::milliseconds(60000)));
    ASSERT_TRUE(whole.record);
    EXPECT_EQ(whole.reports, (std::vector<Report>{{0, 4}, {1, 4}, {2, 4}, {3, 4}, {4, 4}}));
    EXPECT_EQ(notices, (std::vector<std::string>{"Aufnahme nicht möglich: Parloquin transkribiert gerade eine Datei. "
                                                 "Warte, bis sie fertig ist, oder brich sie auf der Seite „Datei“ ab."}));
    EXPECT_FALSE(service.isTranscribingFile());

    Run cancelled;
    slow = true;
    start(cancelled);
    ASSERT_TRUE(waitUntil([&] { return !cancelled.reports.empty(); }));
    service.cancelFileTranscription();
    ASSERT_TRUE(service.fileJob());
    EXPECT_TRUE(service.fileJob()->cancelling) << "a page built now shows the cancel as asked";
    EXPECT_EQ(service.fileJob()->windowCount, 4);
    ASSERT_TRUE(waitUntil([&] { return cancelled.done; }, std::chrono::milliseconds(60000)));
    EXPECT_FALSE(service.fileJob());
    EXPECT_FALSE(cancelled.record);
    ASSERT_TRUE(cancelled.error);
    try {
        std::rethrow_exception(cancelled.error);
    } catch (const platform::NSError& error) {
        EXPECT_EQ(error.code(), platform::CocoaError::userCancelled);
    }
    EXPECT_LT(cancelled.reports.size(), 5u);
    EXPECT_EQ(stores->historyManager().records().size(), 1u);
    EXPECT_FALSE(service.isProcessing());
    service.startRecording();
    EXPECT_TRUE(service.isRecording());
    service.cancelRecording();
}

// Quitting while a long file is transcribed: the recogniser stops before its next window.
TEST(TranscriptionServiceQuitTest, DestroyingTheServiceStopsALongTranscriptionBetweenWindows) {
    testsupport::TemporaryDirectory folder;
    std::vector<testsupport::ScriptedToken> tokens;
    for (int frame = 10; frame < 500; frame += 40) tokens.push_back({frame, 11, "\xE2\x96\x81Wort"});
    testsupport::AsrFixtureModels models(testsupport::AsrFixtureScript::of(tokens));
    std::atomic<bool> decoding{false};
    models.setJointHook([&decoding](int) {
        decoding = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));  // a window takes a while
    });
    auto manager = std::make_shared<rarivoredu::AsrManager>(rarivoredu::ASRConfig::defaultConfig());
    manager->initialize(models.asrModels());
    const auto wav = rarivoredu::AudioWAV::data(testsupport::markedAudio(640000), 16000);  // 40 s: four windows
    const auto file = testsupport::writeFile(folder.path() / "lang.wav",
                                             std::string_view(reinterpret_cast<const char*>(wav.data()), wav.size()));

    ServiceHarness harness;
    TranscriptionEnvironment services;
    services.defaults = &harness.store.defaults();
    services.audioHardware = harness.hardware;
    auto service = std::make_unique<TranscriptionService>(
        [manager] { return std::make_shared<AsrManagerRecognizer>(manager); }, services);
    bool ready = false;
    service->initialize([&](std::exception_ptr) { ready = true; });
    ASSERT_TRUE(waitUntil([&] { return ready; }));
    bool finished = false;
    service->transcribeFile(file, [&](auto, auto, auto) { finished = true; });
    while (!decoding) std::this_thread::sleep_for(std::chrono::milliseconds(1));

    service.reset();
    EXPECT_EQ(models.preprocessorRuns(), 1);  // the first window of four
    drainEventLoop();
    EXPECT_FALSE(finished);
}

}  // namespace
}  // namespace parloquin
