// The page "Sonstiges" as a person uses it: its links, its two sheets, the model folder, clearing
// the cache and saving the diagnostics report.
#include "Parloquin/views/OtherSettingsView.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <fstream>
#include <stdexcept>
#include <chrono>
#include <thread>
#include <atomic>

#include "Parloquin/services/TranscriptionService.h"
#include "Parloquin/views/OpenSourceLicensesView.h"
#include "Parloquin/views/StyledButton.h"
#include "Parloquin/views/SystemInfoView.h"
#include "Platform/log/Logger.h"
#include "Platform/system/HostFacts.h"
#include "tests/Parloquin/views/DesktopProgramFakes.h"
#include "tests/Parloquin/views/PageFixture.h"
#include "tests/Parloquin/views/TranscriptPageFakes.h"
#include "tests/Platform/desktop/EventLoopWait.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TemporaryDirectory.h"

namespace {

namespace fs = std::filesystem;
using parloquin::OtherSettingsView;
using parloquin_test::drainEventLoop;
using parloquin_test::waitUntil;

void file(const fs::path& path) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "x";
}

std::string read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class OtherSettingsViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        environment.set("HOME", home.path().string());
        environment.set("XDG_DATA_HOME", (home / ".local/share").string());
        environment.set("XDG_CACHE_HOME", (home / ".cache").string());
        parloquin::PageContext context = fixture.context();
        context.workspace = workspace;
        context.files = chooser;
        window.resize(720, 640);
        page = new OtherSettingsView(context, &window);
        page->resize(720, 640);
        window.show();
        drainEventLoop();
    }
    void click(const QString& text) {
        QAbstractButton* button = page->button(text);
        ASSERT_TRUE(button) << text.toStdString();
        page->ensureWidgetVisible(button);
        QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
        drainEventLoop();
    }
    QString labelFor(const QString& name) const {
        for (QLabel* label : page->findChildren<QLabel*>())
            if (label->accessibleName() == name) return label->text();
        return {};
    }

    testsupport::TemporaryDirectory home;
    testsupport::ScopedEnvironment environment;
    parloquin_test::PageFixture fixture;
    std::shared_ptr<parloquin_test::RecordingWorkspace> workspace =
        std::make_shared<parloquin_test::RecordingWorkspace>();
    std::shared_ptr<parloquin_test::FakeChooser> chooser = std::make_shared<parloquin_test::FakeChooser>();
    QWidget window;
    OtherSettingsView* page = nullptr;
};

TEST_F(OtherSettingsViewTest, LinksOpenTheirAddresses) {
    for (const char* title : {"Datenschutzrichtlinie lesen", "Allgemeine Geschäftsbedingungen", "Dokumentation",
                              "Fehler melden", "Funktion vorschlagen", "Support kontaktieren"})
        click(QString::fromUtf8(title));
    EXPECT_EQ(workspace->opened, (std::vector<std::string>{
                                     "https://parloquin.example/datenschutz",
                                     "https://parloquin.example/agb",
                                     "https://parloquin.example/support#faq",
                                     "https://parloquin.example/support#kontakt",
                                     "https://parloquin.example/support#kontakt",
                                     "mailto:support@parloquin.example",
                                 }));
}

TEST_F(OtherSettingsViewTest, BothNoticeRowsOpenTheSameSheet) {
    for (const char* title : {"Open-Source-Lizenzen", "Drittanbieter-Hinweise"}) {
        click(QString::fromUtf8(title));
        parloquin::OpenSourceLicensesView* sheet = page->openSourceLicensesSheet();
        ASSERT_TRUE(sheet) << title;
        EXPECT_TRUE(sheet->isVisible());
        EXPECT_EQ(sheet->windowTitle(), "Open-Source-Lizenzen");
        EXPECT_EQ(sheet->licenses().size(), parloquin::License::components().size());
        ASSERT_EQ(sheet->licenseButtons().size(), sheet->licenses().size());

        workspace->opened.clear();
        QTest::mouseClick(sheet->licenseButtons()[0], Qt::LeftButton);
        EXPECT_EQ(workspace->opened, std::vector<std::string>{sheet->licenses()[0].url});
        QTest::mouseClick(sheet->closeSymbolButton(), Qt::LeftButton);
        EXPECT_TRUE(waitUntil([&] { return !page->openSourceLicensesSheet(); })) << title;
    }
}

