// How soon the main window is on screen: from AppDelegate::openMainWindow to the first frame the
// window has painted (the window made, laid out, shown and drawn), and from choosing another
// section to the new page's first frame. Aims: under 150 ms and under 30 ms.
//
//   scripts/test-session.sh build/release/bench/views/bench_views
//
// Run it on an X server (the test session's Xvfb) to include mapping the window; it also runs with
// QT_QPA_PLATFORM=offscreen. The shell gets a dictation service whose models are ready at once.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEvent>
#include <chrono>
#include <memory>

#include "Parloquin/app/AppDelegate.h"
#include "Parloquin/app/QtApplicationActivation.h"
#include "Parloquin/services/TranscriptionService.h"
#include "Platform/system/UserDefaults.h"
#include "tests/Parloquin/hotkeys/HotkeyFakes.h"
#include "tests/support/FakeAudioHardware.h"
#include "tests/support/TemporaryDirectory.h"

namespace {

using Clock = std::chrono::steady_clock;
using parloquin::SidebarSection;

class SilentRecognizer : public parloquin::SpeechRecognizer {
public:
    rarivoredu::ASRResult transcribe(std::span<const float>, rarivoredu::AudioSource) override { return {}; }
};

// Notes the moment any part of the main window is painted; the frame is done once the event loop
// returns from the paint pass.
class PaintWatch : public QObject {
public:
    bool painted = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(watched);
            if (widget->window()->objectName() == QLatin1String("MainWindow")) painted = true;
        }
        return false;
    }
};

void runEventsUntil(const std::function<bool()>& condition) {
    while (!condition()) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

// The shell after a launch whose models loaded: the stores exist, the window does not yet.
struct LaunchedShell {
    LaunchedShell() {
        defaults.setBool("hasShownFirstLaunchExplanation", true);
        defaults.setBool("showFloatingDictationControl", false);
        hardware->setInputs({testsupport::fakeMicrophone()}, "fake_microphone");
        parloquin::AppEnvironment environment;
        environment.defaults = &defaults;
        environment.application = std::make_shared<parloquin::QtApplicationActivation>();
        environment.clock = platform::Clock::system();
        environment.hotkeyEnvironment = [this] { return desktop.environment(); };
        environment.makeTranscriptionService = [this](std::shared_ptr<parloquin::TranscriptionSink> sink) {
            parloquin::TranscriptionEnvironment service;
            service.defaults = &defaults;
            service.sink = std::move(sink);
            service.audioHardware = hardware;
            return std::make_unique<parloquin::TranscriptionService>(
                [] { return std::shared_ptr<parloquin::SpeechRecognizer>(std::make_shared<SilentRecognizer>()); },
                service);
        };
        delegate = std::make_unique<parloquin::AppDelegate>(std::move(environment));
        delegate->applicationDidFinishLaunching();
        runEventsUntil([this] { return delegate->isInitialized(); });
    }

    testsupport::TemporaryDirectory folder;
    platform::UserDefaults defaults{folder / "defaults.json"};
    std::shared_ptr<testsupport::FakeAudioHardware> hardware = testsupport::FakeAudioHardware::make();
    parloquin_test::FakeHotkeyDesktop desktop;
    std::unique_ptr<parloquin::AppDelegate> delegate;
};

double openToFirstFrame(LaunchedShell& shell, PaintWatch& watch, SidebarSection section) {
    watch.painted = false;
    const auto start = Clock::now();
    shell.delegate->openMainWindow(section);
    runEventsUntil([&] { return watch.painted; });
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void BM_OpenMainWindowToFirstFrame(benchmark::State& state) {
    PaintWatch watch;
    qApp->installEventFilter(&watch);
    const auto section = static_cast<SidebarSection>(state.range(0));
    for (auto _ : state) {
        LaunchedShell shell;
        state.SetIterationTime(openToFirstFrame(shell, watch, section));
    }
    qApp->removeEventFilter(&watch);
    state.SetLabel(std::string("first open on ") + std::string(parloquin::rawValue(section)));
}

// Closed and opened again: the window is kept, so only showing and drawing remain.
void BM_ReopenMainWindowToFirstFrame(benchmark::State& state) {
    PaintWatch watch;
    qApp->installEventFilter(&watch);
    LaunchedShell shell;
    openToFirstFrame(shell, watch, SidebarSection::general);
    for (auto _ : state) {
        shell.delegate->mainWindow()->close();
        QCoreApplication::processEvents();
        state.SetIterationTime(openToFirstFrame(shell, watch, SidebarSection::general));
    }
    qApp->removeEventFilter(&watch);
}

// From another section to the section measured, as a click in the sidebar does it.
void BM_SectionSwitchToFirstFrame(benchmark::State& state) {
    PaintWatch watch;
    qApp->installEventFilter(&watch);
    LaunchedShell shell;
    const auto section = static_cast<SidebarSection>(state.range(0));
    const SidebarSection away = section == SidebarSection::other ? SidebarSection::file : SidebarSection::other;
    openToFirstFrame(shell, watch, away);
    parloquin::MainWindowView* window = shell.delegate->mainWindow();
    for (auto _ : state) {
        window->setSelectedSection(away);
        watch.painted = false;
        runEventsUntil([&] { return watch.painted; });
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        watch.painted = false;
        const auto start = Clock::now();
        window->setSelectedSection(section);
        runEventsUntil([&] { return watch.painted; });
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
    qApp->removeEventFilter(&watch);
    state.SetLabel(std::string("to ") + std::string(parloquin::rawValue(section)));
}

BENCHMARK(BM_OpenMainWindowToFirstFrame)
    ->Arg(int(SidebarSection::general))
    ->Arg(int(SidebarSection::history))
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);
BENCHMARK(BM_ReopenMainWindowToFirstFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_SectionSwitchToFirstFrame)
    ->Arg(int(SidebarSection::general))
    ->Arg(int(SidebarSection::history))
    ->Arg(int(SidebarSection::audio))
    ->Arg(int(SidebarSection::other))
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(50);

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
