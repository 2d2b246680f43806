// The page "Datei" end to end with a fixture recogniser: the five formats chosen and dropped, the
// result card, the record in the history and the statistics, the button during a dictation,
// failures and silence, and what copy, insert and save do.
#include "Parloquin/views/FileTranscriptionView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDragEnterEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QProgressBar>
#include <QTest>
#include <QUrl>
#include <atomic>
#include <thread>

#include "Parloquin/views/ContentAreaView.h"
#include "Parloquin/views/DropZoneView.h"
#include "Parloquin/views/FileTranscription.h"
#include "Parloquin/views/InsertAtCursor.h"
#include "Parloquin/views/MainWindowView.h"
#include "Parloquin/views/StyledButton.h"
#include "Parloquin/views/TranscriptExportMenu.h"
#include "Platform/system/CancellationToken.h"
#include "Platform/system/Progress.h"
#include "tests/Parloquin/services/PasteFakes.h"
#include "tests/Parloquin/services/ServiceFixtures.h"
#include "tests/Parloquin/views/TranscriptPageFakes.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TemporaryDirectory.h"

namespace parloquin {
namespace {

using parloquin_test::drainEventLoop;
using parloquin_test::waitUntil;

std::filesystem::path audioFixture(const std::string& name) {
    return std::filesystem::path(PARLOQUIN_SOURCE_DIR) / "tests" / "fixtures" / "audio" / name;
}

QString shown(const QLabel* label) { return label->isVisibleTo(label->window()) ? label->text() : QString(); }

class FileTranscriptionViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        service = &harness.make();
        context.historyManager = &harness.history();
        context.statisticsManager = &harness.statistics();
        context.transcriptionService = service;
        context.defaults = &harness.store.defaults();
        context.alerts = harness.alerts;
        context.files = chooser;
        context.applicationFocus = focus;
        page = std::make_unique<FileTranscriptionView>(*service, context);
        page->resize(760, 900);
        page->show();
        drainEventLoop();
    }

    // A drop on the zone as the desktop delivers it: the drag enters, then lets go.
    bool drop(const std::filesystem::path& file) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(file.string()))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(page->dropZone(), &enter);
        if (!enter.isAccepted()) return false;
        EXPECT_TRUE(page->dropZone()->isDragging());
        QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(page->dropZone(), &dropped);
        EXPECT_FALSE(page->dropZone()->isDragging());
        return dropped.isAccepted();
    }

    void transcribeAndWait() {
        QTest::mouseClick(page->transcribeButton(), Qt::LeftButton);
        ASSERT_TRUE(waitUntil([&] { return !service->isProcessing() && (page->resultCard()->isVisibleTo(page.get()) ||
                                                                        page->errorLine()->isVisibleTo(page.get())); }));
    }

    QString errorShown() const {
        return page->errorLine()->isVisibleTo(page.get()) ? page->errorLine()->findChildren<QLabel*>().back()->text()
                                                          : QString();
    }

    parloquin_test::FakeDesktop desktop;
    parloquin_test::ServiceHarness harness;
    std::shared_ptr<parloquin_test::FakeChooser> chooser = std::make_shared<parloquin_test::FakeChooser>();
    std::shared_ptr<parloquin_test::FakeFocus> focus = std::make_shared<parloquin_test::FakeFocus>();
    TranscriptionService* service = nullptr;
    PageContext context;
    std::unique_ptr<FileTranscriptionView> page;
    testsupport::TemporaryDirectory folder;
};