TEST_F(OtherSettingsViewTest, TheAboutCardAndTheSystemInformationShowThisMachine) {
    const platform::HostFacts host;
    EXPECT_EQ(labelFor("Linux").toStdString(), host.operatingSystemVersionString());
    EXPECT_EQ(labelFor("Chip").toStdString(), host.processorName());
    EXPECT_TRUE(labelFor("Version").endsWith(")"));

    click(QString::fromUtf8("Systeminformationen anzeigen"));
    parloquin::SystemInfoView* sheet = page->systemInfoSheet();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->windowTitle(), "Systeminformationen");
    for (const parloquin::SystemInfoRow& row : parloquin::SystemInfoView::rows(host.describe())) {
        if (row.label == "Betriebszeit") continue;  // may have turned meanwhile
        bool shown = false;
        for (QLabel* label : sheet->findChildren<QLabel*>())
            shown |= label->accessibleName() == QString::fromStdString(row.label) &&
                     label->text() == QString::fromStdString(row.value);
        EXPECT_TRUE(shown) << row.label;
    }
    QTest::mouseClick(sheet->closeButton(), Qt::LeftButton);
    EXPECT_TRUE(waitUntil([&] { return !page->systemInfoSheet(); }));
}

TEST_F(OtherSettingsViewTest, TheModelFolderIsShownWhereTheModelsLie) {
    const fs::path folder = home / ".local/share/RarivOredu";
    EXPECT_EQ(page->modelFolderLabel()->text(), "~/.local/share/RarivOredu/");
    ASSERT_FALSE(fs::exists(folder));
    click(QString::fromUtf8("Im Dateimanager anzeigen"));
    EXPECT_EQ(workspace->shownFolders, std::vector<fs::path>{folder});
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(page->toolStatus()->text(), QString::fromUtf8("Der Modellordner wird im Dateimanager geöffnet."));

    // No file manager: the page says so, with the folder, instead of a line on stderr.
    workspace->fileManagerInstalled = false;
    click(QString::fromUtf8("Im Dateimanager anzeigen"));
    EXPECT_TRUE(page->toolStatus()->isVisible());
    EXPECT_EQ(page->toolStatus()->text().toStdString(),
              "Kein Dateimanager konnte den Ordner öffnen. Die Modelle liegen unter " + folder.string() + ".");
}

TEST_F(OtherSettingsViewTest, TheCacheIsClearedOnlyWhenConfirmed) {
    const fs::path model = home / ".local/share/RarivOredu/Models/parakeet-tdt-0.6b-v3-coreml/Encoder.mlmodelc/w.bin";
    const fs::path temporary = home / ".local/share/RarivOredu/download.partial";
    const fs::path cached = home / ".cache/Parloquin/listing.json";
    for (const fs::path& path : {model, temporary, cached}) file(path);

    fixture.alerts->response = parloquin::alertFirstButtonReturn + 1;
    click(QString::fromUtf8("Cache leeren"));
    ASSERT_EQ(fixture.alerts->shown.size(), 1u);
    const parloquin::Alert& question = fixture.alerts->shown[0];
    EXPECT_EQ(question.messageText, "Cache leeren");
    EXPECT_EQ(question.informativeText,
              "Dies löscht temporäre Dateien und zwischengespeicherte Daten. Modelle werden nicht gelöscht. Die App "
              "muss möglicherweise einige Ressourcen erneut herunterladen.");
    EXPECT_EQ(question.buttons, (std::vector<std::string>{"Cache leeren", "Abbrechen"}));
    EXPECT_TRUE(question.destructive);
    EXPECT_TRUE(fs::exists(temporary));
    EXPECT_TRUE(fs::exists(cached));

    EXPECT_FALSE(page->toolStatus()->isVisible());

    fixture.alerts->response = parloquin::alertFirstButtonReturn;
    click(QString::fromUtf8("Cache leeren"));
    EXPECT_FALSE(fs::exists(temporary));
    EXPECT_FALSE(fs::exists(cached));
    EXPECT_TRUE(fs::exists(model));
    EXPECT_EQ(fixture.alerts->shown.size(), 2u);
    EXPECT_EQ(page->toolStatus()->text(), QString::fromUtf8("Cache geleert: 2 Einträge entfernt."));
    click(QString::fromUtf8("Cache leeren"));
    EXPECT_EQ(page->toolStatus()->text(), QString::fromUtf8("Der Cache war bereits leer."));
}

