// The time from stopRecording to the text delivered: the rest of the recording taken and
// converted, the hand-over to the recogniser's worker and back, the formatting, language and
// stores, the clipboard and the paste key going down. The recogniser is a fixture that answers at
// once; its own time is subtracted anyway, and the paste's fixed 10 ms between key down and key up
// and the 0.1 s before an auto-send Return come after the moment measured.
//
//   bench_services [--benchmark_repetitions=N]
//
// Arguments: seconds recorded (48 kHz mono), and whether the history and statistics are written
// (privacy mode off) — their writes go to disk with fsync, as the user's settings do.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <atomic>
#include <chrono>
#include <memory>
#include <optional>

#include "Parloquin/services/TranscriptionService.h"
#include "Platform/system/UserDefaults.h"
#include "tests/Parloquin/services/PasteFakes.h"
#include "tests/support/FakeAudioHardware.h"
#include "tests/support/TemporaryDirectory.h"

namespace {

using Clock = std::chrono::steady_clock;

// Answers at once and tells how long it took.
class InstantRecognizer : public parloquin::SpeechRecognizer {
public:
    rarivoredu::ASRResult transcribe(std::span<const float> samples, rarivoredu::AudioSource) override {
        const auto start = Clock::now();
        rarivoredu::ASRResult result;
        result.text = "Guten Morgen neue Zeile heute diktiere ich einen kurzen deutschen Satz.";
        result.duration = static_cast<double>(samples.size()) / 16000.0;
        elapsed = Clock::now() - start;
        return result;
    }
    std::atomic<Clock::duration> elapsed{};
};

void runEventsUntil(const std::function<bool()>& condition) {
    while (!condition()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void BM_StopToDelivery(benchmark::State& state) {
    const auto seconds = static_cast<platform::AVAudioFrameCount>(state.range(0));
    const bool storing = state.range(1) != 0;

    testsupport::TemporaryDirectory folder;
    platform::UserDefaults defaults(folder / "defaults.json");
    defaults.setBool("privacyModeEnabled", !storing);
    parloquin_test::FakeDesktop desktop;
    std::optional<Clock::time_point> delivered;
    desktop.keyboard->onPost = [&](const platform::CGEvent& event) {
        if (event.type == platform::CGEventType::keyDown && !delivered) delivered = Clock::now();
    };

    auto hardware = testsupport::FakeAudioHardware::make();
    hardware->setInputs({testsupport::fakeMicrophone()}, "fake_microphone");
    const platform::AVAudioFrameCount frames = seconds * 48000 + 1234;  // ends inside a tap buffer
    hardware->setCapture({frames, 480, std::nullopt, {}});
    auto recognizer = std::make_shared<InstantRecognizer>();
    parloquin::TranscriptionEnvironment environment;
    environment.defaults = &defaults;
    environment.audioHardware = hardware;
    parloquin::TranscriptionService service([recognizer] { return recognizer; }, environment);
    bool ready = false;
    service.initialize([&](std::exception_ptr) { ready = true; });
    runEventsUntil([&] { return ready; });

    for (auto _ : state) {
        const std::uint64_t before = hardware->deliveredFrames();
        service.startRecording();
        // The recording as it stands at a stop: everything captured and converted but the last buffer.
        while (hardware->deliveredFrames() < before + frames) QCoreApplication::processEvents();
        delivered.reset();

        const auto stop = Clock::now();
        service.stopRecording();
        runEventsUntil([&] { return delivered.has_value(); });
        const auto total = *delivered - stop - recognizer->elapsed.load();
        state.SetIterationTime(std::chrono::duration<double>(total).count());
        runEventsUntil([&] { return !service.isProcessing(); });
    }
    state.SetLabel(std::to_string(seconds) + " s recorded, " + (storing ? "history written" : "privacy mode"));
}

BENCHMARK(BM_StopToDelivery)
    ->Args({5, 0})
    ->Args({5, 1})
    ->Args({30, 1})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
