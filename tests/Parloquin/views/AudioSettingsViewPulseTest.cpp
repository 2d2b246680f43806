// The audio page on the sound server of scripts/test-session.sh: its two sine inputs, the default
// parloquin_sine (440 Hz) and parloquin_sine_1k (1 kHz). A choice made on the page is what the
// dictation service, made long before, records next.
#include "Parloquin/views/AudioSettingsView.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QProcess>
#include <QTest>
#include <chrono>

#include "Parloquin/services/AudioDeviceManager.h"
#include "Parloquin/views/AudioDeviceRow.h"
#include "Parloquin/views/AudioLevelMeter.h"
#include "Parloquin/views/StyledButton.h"
#include "tests/Parloquin/services/ServiceFixtures.h"
#include "tests/Parloquin/views/DesktopProgramFakes.h"
#include "tests/support/AudioSignals.h"

namespace {

using parloquin::AudioDeviceRow;
using parloquin::AudioSettingsView;
using parloquin::RecordingState;
using parloquin::TranscriptionService;
using parloquin_test::waitUntil;

QString pactl(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral("pactl"), arguments);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

class AudioSettingsViewPulseTest : public ::testing::Test {
protected:
    void SetUp() override {
        parloquin::TranscriptionEnvironment environment;
        environment.defaults = &store.defaults();
        environment.audioHardware = platform::AudioHardware::system();
        service = std::make_unique<TranscriptionService>([r = recognizer] { return r; }, environment);
        bool ready = false;
        service->initialize([&](std::exception_ptr) { ready = true; });
        ASSERT_TRUE(waitUntil([&] { return ready; }));
        QObject::connect(service.get(), &TranscriptionService::stateChanged, [this](RecordingState state) { idle = state == RecordingState::idle; });

        parloquin::PageContext context;
        context.defaults = &store.defaults();
        context.transcriptionService = service.get();
        context.workspace = std::make_shared<parloquin_test::RecordingWorkspace>();
        page = std::make_unique<AudioSettingsView>(context);
        page->resize(720, 900);
        page->show();
        parloquin_test::drainEventLoop();
    }

    AudioDeviceRow* row(const std::string& uid) const {
        for (AudioDeviceRow* row : page->deviceRows())
            if (row->device().uid == uid) return row;
        return nullptr;
    }
    void click(QWidget* control) {
        ASSERT_TRUE(control);
        page->ensureWidgetVisible(control);
        QTest::mouseClick(control, Qt::LeftButton, {}, control->rect().center());
        parloquin_test::drainEventLoop();
    }
    std::vector<float> dictate(std::chrono::milliseconds length) {
        const std::size_t before = recognizer->calls().size();
        idle = false;
        service->startRecording();
        EXPECT_TRUE(service->isRecording());
        waitUntil([] { return false; }, length);
        service->stopRecording();
        EXPECT_TRUE(waitUntil([&] { return idle; }));
        const auto calls = recognizer->calls();
        return calls.size() > before ? calls.back() : std::vector<float>();
    }

    storetest::Store store;
    std::shared_ptr<parloquin_test::FixtureRecognizer> recognizer =
        std::make_shared<parloquin_test::FixtureRecognizer>();
    std::unique_ptr<TranscriptionService> service;
    std::unique_ptr<AudioSettingsView> page;
    bool idle = false;
};

TEST_F(AudioSettingsViewPulseTest, TheChoiceOnThePageIsRecordedAtTheNextDictation) {
    ASSERT_TRUE(row("parloquin_sine")) << "needs the test session's sound server";
    ASSERT_TRUE(row("parloquin_sine_1k"));
    EXPECT_EQ(row("parloquin_sine")->text(), "Sinus-Testquelle");
    ASSERT_TRUE(row("parloquin_sine")->badge());
    EXPECT_EQ(row("parloquin_sine")->badge()->text(), "Systemstandard");
    EXPECT_TRUE(row("parloquin_sine")->isSelected());
    EXPECT_EQ(row("parloquin_sine_1k")->text(), "Sinus 1 kHz");
    EXPECT_FALSE(row("parloquin_sine_1k")->badge());

    // The service was made before the page: it starts on the default input, 440 Hz.
    std::vector<float> samples = dictate(std::chrono::milliseconds(1200));
    ASSERT_GE(samples.size(), TranscriptionService::kMinimumSamples);
    EXPECT_NEAR(testsupport::zeroCrossingFrequency(testsupport::middle(samples, 200), 16000), 440.0, 2.0);

    click(row("parloquin_sine_1k"));
    EXPECT_EQ(store.defaults().stringForKey("selectedAudioDeviceUID"), "parloquin_sine_1k");
    EXPECT_TRUE(row("parloquin_sine_1k")->isSelected());

    samples = dictate(std::chrono::milliseconds(1200));
    ASSERT_GE(samples.size(), TranscriptionService::kMinimumSamples);
    EXPECT_NEAR(testsupport::zeroCrossingFrequency(testsupport::middle(samples, 200), 16000), 1000.0, 2.0);
    EXPECT_EQ(service->audioDeviceManager().selectedDevice()->uid, "parloquin_sine_1k");
}

TEST_F(AudioSettingsViewPulseTest, TheLevelTestShowsTheToneWhileItRuns) {
    ASSERT_TRUE(row("parloquin_sine")) << "needs the test session's sound server";
    click(page->testButton());
    ASSERT_TRUE(page->isMonitoring());
    EXPECT_TRUE(waitUntil([&] { return page->levelMeter()->level() > 0.5f; })) << page->levelMeter()->level();
    click(page->testButton());
    EXPECT_FALSE(page->isMonitoring());
    EXPECT_EQ(page->levelMeter()->level(), 0.0f);
    EXPECT_EQ(page->audioDeviceManager().currentAudioLevel(), 0.0f);
}

TEST_F(AudioSettingsViewPulseTest, AnInputThatComesAndGoesWhileThePageIsShown) {
    ASSERT_TRUE(row("parloquin_sine")) << "needs the test session's sound server";
    const QString module = pactl({QStringLiteral("load-module"), QStringLiteral("module-remap-source"),
                                  QStringLiteral("source_name=parloquin_plugged"),
                                  QStringLiteral("master=parloquin_tone_440.monitor"), QStringLiteral("channels=1"),
                                  QStringLiteral("channel_map=mono"),
                                  QStringLiteral("source_properties=device.description=Steckmikrofon")});
    ASSERT_FALSE(module.isEmpty()) << "pactl could not load a source";
    EXPECT_TRUE(waitUntil([&] { return row("parloquin_plugged") != nullptr; }));
    EXPECT_EQ(row("parloquin_plugged")->text(), "Steckmikrofon");

    pactl({QStringLiteral("unload-module"), module});
    click(page->refreshButton());
    EXPECT_TRUE(waitUntil([&] { return row("parloquin_plugged") == nullptr; }));
    EXPECT_TRUE(row("parloquin_sine"));
    EXPECT_TRUE(row("parloquin_sine_1k"));
}

}  // namespace