TEST_F(OtherSettingsViewTest, TheDiagnosticsReportIsSavedWhereChosenAndAFailureIsShown) {
    const QString button = QString::fromUtf8("Diagnoseprotokolle exportieren");
    click(button);  // cancelled
    ASSERT_EQ(chooser->savePanels.size(), 1u);
    EXPECT_EQ(chooser->savePanels[0].proposedName, "parloquin-diagnostics.log");
    EXPECT_EQ(chooser->savePanels[0].allowedType, (parloquin::FileType{"Text", {"log", "txt"}}));
    EXPECT_TRUE(fixture.alerts->shown.empty());

    chooser->save = home / "Berichte/parloquin-diagnostics.log";
    fs::create_directories(home / "Berichte");
    // What both logs said lately goes with the report.
    platform::Logger("com.parloquin", "TranscriptionService").log(platform::OSLogType::error, "Aufnahme 7 misslang");
    platform::Logger("com.rarivoredu", "AsrManager").log(platform::OSLogType::info, "Encoder window 3 of 4");
    click(button);
    const std::string report = read(*chooser->save);
    EXPECT_TRUE(report.starts_with("Parloquin Diagnosebericht\nErstellt: ")) << report;
    EXPECT_NE(report.find("\nLinux: " + platform::HostFacts().operatingSystemVersionString() + "\n"),
              std::string::npos);
    const auto log = report.find("\nPROTOKOLL (");
    ASSERT_NE(log, std::string::npos) << report;
    const auto first = report.find(" com.parloquin/TranscriptionService error: Aufnahme 7 misslang\n", log);
    const auto second = report.find(" com.rarivoredu/AsrManager info: Encoder window 3 of 4\n", log);
    EXPECT_NE(first, std::string::npos) << report;
    EXPECT_NE(second, std::string::npos) << report;
    EXPECT_LT(first, second) << "oldest first";
    EXPECT_TRUE(fixture.alerts->shown.empty());
    EXPECT_EQ(page->toolStatus()->text().toStdString(), "Diagnosebericht gespeichert: " + chooser->save->string());

    // A file where the folder should be: nothing written, and the user is told why.
    file(home / "Ablage");
    chooser->save = home / "Ablage/parloquin-diagnostics.log";
    click(button);
    ASSERT_EQ(fixture.alerts->shown.size(), 1u);
    EXPECT_EQ(fixture.alerts->shown[0].messageText, "Diagnoseprotokolle konnten nicht exportiert werden");
    EXPECT_NE(fixture.alerts->shown[0].informativeText.find("Ablage"), std::string::npos)
        << fixture.alerts->shown[0].informativeText;
    EXPECT_EQ(read(home / "Ablage"), "x");
}

// While a first start sets the models up, the model card says how far it has come; afterwards
// the card is as before.
TEST(OtherSettingsViewProgressTest, TheModelCardFollowsTheModelsSetup) {
    parloquin_test::PageFixture fixture;
    std::atomic<int> stage{0};
    auto initializer = [&stage]() -> std::shared_ptr<parloquin::SpeechRecognizer> {
        rarivoredu::ModelLoadProgress progress;
        progress.step = rarivoredu::ModelLoadProgress::Step::download;
        progress.fraction = 0.5;
        progress.bytesDone = 1'255'000'000;
        progress.bytesTotal = 2'510'000'000;
        rarivoredu::ModelLoadProgress::report(progress);
        while (stage == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        throw std::runtime_error("offline");
    };
    parloquin::TranscriptionEnvironment environment;
    environment.defaults = &fixture.store.defaults();
    parloquin::TranscriptionService service(initializer, environment);
    parloquin::PageContext context = fixture.context();
    context.transcriptionService = &service;
    QWidget window;
    auto* page = new OtherSettingsView(context, &window);
    window.show();
    drainEventLoop();
    EXPECT_FALSE(page->modelProgressBar()->isVisible());  // nothing is being set up yet

    bool done = false;
    service.initialize([&](std::exception_ptr) { done = true; });
    ASSERT_TRUE(waitUntil([&] { return page->modelProgressBar()->isVisible(); }));
    EXPECT_EQ(page->modelProgressBar()->value(), 50);
    EXPECT_EQ(page->modelProgressLabel()->text().toStdString(),
              "Sprachmodell wird heruntergeladen (50 %): 1.25 GB von 2.51 GB");
    stage = 1;
    ASSERT_TRUE(waitUntil([&] { return done; }));
    drainEventLoop();
    EXPECT_FALSE(page->modelProgressBar()->isVisible());
    EXPECT_FALSE(page->modelProgressLabel()->isVisible());
}

}  // namespace