TEST_F(FileTranscriptionViewTest, EveryFormatChosenOrDroppedIsTranscribedIntoTheCardHistoryAndStatistics) {
    const std::string text = harness.recognizer->text();
    int transcribed = 0;
    for (const char* format : {"wav", "mp3", "m4a", "aiff", "caf"}) {
        for (const bool dropped : {false, true}) {
            SCOPED_TRACE(std::string(format) + (dropped ? " dropped" : " chosen"));
            const auto file = audioFixture(std::string("long440.") + format);
            if (dropped) {
                ASSERT_TRUE(drop(file));
            } else {
                chooser->open = file;
                QTest::mouseClick(page->dropZone()->chooseButton(), Qt::LeftButton);
                EXPECT_EQ(chooser->openPanels.back().message, "Wähle eine Audiodatei zur Transkription");
                EXPECT_EQ(chooser->openPanels.back().allowedType, FileType::audio());
            }
            EXPECT_EQ(page->selectedFile(), file);
            EXPECT_FALSE(page->resultCard()->isVisibleTo(page.get())) << "a new file clears the result";
            EXPECT_EQ(page->fileCard()->findChildren<QLabel*>()[1]->text(),
                      QString::fromStdString(file.filename().string()));
            transcribeAndWait();
            ++transcribed;
            EXPECT_EQ(errorShown(), "");
            EXPECT_EQ(page->resultText()->text().toStdString(), text);
            // About 1.25 s at 16 kHz reached the recogniser.
            EXPECT_NEAR(double(harness.recognizer->calls().back().size()), 20000.0, 400.0);
            EXPECT_EQ(harness.history().records().size(), std::size_t(transcribed));
            EXPECT_EQ(harness.history().records().front().text, text);
            EXPECT_EQ(harness.statistics().statistics().totalRecordings, transcribed);
        }
    }
    const auto chips = FileTranscription::chips(*page->transcriptionResult());
    EXPECT_EQ(chips[0], (FileTranscription::Chip{"text.word.spacing", "9 Wörter"}));
    EXPECT_EQ(chips[1].text, "1.2s");
    ASSERT_EQ(chips.size(), 3u);
    EXPECT_EQ(chips[2].text.substr(0, 4), "RTF ");
}

TEST_F(FileTranscriptionViewTest, OnlyAudioFilesAreTakenFromADragAndOnlyTheFirst) {
    const auto notes = testsupport::writeFile(folder / "notes.txt", "not audio");
    EXPECT_FALSE(drop(notes));
    EXPECT_FALSE(page->dropZone()->isDragging());
    EXPECT_FALSE(page->selectedFile());

    // Known by its content where the name says nothing.
    const auto unnamed = folder / "aufnahme";
    std::filesystem::copy_file(audioFixture("long440.wav"), unnamed);
    EXPECT_TRUE(drop(unnamed));
    EXPECT_EQ(page->selectedFile(), unnamed);

    QMimeData two;
    two.setUrls({QUrl::fromLocalFile(QString::fromStdString(audioFixture("long440.mp3").string())),
                 QUrl::fromLocalFile(QString::fromStdString(audioFixture("long440.wav").string()))});
    EXPECT_EQ(FileTranscription::droppedAudioFile(two), audioFixture("long440.mp3"));
    QMimeData web;
    web.setUrls({QUrl("https://example.org/a.wav")});
    EXPECT_EQ(FileTranscription::droppedAudioFile(web), std::nullopt);
}

TEST_F(FileTranscriptionViewTest, TheButtonWaitsForADictationAndARunningFile) {
    chooser->open = audioFixture("long440.wav");
    page->selectFile();
    EXPECT_TRUE(page->transcribeButton()->isEnabled());

    service->startRecording();
    ASSERT_TRUE(service->isRecording());
    EXPECT_FALSE(page->transcribeButton()->isEnabled());
    // Should a start come anyway, the service's refusal is shown.
    page->transcribe();
    ASSERT_TRUE(waitUntil([&] { return !errorShown().isEmpty(); }));
    EXPECT_EQ(errorShown(), "Es läuft bereits eine Aufnahme oder Transkription");
    service->stopRecording();
    ASSERT_TRUE(harness.waitForIdle());
    drainEventLoop();
    EXPECT_TRUE(page->transcribeButton()->isEnabled());

    // While a file is transcribed the zone shows the progress and the page stays responsive.
    std::atomic<bool> held = true;
    harness.recognizer->during([&held] {
        while (held) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    });
    QTest::mouseClick(page->transcribeButton(), Qt::LeftButton);
    EXPECT_TRUE(errorShown().isEmpty()) << "a start clears the last error";
    ASSERT_TRUE(waitUntil([&] { return service->isProcessing(); }));
    EXPECT_TRUE(page->dropZone()->isProcessing());
    EXPECT_FALSE(page->transcribeButton()->isEnabled());
    page->resize(700, 800);  // events are still served
    drainEventLoop();
    held = false;
    ASSERT_TRUE(waitUntil([&] { return page->transcriptionResult().has_value(); }));
    EXPECT_FALSE(page->dropZone()->isProcessing());
    EXPECT_TRUE(page->transcribeButton()->isEnabled());
}

