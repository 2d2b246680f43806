// How soon the transcript pages are on screen: building the history page with 20 records and the
// statistics page with a few weeks of totals (made and laid out, argument 0; and to the first
// painted frame, argument 1), and one keystroke in the history's search field to the frame that
// shows its result. Aims: under 20 ms, 5 ms and 2 ms.
//
//   scripts/test-session.sh build/release/bench/views/bench_transcript_pages
//
// Runs on the test session's X server, or with QT_QPA_PLATFORM=offscreen.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEvent>
#include <QLineEdit>
#include <chrono>
#include <functional>
#include <memory>

#include "Parloquin/services/HistoryManager.h"
#include "Parloquin/services/StatisticsManager.h"
#include "Parloquin/views/HistoryView.h"
#include "Parloquin/views/StatisticsView.h"
#include "Platform/system/UserDefaults.h"
#include "tests/Parloquin/views/TranscriptFixtures.h"
#include "tests/Parloquin/views/TranscriptPageFakes.h"
#include "tests/support/TemporaryDirectory.h"

namespace {

using Clock = std::chrono::steady_clock;

// Notes the moment a widget of the watched window is painted.
class PaintWatch : public QObject {
public:
    QWidget* window = nullptr;
    bool painted = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->window() == window)
            painted = true;
        return false;
    }
};

void runEventsUntil(const std::function<bool()>& condition) {
    while (!condition()) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

struct Stores {
    Stores() {
        const platform::Date now = platform::Date::now();
        parloquin_test::storeStatistics(defaults, parloquin_test::fewWeeksOfUse(now));
        statistics = std::make_unique<parloquin::StatisticsManager>(defaults);
        history.setRecords(parloquin_test::twentyRecords(now));
        context.defaults = &defaults;
        context.historyManager = &history;
        context.statisticsManager = statistics.get();
        context.files = std::make_shared<parloquin_test::FakeChooser>();
    }
    testsupport::TemporaryDirectory folder;
    platform::UserDefaults defaults{folder / "defaults.json"};
    parloquin::HistoryManager history{defaults};
    std::unique_ptr<parloquin::StatisticsManager> statistics;
    parloquin::PageContext context;
};

// From nothing to the page made and laid out (shown, but not drawn), or to its first frame on
// screen.
template <typename Make>
void buildPage(benchmark::State& state, Make make) {
    const bool toFirstFrame = state.range(0) != 0;
    Stores stores;
    PaintWatch watch;
    qApp->installEventFilter(&watch);
    for (auto _ : state) {
        watch.painted = false;
        const auto start = Clock::now();
        std::unique_ptr<QWidget> page = make(stores);
        watch.window = page.get();
        page->setAttribute(Qt::WA_DontShowOnScreen, !toFirstFrame);
        page->resize(760, 700);
        page->show();
        if (toFirstFrame) runEventsUntil([&] { return watch.painted; });
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        page.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    qApp->removeEventFilter(&watch);
    state.SetLabel(toFirstFrame ? "to the first frame" : "made and laid out");
}

void BM_HistoryPageWith20Records(benchmark::State& state) {
    buildPage(state, [](Stores& stores) {
        return std::make_unique<parloquin::HistoryView>(stores.history, stores.context);
    });
}

void BM_StatisticsPage(benchmark::State& state) {
    buildPage(state, [](Stores& stores) {
        return std::make_unique<parloquin::StatisticsView>(*stores.statistics, stores.context);
    });
}

// One character typed into the search field (or taken away), to the frame that shows the rows
// left: "t", "te", … "termin", then back to "".
void BM_HistorySearchKeystrokeToFrame(benchmark::State& state) {
    Stores stores;
    PaintWatch watch;
    parloquin::HistoryView page(stores.history, stores.context);
    watch.window = &page;
    page.resize(760, 700);
    page.show();
    qApp->installEventFilter(&watch);
    runEventsUntil([&] { return watch.painted; });
    const QString word = QStringLiteral("termin");
    int length = 0;
    for (auto _ : state) {
        length = (length + 1) % (word.size() + 1);
        watch.painted = false;
        const auto start = Clock::now();
        page.searchField()->setText(word.left(length));
        runEventsUntil([&] { return watch.painted; });
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
    qApp->removeEventFilter(&watch);
}

BENCHMARK(BM_HistoryPageWith20Records)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(BM_StatisticsPage)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(BM_HistorySearchKeystrokeToFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(140);

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
