#include "tests/Parloquin/app/TranscriptPagesScreenshots.h"

#include <QApplication>
#include <QCursor>
#include <QDragEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QScrollBar>
#include <QUrl>
#include <atomic>
#include <fstream>
#include <memory>
#include <thread>

#include "Parloquin/app/AppDelegate.h"
#include "Parloquin/services/HistoryManager.h"
#include "Parloquin/services/SpeechRecognizer.h"
#include "Parloquin/services/StatisticsManager.h"
#include "Parloquin/services/TranscriptionService.h"
#include "Parloquin/services/TranscriptionStores.h"
#include "Parloquin/views/ContentAreaView.h"
#include "Parloquin/views/DropZoneView.h"
#include "Parloquin/views/FileTranscriptionView.h"
#include "Parloquin/views/HistoryRowView.h"
#include "Parloquin/views/HistoryView.h"
#include "Parloquin/views/MainWindowView.h"
#include "Parloquin/views/StatisticsView.h"
#include "tests/Parloquin/views/TranscriptFixtures.h"
#include "tests/Parloquin/views/TranscriptPageFakes.h"
#include "tests/Platform/desktop/EventLoopWait.h"
#include "tests/support/FakeAudioHardware.h"
#include "Platform/system/Progress.h"

namespace parloquin_test {
namespace {

using parloquin::SidebarSection;

// Lets the event loop run for a while of wall time.
void wait(int milliseconds) { waitUntil([] { return false; }, std::chrono::milliseconds(milliseconds)); }

bool waitFor(const std::function<bool()>& condition) { return waitUntil(condition, std::chrono::seconds(10)); }

// Returns a fixed text; holds the worker while told to, so that the page shows its progress.
class HeldRecognizer : public parloquin::SpeechRecognizer {
public:
    rarivoredu::ASRResult transcribe(std::span<const float> samples, rarivoredu::AudioSource) override {
        if (hold) {
            // As a long file would: three windows of ten done, a second each.
            platform::Progress::report(0, 10);
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            platform::Progress::report(3, 10);
        }
        while (hold) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        rarivoredu::ASRResult result;
        result.text =
            "Guten Morgen zusammen, hier ist die Zusammenfassung der gestrigen Besprechung. Wir haben den "
            "Zeitplan für das zweite Quartal abgestimmt und die offenen Punkte verteilt.";
        result.duration = static_cast<double>(samples.size()) / 16000.0;
        return result;
    }
    std::atomic<bool> hold = false;
};

template <typename Page>
Page* page(parloquin::MainWindowView& window) {
    return dynamic_cast<Page*>(window.contentArea()->page());
}

QPixmap sheet(QWidget* dialog) {
    wait(200);
    return dialog->grab();
}

}  // namespace

bool transcriptPagePictures(const std::filesystem::path& storeFolder, const SavePicture& save) {
    platform::UserDefaults defaults(storeFolder / "transcript-defaults.json");
    defaults.registerDefaults(parloquin::AppDelegate::registeredDefaults());
    auto hardware = testsupport::FakeAudioHardware::make();
    hardware->setInputs({testsupport::fakeMicrophone()}, "fake_microphone");
    auto recognizer = std::make_shared<HeldRecognizer>();
    parloquin::TranscriptionEnvironment environment;
    environment.defaults = &defaults;
    environment.audioHardware = hardware;
    auto stores = std::make_shared<parloquin::TranscriptionStores>(defaults, platform::Clock::system());
    environment.sink = stores;
    parloquin::TranscriptionService service([recognizer] { return recognizer; }, environment);
    bool ready = false;
    service.initialize([&ready](std::exception_ptr) { ready = true; });
    if (!waitFor([&] { return ready; })) return false;

    auto chooser = std::make_shared<FakeChooser>();
    parloquin::PageContext context;
    context.historyManager = &stores->historyManager();
    context.statisticsManager = &stores->statisticsManager();
    context.transcriptionService = &service;
    context.defaults = &defaults;
    context.files = chooser;
    parloquin::MainWindowView window(context, SidebarSection::history);
    window.setWindowTitle(QStringLiteral("Parloquin"));
    window.resize(900, 700);
    QCursor::setPos(0, 0);  // no row under the pointer
    window.show();
    bool ok = true;
    auto shot = [&](const char* name) {
        wait(150);
        ok &= save(window.grab(), QString::fromUtf8(name));
    };

    // Nothing stored yet: first the loading placeholders, then the empty pages.
    shot("transcript-history-loading.png");
    wait(600);
    shot("transcript-history-empty.png");
    window.setSelectedSection(SidebarSection::statistics);
    shot("transcript-statistics-loading.png");
    wait(600);
    shot("transcript-statistics-empty.png");

    // The file page: empty, a drag over it, a file chosen, transcribing, the result, an error.
    window.setSelectedSection(SidebarSection::file);
    shot("transcript-file-empty.png");
    auto* file = page<parloquin::FileTranscriptionView>(window);
    if (!file) return false;
    const std::filesystem::path tone = std::filesystem::path(PARLOQUIN_SOURCE_DIR) / "tests/fixtures/audio/long440.m4a";
    QMimeData drag;
    drag.setUrls({QUrl::fromLocalFile(QString::fromStdString(tone.string()))});
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &drag, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(file->dropZone(), &enter);
    shot("transcript-file-dragging.png");
    QDragLeaveEvent leave;
    QApplication::sendEvent(file->dropZone(), &leave);
    chooser->open = tone;
    file->selectFile();
    shot("transcript-file-chosen.png");
    recognizer->hold = true;
    file->transcribe();
    waitFor([&] { return service.isProcessing(); });
    waitFor([&] { return file->progressText()->text().startsWith(QStringLiteral("3 von 10")); });
    shot("transcript-file-transcribing.png");
    // Away to the history and back while the file runs: the new page shows the same progress.
    window.setSelectedSection(SidebarSection::history);
    window.setSelectedSection(SidebarSection::file);
    file = page<parloquin::FileTranscriptionView>(window);
    if (!file) return false;
    shot("transcript-file-transcribing-returned.png");
    recognizer->hold = false;
    waitFor([&] { return file->transcriptionResult().has_value(); });
    shot("transcript-file-result.png");
    // A file cut off behind its index: the result says it is only part of the file.
    chooser->open = std::filesystem::path(PARLOQUIN_SOURCE_DIR) / "tests/fixtures/audio/cut440.m4a";
    file->selectFile();
    file->transcribe();
    waitFor([&] { return file->transcriptionResult().has_value(); });
    shot("transcript-file-cut-short.png");
    const std::filesystem::path broken = storeFolder / "aufnahme.wav";
    std::ofstream(broken) << "RIFF, but nothing of a wave file";
    chooser->open = broken;
    file->selectFile();
    file->transcribe();
    waitFor([&] { return file->errorMessage().has_value(); });
    shot("transcript-file-error.png");

    // A history of twenty and totals of a few weeks, in stores of their own.
    platform::UserDefaults filled(storeFolder / "transcript-filled.json");
    filled.registerDefaults(parloquin::AppDelegate::registeredDefaults());
    const platform::Date now = platform::Date::now();
    storeStatistics(filled, fewWeeksOfUse(now));
    parloquin::HistoryManager history(filled);
    history.setRecords(twentyRecords(now));
    parloquin::StatisticsManager statistics(filled);
    parloquin::PageContext filledContext = context;
    filledContext.historyManager = &history;
    filledContext.statisticsManager = &statistics;
    filledContext.defaults = &filled;
    window.hide();
    parloquin::MainWindowView full(filledContext, SidebarSection::history);
    full.resize(900, 700);
    full.show();
    auto fullShot = [&](const char* name) {
        wait(200);
        ok &= save(full.grab(), QString::fromUtf8(name));
    };
    auto* list = page<parloquin::HistoryView>(full);
    if (!list) return false;
    fullShot("transcript-history-filled.png");
    if (!list->visibleRows().empty()) list->visibleRows().front()->setHovered(true);
    fullShot("transcript-history-hover.png");
    list->visibleRows().front()->setHovered(false);
    list->searchField()->setText(QStringLiteral("termin"));
    fullShot("transcript-history-search.png");
    list->searchField()->setText(QString());
    list->setLanguageFilter("en");
    fullShot("transcript-history-filter.png");
    list->setLanguageFilter(std::nullopt);
    list->searchField()->setText(QStringLiteral("Quittung"));
    fullShot("transcript-history-no-results.png");
    list->searchField()->setText(QString());
    filled.setBool("privacyModeEnabled", true);
    fullShot("transcript-history-privacy.png");
    filled.setBool("privacyModeEnabled", false);

    list->showDetail(history.records().front());
    ok &= save(sheet(list->detailSheet()), QStringLiteral("transcript-history-detail.png"));
    list->detailSheet()->close();
    list->showDetail(history.records()[19]);
    ok &= save(sheet(list->detailSheet()), QStringLiteral("transcript-history-detail-short.png"));
    list->detailSheet()->close();
    list->showExportOptions();
    ok &= save(sheet(list->exportSheet()), QStringLiteral("transcript-history-export.png"));
    chooser->save = storeFolder / "parloquin-history.json";
    list->exportSheet()->exportJSON();
    ok &= save(sheet(list->exportSheet()), QStringLiteral("transcript-history-export-done.png"));
    chooser->save = broken / "parloquin-history.csv";  // a file where the folder should be
    list->exportSheet()->exportCSV();
    ok &= save(sheet(list->exportSheet()), QStringLiteral("transcript-history-export-failed.png"));
    list->exportSheet()->close();

    full.setSelectedSection(SidebarSection::statistics);
    fullShot("transcript-statistics-filled.png");
    auto* totals = page<parloquin::StatisticsView>(full);
    if (!totals) return false;
    totals->verticalScrollBar()->setValue(totals->verticalScrollBar()->maximum() / 2);
    fullShot("transcript-statistics-filled-middle.png");
    totals->verticalScrollBar()->setValue(totals->verticalScrollBar()->maximum());
    fullShot("transcript-statistics-filled-end.png");
    filled.setBool("privacyModeEnabled", true);
    totals->verticalScrollBar()->setValue(0);
    fullShot("transcript-statistics-privacy.png");
    totals->showExportOptions();
    chooser->save = storeFolder / "parloquin-statistics.txt";
    totals->exportSheet()->exportText();
    ok &= save(sheet(totals->exportSheet()), QStringLiteral("transcript-statistics-export.png"));
    totals->exportSheet()->close();
    full.hide();
    return ok;
}

}  // namespace parloquin_test