// A long file: its card shows the share of windows done and the time left, and its cancel button
// stops it before the next window; nothing is kept of it.
TEST_F(FileTranscriptionViewTest, ARunningFileShowsItsProgressAndCanBeCancelled) {
    chooser->open = audioFixture("long440.wav");
    page->selectFile();
    std::atomic<bool> go{false};
    harness.recognizer->during([&go] {
        while (!go) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        platform::Progress::report(0, 4);
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
        platform::Progress::report(1, 4);
        // The next window begins only when nobody has cancelled.
        while (!platform::CancellationToken::currentIsCancelled())
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        platform::CancellationToken::checkCancellation();
    });
    QTest::mouseClick(page->transcribeButton(), Qt::LeftButton);
    EXPECT_TRUE(page->progressRow()->isVisibleTo(page.get()));
    EXPECT_EQ(page->progressText()->text(), QString::fromUtf8("Die Datei wird gelesen und transkribiert…"));
    EXPECT_TRUE(page->cancelButton()->isVisibleTo(page.get()));
    EXPECT_FALSE(page->transcribeButton()->isVisibleTo(page.get()));
    go = true;

    ASSERT_TRUE(waitUntil([&] { return page->progressBar()->value() == 1; }));
    EXPECT_EQ(page->progressBar()->maximum(), 4);
    EXPECT_TRUE(page->progressText()->text().startsWith(QString::fromUtf8("1 von 4 Abschnitten fertig · noch etwa ")))
        << page->progressText()->text().toStdString();

    QTest::mouseClick(page->cancelButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !errorShown().isEmpty(); }));
    EXPECT_EQ(errorShown(), QString::fromUtf8(FileTranscription::cancelled));
    EXPECT_FALSE(page->progressRow()->isVisibleTo(page.get()));
    EXPECT_FALSE(page->cancelButton()->isVisibleTo(page.get()));
    EXPECT_TRUE(page->transcribeButton()->isVisibleTo(page.get()));
    EXPECT_TRUE(page->transcribeButton()->isEnabled());
    EXPECT_FALSE(page->resultCard()->isVisibleTo(page.get()));
    EXPECT_TRUE(harness.history().records().empty());
}

// The user goes to another section and back while a long file runs: the page built anew shows
// that file, how far it has come and the cancel button, follows it further, keeps no other file
// meanwhile, and shows how the file ends.
TEST_F(FileTranscriptionViewTest, APageBuiltWhileAFileRunsShowsItsProgressCancelAndOutcome) {
    page.reset();
    const auto file = audioFixture("long440.wav");
    for (const bool cancel : {true, false}) {
        SCOPED_TRACE(cancel ? "cancelled on the new page" : "finished on the new page");
        std::atomic<int> step{0};
        harness.recognizer->during([&step] {
            platform::Progress::report(0, 4);
            platform::Progress::report(1, 4);
            while (step < 1) std::this_thread::sleep_for(std::chrono::milliseconds(2));
            platform::Progress::report(2, 4);
            while (step < 2 && !platform::CancellationToken::currentIsCancelled())
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            platform::CancellationToken::checkCancellation();
        });
        MainWindowView window(context, SidebarSection::file);
        window.resize(900, 700);
        window.show();
        auto current = [&window] { return dynamic_cast<FileTranscriptionView*>(window.contentArea()->page()); };
        QPointer<FileTranscriptionView> first = current();
        ASSERT_TRUE(first);
        chooser->open = file;
        first->selectFile();
        QTest::mouseClick(first->transcribeButton(), Qt::LeftButton);
        ASSERT_TRUE(waitUntil([&] { return first->progressBar()->value() == 1; }));

        window.setSelectedSection(SidebarSection::history);
        window.setSelectedSection(SidebarSection::file);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_TRUE(first.isNull()) << "the page is built afresh";
        FileTranscriptionView* again = current();
        ASSERT_TRUE(again);
        EXPECT_EQ(again->selectedFile(), file);
        EXPECT_TRUE(again->fileCard()->isVisibleTo(again));
        EXPECT_EQ(again->fileCard()->findChildren<QLabel*>()[1]->text(), "long440.wav");
        EXPECT_TRUE(again->dropZone()->isProcessing());
        ASSERT_TRUE(again->progressRow()->isVisibleTo(again));
        EXPECT_EQ(again->progressBar()->maximum(), 4);
        EXPECT_EQ(again->progressBar()->value(), 1);
        EXPECT_TRUE(again->progressText()->text().startsWith(QString::fromUtf8("1 von 4 Abschnitten fertig · noch etwa ")))
            << again->progressText()->text().toStdString();
        EXPECT_TRUE(again->cancelButton()->isVisibleTo(again));
        EXPECT_TRUE(again->cancelButton()->isEnabled());
        EXPECT_FALSE(again->transcribeButton()->isVisibleTo(again));

        // Another file offered meanwhile is not taken: the card stays with the running one.
        QMimeData other;
        other.setUrls({QUrl::fromLocalFile(QString::fromStdString(audioFixture("long440.mp3").string()))});
        EXPECT_FALSE(again->handleDrop(other));
        EXPECT_EQ(again->selectedFile(), file);

        step = 1;
        ASSERT_TRUE(waitUntil([&] { return again->progressBar()->value() == 2; }));
        EXPECT_TRUE(again->progressText()->text().startsWith(QString::fromUtf8("2 von 4 Abschnitten fertig")));

        if (cancel) {
            QTest::mouseClick(again->cancelButton(), Qt::LeftButton);
            EXPECT_FALSE(again->cancelButton()->isEnabled()) << "one cancel is enough";
            ASSERT_TRUE(waitUntil([&] { return !service->isTranscribingFile(); }));
            drainEventLoop();
            ASSERT_TRUE(again->errorLine()->isVisibleTo(again));
            EXPECT_EQ(again->errorLine()->findChildren<QLabel*>().back()->text(),
                      QString::fromUtf8(FileTranscription::cancelled));
            EXPECT_FALSE(again->resultCard()->isVisibleTo(again));
            EXPECT_TRUE(harness.history().records().empty());
        } else {
            step = 2;
            ASSERT_TRUE(waitUntil([&] { return again->transcriptionResult().has_value(); }));
            EXPECT_TRUE(again->resultCard()->isVisibleTo(again));
            EXPECT_EQ(again->resultText()->text().toStdString(), harness.recognizer->text());
            EXPECT_FALSE(again->errorLine()->isVisibleTo(again));
            EXPECT_EQ(harness.history().records().size(), 1u);
        }
        EXPECT_FALSE(again->progressRow()->isVisibleTo(again));
        EXPECT_FALSE(again->cancelButton()->isVisibleTo(again));
        EXPECT_TRUE(again->transcribeButton()->isVisibleTo(again));
        EXPECT_TRUE(again->transcribeButton()->isEnabled());
    }
}

TEST(FileTranscriptionTextsTest, ProgressLines) {
    struct Case {
        std::int64_t done, count;
        double elapsed;
        std::string text;
    };
    const std::vector<Case> cases = {
        {0, 0, 3.0, "Die Datei wird gelesen und transkribiert…"},
        {0, 10, 3.0, "Abschnitt 1 von 10 · Restzeit wird geschätzt…"},
        {1, 4, 2.5, "1 von 4 Abschnitten fertig · noch etwa 8 s"},
        {2, 10, 30.0, "2 von 10 Abschnitten fertig · noch etwa 2 min"},
        {9, 10, 0.05, "9 von 10 Abschnitten fertig · noch etwa 1 s"},
        {4, 4, 9.0, "4 von 4 Abschnitten fertig"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FileTranscription::progressText(c.done, c.count, c.elapsed), c.text) << c.done << "/" << c.count;
}

// A file cut off behind its index states more than it holds: the result says so.
TEST_F(FileTranscriptionViewTest, AFileShorterThanItStatesSaysSoWithTheResult) {
    chooser->open = audioFixture("cut440.m4a");
    page->selectFile();
    transcribeAndWait();
    ASSERT_TRUE(page->transcriptionResult());
    ASSERT_TRUE(page->resultWarning()->isVisibleTo(page.get()));
    EXPECT_TRUE(page->resultWarning()->findChildren<QLabel*>().back()->text().startsWith(
        QString::fromUtf8("Die Datei endet vorzeitig: Nur 2.8 s von 6.0 s")));

    chooser->open = audioFixture("long440.m4a");
    page->selectFile();
    transcribeAndWait();
    EXPECT_FALSE(page->resultWarning()->isVisibleTo(page.get()));
}

TEST_F(FileTranscriptionViewTest, FailuresAndSilenceAreShownInTheServicesWords) {
    const auto broken = testsupport::writeFile(folder / "kaputt.wav", "RIFF, but nothing of a wave file");
    struct Case {
        const char* name;
        std::filesystem::path file;
        std::string recognised;
        QString error;
    };
    const std::vector<Case> cases = {
        {"a silent file", audioFixture("long440.wav"), "", QString::fromUtf8(FileTranscription::noSpeech)},
        {"a file under a second", audioFixture("tone440.mp3"), "x", "Audio zu kurz (min. 1 Sekunde)"},
        {"a broken file", broken, "x",
         QString::fromUtf8("Datei-Lesefehler: „kaputt.wav“ ist leer, beschädigt oder in keinem lesbaren Audioformat")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        harness.recognizer->setText(c.recognised);
        chooser->open = c.file;
        page->selectFile();
        transcribeAndWait();
        EXPECT_EQ(errorShown(), c.error);
        EXPECT_FALSE(page->resultCard()->isVisibleTo(page.get()));
    }
    EXPECT_TRUE(harness.history().records().empty()) << "nothing recognised, nothing kept";
}

TEST_F(FileTranscriptionViewTest, AFailureAfterASuccessLeavesTheResultBesideTheError) {
    chooser->open = audioFixture("long440.m4a");
    page->selectFile();
    transcribeAndWait();
    ASSERT_TRUE(page->transcriptionResult());
    harness.recognizer->failWith(std::make_exception_ptr(std::runtime_error("Recognizer stopped")));
    transcribeAndWait();
    EXPECT_EQ(errorShown(), "Recognizer stopped");
    EXPECT_TRUE(page->resultCard()->isVisibleTo(page.get()));
    EXPECT_EQ(page->resultText()->text().toStdString(), harness.recognizer->text());
}

TEST_F(FileTranscriptionViewTest, CopyAndSaveTheResult) {
    chooser->open = audioFixture("long440.wav");
    page->selectFile();
    transcribeAndWait();
    const std::string text = harness.recognizer->text();

    QTest::mouseClick(page->copyButton(), Qt::LeftButton);
    EXPECT_EQ(desktop.pasteboard->contents, text);
    EXPECT_TRUE(desktop.keyboard->events.empty()) << "copying pastes nothing";

    const QList<QAction*> items = page->exportButton()->items()->actions();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0]->text(), "Als Text (.txt)");
    EXPECT_EQ(items[1]->text(), "Als Untertitel (.srt)");
    EXPECT_EQ(items[2]->text(), "Als Rich Text (.rtf)");
    chooser->saves = {folder / "a.txt", folder / "a.srt", folder / "a.rtf"};
    for (QAction* item : items) item->trigger();
    const TranscriptionRecord& record = *page->transcriptionResult();
    EXPECT_EQ(testsupport::readBytes(folder / "a.txt"), text);
    EXPECT_EQ(testsupport::readBytes(folder / "a.srt"), record.toSRT());
    EXPECT_EQ(testsupport::readBytes(folder / "a.rtf").substr(0, 6), "{\\rtf1");
    for (const auto& panel : chooser->savePanels) EXPECT_EQ(panel.proposedName.rfind("transkription-", 0), 0u);
    EXPECT_TRUE(harness.alerts->shown.empty());
}

TEST_F(FileTranscriptionViewTest, InsertPastesWhereTheUserWorkedBeforeOrCopiesAndSaysSo) {
    chooser->open = audioFixture("long440.wav");
    page->selectFile();
    transcribeAndWait();
    const std::string text = harness.recognizer->text();
    struct Case {
        const char* name;
        bool accessibility;
        std::optional<platform::ApplicationFocus::WindowId> previous;
        bool takesFocus;
        bool pasted;
    };
    const std::vector<Case> cases = {
        {"the other window takes the keyboard", true, 0x2a00007, true, true},
        {"no synthetic keys on this desktop", false, 0x2a00007, true, false},
        {"no other window", true, std::nullopt, true, false},
        {"the focus never arrives", true, 0x2a00007, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        desktop.permissions->accessibility = c.accessibility;
        desktop.keyboard->events.clear();
        desktop.pasteboard->contents.reset();
        focus->previous = c.previous;
        focus->takesFocus = c.takesFocus;
        focus->focused.reset();
        page->showNormal();
        drainEventLoop();

        QTest::mouseClick(page->insertButton(), Qt::LeftButton);
        const auto limit = InsertAtCursor::focusWait + std::chrono::milliseconds(3000);
        ASSERT_TRUE(waitUntil([&] { return desktop.pasteboard->contents.has_value(); }, limit));
        drainEventLoop();
        EXPECT_EQ(desktop.pasteboard->contents, text);
        // The paste chord went out only once the other window had the keyboard.
        EXPECT_EQ(!desktop.keyboard->events.empty(), c.pasted);
        EXPECT_EQ(shown(page->resultNote()), c.pasted ? QString() : QString::fromUtf8(InsertAtCursor::copiedNote));
        EXPECT_EQ(page->isMinimized(), c.pasted) << "our window makes way only for a paste";
    }
    EXPECT_EQ(focus->activated.size(), 2u);
}

}  // namespace
}  // namespace parloquin
