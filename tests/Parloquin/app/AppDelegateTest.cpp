// The shell with a fixture recogniser, fake microphones and hotkeys, and notifications received
// by a service of the test's own.
#include <gtest/gtest.h>

#include <QKeySequence>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QAbstractButton>
#include <QLabel>
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>
#include <thread>
#include <atomic>
#include <chrono>

#include "Parloquin/app/AppDelegate.h"
#include "Parloquin/services/AppVersion.h"
#include "Parloquin/services/HistoryManager.h"
#include "Parloquin/services/ModelFolder.h"
#include "Parloquin/services/StatisticsManager.h"
#include "Parloquin/views/OtherSettings.h"
#include "Parloquin/views/ContentAreaView.h"
#include "Parloquin/views/OtherSettingsView.h"
#include "Platform/audio/AVAudioError.h"
#include "Platform/log/LogCapture.h"
#include "Platform/ml/MLModelError.h"
#include "Platform/net/URLError.h"
#include "RarivOredu/asr/AsrModelsError.h"
#include "RarivOredu/shared/ModelFolderError.h"
#include "RarivOredu/shared/ModelLoadProgress.h"
#include "RarivOredu/shared/ModelStorageError.h"
#include "tests/Parloquin/app/AppHarness.h"
#include "tests/support/MacOSTerms.h"

namespace {

using parloquin::AppDelegate;
using parloquin::RecordingState;
using parloquin::StatusImage;
using parloquin::TranscriptionRecord;
using parloquin_test::AppHarness;
using parloquin_test::drainEventLoop;
using parloquin_test::HotKeyRegistration;
using parloquin_test::waitUntil;
using Titles = std::vector<std::string>;

TranscriptionRecord record(int index, double secondsAgo, std::string text, platform::Date now) {
    TranscriptionRecord r;
    r.text = std::move(text);
    r.timestamp = now.addingTimeInterval(-secondsAgo);
    r.duration = 2.0 + index;
    r.charCount = std::int64_t(r.text.size());
    r.wordCount = 1;
    return r;
}

// Stores n records, newest first, one minute apart, the newest five minutes old.
void storeRecords(AppHarness& harness, int n) {
    parloquin::HistoryManager history(harness.store.defaults());
    std::vector<TranscriptionRecord> records;
    for (int i = 0; i < n; ++i)
        records.push_back(record(i, 300 + 60 * i, "Eintrag " + std::to_string(i + 1), harness.clock->now()));
    history.setRecords(records);
    ASSERT_TRUE(history.saveHistory());
}

class AppDelegateTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(harness.notificationsStarted) << "no private session bus"; }
    AppHarness harness;
};

TEST_F(AppDelegateTest, LaunchRegistersTheDefaultsWithoutWritingThem) {
    harness.store.defaults().setBool("hasShownFirstLaunchExplanation", true);
    harness.launch();
    auto& defaults = harness.store.defaults();
    using Value = platform::UserDefaults::Value;
    const std::vector<std::pair<std::string, Value>> expected = {
        {"autoSendText", false},
        {"privacyModeEnabled", false},
        {"automaticUpdates", true},
        {"showDockIcon", false},
        {"launchAtLogin", false},
        {"recordingOverlayStyle", std::string("default")},
        {"showRecordingTimer", false},
        {"shareAnalytics", false},
        {"spokenFormattingCommandsEnabled", true},
        {"showFloatingDictationControl", true},
        {"primaryHotkey", std::string("⇧⌘Space")},
        {"primaryHotkeyKeyCode", std::int64_t(49)},
        {"primaryHotkeyModifiers", std::int64_t(768)},
        {"primaryHotkeyIsSingleKey", false},
        {"recordingMode", std::string("auto")},
        {"cancelHotkey", std::string("Escape")},
        {"hotkeyFeedback", true},
        {"hasShownAccessibilityGuidance", false},
    };
    EXPECT_EQ(AppDelegate::registeredDefaults().size(), 19u);
    for (const auto& [key, value] : expected) EXPECT_EQ(defaults.object(key), value) << key;
    // A new user's hotkey is Strg+Alt+Leertaste; this one ran Parloquin before (the store has a
    // file) and keeps the earlier default, stored for them.
    EXPECT_EQ(AppDelegate::registeredDefaults().at("primaryHotkey"), Value(std::string("⌃⌥Space")));
    EXPECT_EQ(AppDelegate::registeredDefaults().at("primaryHotkeyModifiers"), Value(std::int64_t(0x1800)));
    // The store holds only what was set by hand, and what the launch wrote on purpose.
    platform::UserDefaults reread(defaults.storePath());
    EXPECT_EQ(reread.object("autoSendText"), std::nullopt);
    EXPECT_EQ(reread.object("primaryHotkey"), Value(std::string("⇧⌘Space")));
    EXPECT_EQ(reread.object("pasteInPlaceMode"), Value(false));
}

TEST_F(AppDelegateTest, StatusMenuHasItsEntriesInOrder) {
    AppDelegate& delegate = harness.launch();
    ASSERT_TRUE(delegate.statusItem());
    EXPECT_EQ(delegate.statusItem()->toolTip(), QStringLiteral(" Parloquin"));
    EXPECT_EQ(delegate.statusItem()->contextMenu(), delegate.statusMenu());
    EXPECT_EQ(AppHarness::titles(delegate.statusMenu()),
              (Titles{"Parloquin - Bereit", "---", "Aufnahme starten (Umschalt+Super+Leertaste)", "Letzte Transkriptionen",
                      "Statistiken...", "---", "Einstellungen...", "Über Parloquin", "---", "Parloquin beenden"}));
    const auto actions = delegate.statusMenu()->actions();
    EXPECT_FALSE(actions[0]->isEnabled());
    EXPECT_EQ(actions[2], delegate.dictationMenuItem());
    EXPECT_TRUE(actions[3]->menu());
    EXPECT_EQ(actions[6]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Comma));
    EXPECT_EQ(actions[9]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
}

TEST_F(AppDelegateTest, BeforeTheModelsAreLoadedTheSubmenuSaysSo) {
    harness.initializer = [] () -> std::shared_ptr<parloquin::SpeechRecognizer> {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        throw std::runtime_error("no models");
    };
    harness.delegate = std::make_unique<AppDelegate>(harness.environment());
    harness.delegate->applicationDidFinishLaunching();
    EXPECT_EQ(AppHarness::titles(harness.recentTranscriptionsMenu()), (Titles{"Wird geladen..."}));
    EXPECT_FALSE(harness.recentTranscriptionsMenu()->actions()[0]->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return !harness.notifications.received.empty(); }));
}

TEST_F(AppDelegateTest, WelcomeAlertOnlyOnTheFirstLaunch) {
    struct Case {
        std::string name;
        bool shownBefore;
        int response;
        bool alertShown;
        bool windowAsked;
    };
    const int first = parloquin::alertFirstButtonReturn;
    const std::vector<Case> cases = {
        {"first launch, Loslegen", false, first, true, false},
        {"first launch, Einstellungen öffnen", false, first + 1, true, true},
        {"later launch", true, first, false, false},
    };
    for (const auto& c : cases) {
        AppHarness harness;
        if (c.shownBefore) harness.store.defaults().setBool("hasShownFirstLaunchExplanation", true);
        harness.alerts->response = c.response;
        harness.launch();
        const auto welcomes = std::count_if(harness.alerts->shown.begin(), harness.alerts->shown.end(),
                                            [](const parloquin::Alert& a) { return a.messageText == "Willkommen bei Parloquin!"; });
        EXPECT_EQ(welcomes, c.alertShown ? 1 : 0) << c.name;
        EXPECT_TRUE(harness.store.defaults().boolForKey("hasShownFirstLaunchExplanation")) << c.name;
        if (c.windowAsked) waitUntil([&] { return harness.delegate->mainWindow() != nullptr; });
        EXPECT_EQ(harness.delegate->mainWindow() != nullptr, c.windowAsked) << c.name;
        if (c.windowAsked) {
            EXPECT_TRUE(harness.delegate->mainWindow()->isVisible()) << c.name;
            EXPECT_EQ(harness.delegate->mainWindow()->selectedSection(), parloquin::SidebarSection::general);
        }
        if (c.alertShown) {
            const auto& alert = harness.alerts->shown.front();
            EXPECT_EQ(alert.style, parloquin::AlertStyle::informational);
            EXPECT_EQ(alert.buttons, (std::vector<std::string>{"Loslegen", "Einstellungen öffnen"}));
            EXPECT_EQ(alert.informativeText.rfind("Parloquin bietet zwei Aufnahmemodi:\n\n🎯 Umschaltmodus", 0), 0u);
            // What the modes need is said as it is on Linux: an X11 session, no permission to grant.
            EXPECT_EQ(testsupport::macOSTermsIn(alert.informativeText), std::vector<std::string>{}) << c.name;
            EXPECT_NE(alert.informativeText.find("X11-Sitzung mit XInput 2"), std::string::npos);
        }
    }
}

// The about dialog and the page "Sonstiges" give the one version the build has.
TEST_F(AppDelegateTest, TheAboutDialogShowsTheBuildsVersion) {
    AppDelegate& delegate = harness.launch();
    harness.alerts->shown.clear();
    delegate.showAbout();
    ASSERT_EQ(harness.alerts->shown.size(), 1u);
    const std::string& text = harness.alerts->shown.front().informativeText;
    EXPECT_EQ(text.substr(0, text.find('\n')), "Version " + parloquin::AppVersion::bundle().text());
    EXPECT_EQ(parloquin::AppVersion::bundle().appVersion(), PARLOQUIN_PROJECT_VERSION);
}

TEST_F(AppDelegateTest, ReadyLaunchRegistersTheHotkeyAndShowsTheButton) {
    storeRecords(harness, 2);
    // The notification says what the models take on disk.
    const std::filesystem::path models = parloquin::ModelFolder::path() / "Models";
    std::filesystem::create_directories(models);
    std::ofstream(models / "model.pt").close();
    std::filesystem::resize_file(models / "model.pt", 3'200'000);
    AppDelegate& delegate = harness.launch();
    ASSERT_TRUE(delegate.isInitialized());
    EXPECT_EQ(harness.summaries(), (std::vector<std::string>{"Parloquin bereit!"}));
    const auto& ready = harness.notifications.received.front();
    EXPECT_EQ(ready.body.toStdString(),
              "Drücke Umschalt+Super+Leertaste überall, um eine Aufnahme zu starten.\nModelle: Geladen (3 MB "
              "zwischengespeichert)\nTastenkürzel: Umschalt+Super+Leertaste registriert");
    EXPECT_EQ(ready.hints.value("sound-name").toString(), "message-new-instant");
    EXPECT_EQ(delegate.statusMenu()->actions()[0]->text(), "Parloquin - Bereit");
    EXPECT_EQ(harness.desktop.target->registered, (std::set<HotKeyRegistration>{{49, 768}}));

    ASSERT_TRUE(delegate.floatingControlWindow());
    QWidget* button = AppHarness::visibleWindow("FloatingDictationControlWindow");
    ASSERT_TRUE(button);
    EXPECT_EQ(button->geometry(), parloquin::FloatingDictationControlWindow::frame(
                                      QGuiApplication::primaryScreen()->availableGeometry()));
    // The stored records are listed at once, not after the first dictation.
    EXPECT_EQ(AppHarness::titles(harness.recentTranscriptionsMenu()),
              (Titles{"vor 5 Minuten: Eintrag 1...", "vor 6 Minuten: Eintrag 2...", "---",
                      "Gesamten Verlauf anzeigen..."}));
}

TEST_F(AppDelegateTest, ReadyNotificationSaysWhichShortcutReallyWorks) {
    struct Case {
        std::string name;
        std::string display;
        std::int64_t keyCode, modifiers;
        bool singleKey;
        bool refused;        // the desktop refuses every hot key
        bool accessibility;  // granted
        std::string lastLine;
        std::string firstLine;
    };
    const std::vector<Case> cases = {
        {"combination", "⌃⌥D", 2, 6144, false, false, true, "Tastenkürzel: Strg+Alt+D registriert",
         "Drücke Strg+Alt+D überall, um eine Aufnahme zu starten."},
        {"combination refused", "⌃⌥D", 2, 6144, false, true, true,
         "Tastenkürzel: Strg+Alt+D nicht registriert (ein anderes Programm belegt es, oder die Sitzung erlaubt es "
         "nicht)",
         "Starte eine Aufnahme über das Menü."},
        {"lone modifier on the tap", "⌥", 58, 2048, true, false, true, "Tastenkürzel: Alt registriert",
         "Halte Alt überall gedrückt, um aufzunehmen."},
        {"fallback", "⌥", 58, 2048, true, false, false,
         "Tastenkürzel: Umschalt+Super+Leertaste registriert (Ersatz für Alt, braucht X11 mit XInput 2)",
         "Drücke Umschalt+Super+Leertaste überall, um eine Aufnahme zu starten."},
        {"fallback refused", "⌥", 58, 2048, true, true, false,
         "Tastenkürzel: Alt nicht registriert (ein anderes Programm belegt es, oder die Sitzung erlaubt es nicht)",
         "Starte eine Aufnahme über das Menü."},
    };
    for (const auto& c : cases) {
        AppHarness harness;
        auto& defaults = harness.store.defaults();
        defaults.setString("primaryHotkey", c.display);
        defaults.setInteger("primaryHotkeyKeyCode", c.keyCode);
        defaults.setInteger("primaryHotkeyModifiers", c.modifiers);
        defaults.setBool("primaryHotkeyIsSingleKey", c.singleKey);
        if (c.refused) {
            harness.desktop.target->refused = {{std::uint32_t(c.keyCode), std::uint32_t(c.modifiers)}, {49, 768}};
        }
        harness.desktop.permissions->accessibility = c.accessibility;
        harness.launch();
        ASSERT_FALSE(harness.notifications.received.empty()) << c.name;
        const std::string body = harness.notifications.received.front().body.toStdString();
        EXPECT_EQ(body.substr(0, body.find('\n')), c.firstLine) << c.name;
        EXPECT_EQ(body.substr(body.rfind('\n') + 1), c.lastLine) << c.name;
    }
}

// The notification names what really went wrong, and blames the connection only where a
// download failed.
TEST(AppDelegateLaunchFailureTest, TheNotificationNamesTheRealCause) {
    struct Case {
        const char* name;
        std::function<void()> fail;
        std::string cause;
        bool connectionHint;
    };
    const std::vector<Case> cases{
        {"a damaged model, no fresh copy",
         [] {
             throw rarivoredu::ModelFolderError::refetchFailed(
                 "/m/parakeet", "Missing coremldata.bin in model: Encoder.mlmodelc",
                 platform::URLError::make(platform::URLError::cannotConnectToHost).what());
         },
         "Missing coremldata.bin in model: Encoder.mlmodelc — downloading a fresh copy failed: Could not connect "
         "to the server. The folder /m/parakeet was left as it was.",
         true},
        {"a model that does not load",
         [] {
             throw platform::MLModelError::ioError("Failed to load the TorchScript module /m/Encoder.mlmodelc/model.pt");
         },
         "Failed to load the TorchScript module /m/Encoder.mlmodelc/model.pt", false},
        {"a vocabulary that does not parse",
         [] { throw rarivoredu::AsrModelsError::loadingFailed("Vocabulary parsing failed"); },
         "Failed to load ASR models: Vocabulary parsing failed", false},
        {"a disk too small for the first setup",
         [] { throw rarivoredu::ModelStorageError::insufficientSpace("/home/u/.local/share/RarivOredu/Models",
                                                                     5'271'000'000, 1'200'000'000); },
         "Zu wenig freier Speicherplatz. Zum Herunterladen und Einrichten werden 5.27 GB benötigt, unter "
         "/home/u/.local/share/RarivOredu/Models sind nur 1.2 GB frei. Bitte schaffe Platz und starte Parloquin "
         "erneut.",
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AppHarness harness;
        ASSERT_TRUE(harness.notificationsStarted) << "no private session bus";
        harness.initializer = [&c]() -> std::shared_ptr<parloquin::SpeechRecognizer> {
            c.fail();
            return nullptr;
        };
        harness.launch();
        ASSERT_EQ(harness.summaries(), (std::vector<std::string>{"Parloquin konnte nicht gestartet werden"}));
        const std::string body = harness.notifications.received.front().body.toStdString();
        EXPECT_EQ(body.substr(0, body.find('\n')), "Die Sprachmodelle konnten nicht geladen werden: " + c.cause);
        EXPECT_EQ(body.find("Verbindung") != std::string::npos, c.connectionHint) << body;
    }
}

// A first start fetches and converts the models for minutes: the status line and the tooltip say
// how far it has come, and give way to the ready state once the models are loaded.
TEST_F(AppDelegateTest, TheModelsFirstSetupIsShownInTheStatusLineAndTheTooltip) {
    using rarivoredu::ModelLoadProgress;
    std::atomic<int> stage{0};  // the test moves the setup on
    auto waitForStage = [&stage](int wanted) {
        while (stage < wanted) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    };
    harness.initializer = [&, r = harness.recognizer] {
        ModelLoadProgress download;
        download.step = ModelLoadProgress::Step::download;
        download.fraction = 0.421;
        download.bytesDone = 1'057'000'000;
        download.bytesTotal = 2'510'000'000;
        ModelLoadProgress::report(download);
        waitForStage(1);
        ModelLoadProgress conversion;
        conversion.step = ModelLoadProgress::Step::import;
        conversion.fraction = 0.63;
        conversion.detail = "encoder";
        ModelLoadProgress::report(conversion);
        waitForStage(2);
        return std::shared_ptr<parloquin::SpeechRecognizer>(r);
    };
    harness.delegate = std::make_unique<AppDelegate>(harness.environment());
    AppDelegate& delegate = *harness.delegate;
    delegate.applicationDidFinishLaunching();
    auto statusLine = [&] { return delegate.statusMenu()->actions().first()->text().toStdString(); };
    auto toolTip = [&] { return delegate.statusItem()->toolTip().toStdString(); };

    struct Step {
        std::string statusLine;
        std::string toolTip;
    };
    const std::vector<Step> steps{
        {"Parloquin - Sprachmodell wird heruntergeladen: 42 %", " Parloquin\nSprachmodell wird heruntergeladen: 42 %"},
        {"Parloquin - Sprachmodell wird eingerichtet: 63 %", " Parloquin\nSprachmodell wird eingerichtet: 63 %"},
        {"Parloquin - Bereit", parloquin::TrayMenu::statusToolTip(StatusImage::menuBarIcon).toStdString()},
    };
    for (std::size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(steps[i].statusLine);
        EXPECT_TRUE(waitUntil([&] { return statusLine() == steps[i].statusLine; }, std::chrono::milliseconds(10000)))
            << statusLine();
        EXPECT_EQ(toolTip(), steps[i].toolTip);
        stage = static_cast<int>(i) + 1;
    }
    EXPECT_TRUE(waitUntil([&] { return !harness.notifications.received.empty(); }, std::chrono::milliseconds(10000)));
    EXPECT_EQ(harness.summaries(), (Titles{"Parloquin bereit!"}));
    EXPECT_FALSE(delegate.transcriptionService()->modelProgress());
}

TEST_F(AppDelegateTest, FailedModelLoadLeavesNoButtonAndOffersARetry) {
    struct Case {
        std::string name;
        int storedRecords;
        Titles recent;  // what the submenu lists after the failure
    };
    const std::vector<Case> cases = {
        {"no history", 0, {"Keine aktuellen Transkriptionen"}},
        {"with history", 2,
         {"vor 5 Minuten: Eintrag 1...", "vor 6 Minuten: Eintrag 2...", "---", "Gesamten Verlauf anzeigen..."}},
    };
    for (const Case& c : cases) {
        AppHarness harness;
        storeRecords(harness, c.storedRecords);
        harness.initializer = []() -> std::shared_ptr<parloquin::SpeechRecognizer> {
            throw platform::URLError::make(platform::URLError::cannotConnectToHost);
        };
        AppDelegate& delegate = harness.launch();
        EXPECT_FALSE(delegate.isInitialized()) << c.name;
        EXPECT_EQ(AppHarness::titles(delegate.statusMenu()),
                  (Titles{"Parloquin - Initialisierung fehlgeschlagen", "Erneut versuchen", "---",
                          "Aufnahme starten (Umschalt+Super+Leertaste)", "Letzte Transkriptionen", "Statistiken...", "---",
                          "Einstellungen...", "Über Parloquin", "---", "Parloquin beenden"}))
            << c.name;
        ASSERT_EQ(harness.summaries(), (std::vector<std::string>{"Parloquin konnte nicht gestartet werden"})) << c.name;
        EXPECT_EQ(harness.notifications.received.front().body,
                  QString::fromUtf8("Die Sprachmodelle konnten nicht geladen werden: Could not connect to the "
                                    "server.\nBitte prüfe die Verbindung und wähle „Erneut versuchen“ im Menü von "
                                    "Parloquin."));
        EXPECT_EQ(delegate.floatingControlWindow(), nullptr) << c.name;
        EXPECT_EQ(AppHarness::visibleWindow("FloatingDictationControlWindow"), nullptr) << c.name;
        // A start would do nothing: the item is off. The list no longer waits for the models.
        EXPECT_FALSE(delegate.dictationMenuItem()->isEnabled()) << c.name;
        EXPECT_EQ(AppHarness::titles(harness.recentTranscriptionsMenu()), c.recent) << c.name;
        // The stores are there all the same.
        EXPECT_TRUE(delegate.historyManager()) << c.name;
        EXPECT_TRUE(delegate.statisticsManager()) << c.name;
        // The hotkey stays taken, and a press says what to do instead of typing into a window.
        EXPECT_EQ(harness.desktop.target->registered, (std::set<HotKeyRegistration>{{49, 768}})) << c.name;
        harness.desktop.target->fire(platform::kEventHotKeyPressed);
        delegate.toggleDictation();
        ASSERT_TRUE(waitUntil([&] { return harness.notifications.received.size() == 3; })) << c.name;
        for (std::size_t i = 1; i < 3; ++i) {
            EXPECT_EQ(harness.notifications.received[i].summary, "Parloquin konnte nicht gestartet werden");
            EXPECT_EQ(harness.notifications.received[i].body.toStdString(),
                      "Ohne Sprachmodelle ist keine Aufnahme möglich. Wähle „Erneut versuchen“ im Menü von Parloquin.");
        }
        EXPECT_FALSE(delegate.transcriptionService()->isRecording()) << c.name;
    }
}

// A first start that failed (no network, say) is tried again in place, from the tray menu or from
// the model card of the page "Sonstiges"; once it succeeds, the shell is as after a good start.
TEST_F(AppDelegateTest, AFailedStartIsTriedAgainFromTheMenuAndFromTheModelCard) {
    std::atomic<int> attempts{0};
    harness.initializer = [&attempts, r = harness.recognizer]() -> std::shared_ptr<parloquin::SpeechRecognizer> {
        if (++attempts < 3) throw platform::URLError::make(platform::URLError::cannotConnectToHost);
        return r;
    };
    harness.store.defaults().setBool("hasShownFirstLaunchExplanation", true);
    AppDelegate& delegate = harness.launch();
    ASSERT_EQ(harness.summaries(), (Titles{"Parloquin konnte nicht gestartet werden"}));
    QMenu* menu = delegate.statusMenu();
    ASSERT_EQ(menu->actions().value(1), delegate.retryMenuItem());

    // From the menu: the setup runs again, and fails again.
    delegate.retryMenuItem()->trigger();
    EXPECT_FALSE(menu->actions().contains(delegate.retryMenuItem())) << "one retry at a time";
    EXPECT_EQ(menu->actions()[0]->text(), "Parloquin - Wird geladen...");
    EXPECT_EQ(AppHarness::titles(harness.recentTranscriptionsMenu()), (Titles{"Wird geladen..."}));
    ASSERT_TRUE(waitUntil([&] { return harness.notifications.received.size() == 2; }));
    EXPECT_EQ(attempts, 2);
    EXPECT_EQ(harness.summaries().back(), "Parloquin konnte nicht gestartet werden");
    EXPECT_EQ(menu->actions().value(1), delegate.retryMenuItem());
    const QList<QAction*> entries = menu->actions();
    EXPECT_EQ(std::count(entries.begin(), entries.end(), delegate.retryMenuItem()), 1);

    // From the model card: it offers the retry only while the start has failed.
    delegate.openMainWindow(parloquin::SidebarSection::other);
    ASSERT_TRUE(delegate.mainWindow());
    parloquin::OtherSettingsView* page = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        return (page = dynamic_cast<parloquin::OtherSettingsView*>(delegate.mainWindow()->contentArea()->page()));
    }));
    EXPECT_FALSE(page->retryButton()->isHidden());
    EXPECT_FALSE(page->modelFailureLabel()->isHidden());
    page->retryButton()->click();
    EXPECT_TRUE(page->retryButton()->isHidden());
    ASSERT_TRUE(waitUntil([&] { return harness.notifications.received.size() == 3; }));
    EXPECT_EQ(attempts, 3);
    EXPECT_EQ(harness.summaries().back(), "Parloquin bereit!");
    EXPECT_TRUE(delegate.isInitialized());
    EXPECT_FALSE(menu->actions().contains(delegate.retryMenuItem()));
    EXPECT_EQ(menu->actions()[0]->text(), "Parloquin - Bereit");
    EXPECT_TRUE(delegate.dictationMenuItem()->isEnabled());
    EXPECT_EQ(delegate.dictationMenuItem()->text(), "Aufnahme starten (Umschalt+Super+Leertaste)");
    EXPECT_TRUE(page->retryButton()->isHidden());
    EXPECT_TRUE(delegate.floatingControlWindow());
    harness.desktop.target->fire(platform::kEventHotKeyPressed);
    drainEventLoop();
    EXPECT_TRUE(delegate.transcriptionService()->isRecording());
    delegate.cancelDictation();
    harness.waitForIdle();
}

// The hotkey is the desktop's from the start, not only once the models are ready: during the first
// setup a press (or the start item, reached by its shortcut) answers with how far the setup has
// come, and the start item is off and says the same.
TEST_F(AppDelegateTest, TheHotkeyIsTakenAtStartAndAStartBeforeTheModelsAreReadyIsAnswered) {
    using rarivoredu::ModelLoadProgress;
    // The setup ends with the test, also with one that failed half-way.
    auto finish = std::make_shared<std::atomic<bool>>(false);
    struct Release {
        std::shared_ptr<std::atomic<bool>> flag;
        ~Release() { *flag = true; }
    } release{finish};
    harness.initializer = [finish, r = harness.recognizer] {
        ModelLoadProgress conversion;
        conversion.step = ModelLoadProgress::Step::import;
        conversion.fraction = 0.42;
        conversion.detail = "encoder";
        ModelLoadProgress::report(conversion);
        while (!*finish) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return std::shared_ptr<parloquin::SpeechRecognizer>(r);
    };
    harness.store.defaults().setBool("hasShownFirstLaunchExplanation", true);
    harness.delegate = std::make_unique<AppDelegate>(harness.environment());
    AppDelegate& delegate = *harness.delegate;
    delegate.applicationDidFinishLaunching();
    EXPECT_FALSE(delegate.dictationMenuItem()->isEnabled());
    EXPECT_EQ(delegate.dictationMenuItem()->text().toStdString(), "Sprachmodelle werden geladen …");

    auto& target = *harness.desktop.target;
    EXPECT_TRUE(waitUntil([&] { return target.registered == std::set<HotKeyRegistration>{{49, 768}}; }))
        << "the hotkey waits for the models";
    const std::string waiting = "Sprachmodell wird eingerichtet: 42 % …";
    EXPECT_TRUE(waitUntil([&] { return delegate.dictationMenuItem()->text().toStdString() == waiting; }))
        << delegate.dictationMenuItem()->text().toStdString();
    EXPECT_FALSE(delegate.dictationMenuItem()->isEnabled());

    target.fire(platform::kEventHotKeyPressed);
    target.fire(platform::kEventHotKeyReleased);
    delegate.toggleDictation();
    // The command line's start is answered too; its stop has nothing to stop.
    delegate.handleCommand(parloquin::DictationCommand::start);
    delegate.handleCommand(parloquin::DictationCommand::stop);
    ASSERT_TRUE(waitUntil([&] { return harness.notifications.received.size() == 3; })) << "a start is never silent";
    for (const auto& answer : harness.notifications.received) {
        EXPECT_EQ(answer.summary, "Parloquin ist noch nicht bereit");
        EXPECT_EQ(answer.body.toStdString(), waiting + "\nAufnahmen sind möglich, sobald die Sprachmodelle bereit sind.");
    }
    EXPECT_FALSE(delegate.transcriptionService()->isRecording());

    *finish = true;
    ASSERT_TRUE(waitUntil([&] { return harness.notifications.received.size() == 4; }));
    EXPECT_EQ(harness.summaries().back(), "Parloquin bereit!");
    EXPECT_EQ(harness.notifications.received.back().body.toStdString().substr(
                  harness.notifications.received.back().body.toStdString().rfind('\n') + 1),
              "Tastenkürzel: Umschalt+Super+Leertaste registriert");
    EXPECT_TRUE(delegate.dictationMenuItem()->isEnabled());
    EXPECT_EQ(delegate.dictationMenuItem()->text(), "Aufnahme starten (Umschalt+Super+Leertaste)");
    target.fire(platform::kEventHotKeyPressed);
    drainEventLoop();
    EXPECT_TRUE(delegate.transcriptionService()->isRecording());
    delegate.cancelDictation();
    harness.waitForIdle();
}

// "Parloquin beenden" ends the event loop whatever the main window does on close: minimising
// (the task bar entry is kept, or there is no tray and the window is the way back) or hiding.
TEST_F(AppDelegateTest, QuitEndsTheProgramWhateverTheWindowPolicy) {
    struct Case {
        const char* name;
        bool tray;
        bool taskbarEntry;
    };
    const Case cases[] = {
        {"tray, task bar entry kept", true, true},
        {"no tray", false, false},
        {"tray, window open", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AppHarness harness;
        harness.store.defaults().setBool("hasShownFirstLaunchExplanation", true);
        harness.store.defaults().setBool("showDockIcon", c.taskbarEntry);
        harness.systemTrayAvailable = [tray = c.tray] { return tray; };
        AppDelegate& delegate = harness.launch();
        if (c.tray && !c.taskbarEntry) delegate.openSettings();
        ASSERT_TRUE(waitUntil([&] { return delegate.mainWindow() && delegate.mainWindow()->isVisible(); }));
        EXPECT_EQ(delegate.mainWindow()->minimizesOnClose(), c.taskbarEntry || !c.tray);

        QTimer::singleShot(0, &delegate, [&delegate] { delegate.quit(); });
        QTimer giveUp;  // what a quit that was refused leaves: the loop runs on
        giveUp.setSingleShot(true);
        QObject::connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        giveUp.start(5000);
        EXPECT_EQ(QCoreApplication::exec(), 0) << "the program ran on";
    }
}

// The microphone does not start after "Parloquin bereit!": the user hears why, and the shell is
// back at rest with a status line that tells the truth.
TEST_F(AppDelegateTest, ADictationThatCannotStartIsReported) {
    struct Case {
        std::string name;
        bool hasInput;
        std::optional<platform::NSError> startError;
        std::string body;
    };
    const std::vector<Case> cases = {
        {"no input device", false, std::nullopt,
         "Kein Mikrofon erreichbar. Prüfe, ob ein Mikrofon angeschlossen ist und der Audiodienst läuft."},
        {"capture refused", true,
         platform::AVAudioError::make(platform::AVAudioError::captureFailed, "Access denied"),
         "Der Audiodienst hat die Aufnahme abgelehnt."},
    };
    for (const Case& c : cases) {
        AppHarness harness;
        storeRecords(harness, 1);
        if (!c.hasInput) harness.hardware->setInputs({}, std::nullopt);
        harness.hardware->setCapture({48000, 480, c.startError, {}});
        AppDelegate& delegate = harness.launch();
        ASSERT_EQ(harness.summaries(), (std::vector<std::string>{"Parloquin bereit!"})) << c.name;

        delegate.toggleDictation();
        ASSERT_TRUE(waitUntil([&] { return harness.notifications.received.size() == 2; })) << c.name;
        EXPECT_EQ(harness.summaries().back(), "Aufnahme nicht möglich") << c.name;
        EXPECT_EQ(harness.notifications.received.back().body.toStdString(), c.body) << c.name;
        ASSERT_TRUE(harness.waitForIdle()) << c.name;
        parloquin_test::drainEventLoop();
        EXPECT_EQ(delegate.statusImage(), parloquin::StatusImage::menuBarIcon) << c.name;
        EXPECT_EQ(delegate.statusMenu()->actions()[0]->text(), "Parloquin - 1 Transkription") << c.name;
        EXPECT_TRUE(waitUntil([] { return AppHarness::visibleWindow("RecordingOverlayWindow") == nullptr; }))
            << c.name;
        EXPECT_TRUE(delegate.dictationMenuItem()->isEnabled()) << c.name;
    }
}

TEST_F(AppDelegateTest, AnUnreadableSettingsFileIsReportedAtLaunch) {
    harness.store.reopenOver("{\"autoSendText\": tru");
    harness.store.defaults().setBool("pasteInPlaceMode", false);
    const auto problem = harness.store.defaults().loadProblem();
    ASSERT_TRUE(problem);
    harness.launch();
    ASSERT_FALSE(harness.notifications.received.empty());
    EXPECT_EQ(harness.notifications.received.front().summary, QString::fromUtf8("Einstellungen zurückgesetzt"));
    EXPECT_EQ(harness.notifications.received.front().body.toStdString(),
              "Die gespeicherten Einstellungen konnten nicht gelesen werden. Parloquin startet mit den "
              "Standardeinstellungen; die alte Datei liegt unter " +
                  problem->setAsidePath.string() + ".");
}

// A full (or read-only) settings folder: the dictations are kept in memory, the user hears of it
// once, with the folder and the cause, and what waited in memory is in the file after the quit.
TEST_F(AppDelegateTest, ASettingsFolderThatCannotBeWrittenIsToldOnceAndLosesNothing) {
    harness.recognizer->setText("Ein Satz, der nicht verloren geht.");
    harness.hardware->setCapture({96000, 480, std::nullopt, {}});
    AppDelegate& delegate = harness.launch();
    ASSERT_TRUE(delegate.isInitialized());
    harness.store.writer().failAt = testsupport::FaultyFileWriter::Step::rename;
    harness.store.writer().errorCode = ENOSPC;
    for (int dictation = 0; dictation < 2; ++dictation) {
        delegate.dictationMenuItem()->trigger();
        ASSERT_TRUE(waitUntil([&] { return delegate.transcriptionService()->recordedSamples().size() >= 16000; }));
        delegate.dictationMenuItem()->trigger();
        ASSERT_TRUE(harness.waitForIdle());
    }
    delegate.historyManager()->flush();
    ASSERT_TRUE(waitUntil([&] {
        const auto texts = harness.summaries();
        return std::count(texts.begin(), texts.end(), "Einstellungen nicht gespeichert") > 0;
    }));
    drainEventLoop();
    std::vector<std::string> bodies;
    for (const auto& n : harness.notifications.received)
        if (n.summary == QStringLiteral("Einstellungen nicht gespeichert")) bodies.push_back(n.body.toStdString());
    ASSERT_EQ(bodies.size(), 1u);
    EXPECT_EQ(bodies[0], "Parloquin kann nicht in " + harness.store.defaults().storePath().parent_path().string() +
                             " speichern. Der Datenträger ist voll. Einstellungen, Verlauf und Statistiken bleiben "
                             "erhalten und werden beim nächsten Speichern und beim Beenden erneut geschrieben; "
                             "schaffe Platz oder gib den Ordner frei.");
    EXPECT_EQ(delegate.historyManager()->records().size(), 2u);

    // Space is freed, then Parloquin quits.
    harness.store.writer().failAt = testsupport::FaultyFileWriter::Step::none;
    harness.delegate.reset();
    harness.store.open();
    EXPECT_EQ(parloquin::HistoryManager(harness.store.defaults()).records().size(), 2u);
    EXPECT_EQ(parloquin::StatisticsManager(harness.store.defaults()).statistics().totalRecordings, 2);
}

TEST_F(AppDelegateTest, StatusLineAndSubmenuByNumberOfRecords) {
    struct Case {
        int records;
        std::string status;
        Titles submenu;
    };
    const std::vector<Case> cases = {
        {0, "Parloquin - Bereit", {"Keine aktuellen Transkriptionen"}},
        {1, "Parloquin - 1 Transkription", {"vor 5 Minuten: Eintrag 1...", "---", "Gesamten Verlauf anzeigen..."}},
        {5,
         "Parloquin - 5 Transkriptionen",
         {"vor 5 Minuten: Eintrag 1...", "vor 6 Minuten: Eintrag 2...", "vor 7 Minuten: Eintrag 3...",
          "vor 8 Minuten: Eintrag 4...", "vor 9 Minuten: Eintrag 5...", "---", "Gesamten Verlauf anzeigen..."}},
        {6,
         "Parloquin - 5 letzte (6 gesamt)",
         {"vor 5 Minuten: Eintrag 1...", "vor 6 Minuten: Eintrag 2...", "vor 7 Minuten: Eintrag 3...",
          "vor 8 Minuten: Eintrag 4...", "vor 9 Minuten: Eintrag 5...", "---", "Gesamten Verlauf anzeigen..."}},
    };
    for (const auto& c : cases) {
        AppHarness harness;
        storeRecords(harness, c.records);
        AppDelegate& delegate = harness.launch();
        delegate.handleStateChange(RecordingState::idle);
        ASSERT_TRUE(waitUntil([&] { return delegate.statusMenu()->actions()[0]->text().toStdString() == c.status; }))
            << c.records << ": " << delegate.statusMenu()->actions()[0]->text().toStdString();
        EXPECT_EQ(AppHarness::titles(harness.recentTranscriptionsMenu()), c.submenu) << c.records;
    }
}

TEST_F(AppDelegateTest, RelativeTimesAreWorkedOutWhenTheMenuOpens) {
    storeRecords(harness, 2);
    AppDelegate& delegate = harness.launch();
    EXPECT_EQ(AppHarness::titles(harness.recentTranscriptionsMenu()).front(), "vor 5 Minuten: Eintrag 1...");

    harness.clock->set(harness.clock->now().addingTimeInterval(2 * 3600));
    emit delegate.statusMenu()->aboutToShow();
    EXPECT_EQ(AppHarness::titles(harness.recentTranscriptionsMenu()),
              (Titles{"vor 2 Stunden: Eintrag 1...", "vor 2 Stunden: Eintrag 2...", "---",
                      "Gesamten Verlauf anzeigen..."}));

    // A record deleted elsewhere is gone from the menu the next time it opens.
    delegate.historyManager()->deleteRecord(delegate.historyManager()->records().front().id);
    emit delegate.statusMenu()->aboutToShow();
    EXPECT_EQ(AppHarness::titles(harness.recentTranscriptionsMenu()),
              (Titles{"vor 2 Stunden: Eintrag 2...", "---", "Gesamten Verlauf anzeigen..."}));
}

TEST_F(AppDelegateTest, CopyingARecordPutsAllOfItOnTheClipboard) {
    std::string text;  // 150 characters, with the sign that marks a menu mnemonic
    for (int i = 0; i < 12; ++i) text += "Wort & Satz ";
    text += "Ende. ";
    ASSERT_EQ(text.size(), 150u);
    {
        parloquin::HistoryManager history(harness.store.defaults());
        history.setRecords({record(0, 30, text, harness.clock->now())});
        ASSERT_TRUE(history.saveHistory());
    }
    AppDelegate& delegate = harness.launch();
    QMenu* recent = harness.recentTranscriptionsMenu();
    ASSERT_TRUE(recent);
    QAction* item = recent->actions().front();
    EXPECT_EQ(item->text().toStdString(), "vor 30 Sekunden: Wort && Satz Wort && Satz Wort &&...");

    platform::NSPasteboard::general()->setString("vorher");
    item->trigger();
    EXPECT_EQ(platform::NSPasteboard::general()->string(), text);
    ASSERT_TRUE(waitUntil([&] { return harness.notifications.received.size() == 2; }));
    const auto& copied = harness.notifications.received.back();
    EXPECT_EQ(copied.summary, "In Zwischenablage kopiert");
    EXPECT_EQ(copied.body.toStdString(), text.substr(0, 100) + "...");

    // An item whose record is gone, or that carries no identifier, does nothing.
    platform::NSPasteboard::general()->setString("unberührt");
    delegate.historyManager()->deleteRecord(delegate.historyManager()->records().front().id);
    item->trigger();
    QAction stray(QStringLiteral("stray"));
    stray.setData(QStringLiteral("kein Bezeichner"));
    delegate.copyTranscription(&stray);
    drainEventLoop();
    EXPECT_EQ(platform::NSPasteboard::general()->string(), "unberührt");
    EXPECT_EQ(harness.notifications.received.size(), 2u);
}

// A clipboard that does not take the text (another program keeps it) is no copy.
TEST_F(AppDelegateTest, ACopyTheClipboardRefusesIsNotReportedAsCopied) {
    class RefusingClipboard : public platform::NSPasteboard {
    public:
        void clearContents() override {}
        bool setString(const std::string&) override { return false; }
        std::optional<std::string> string() const override { return contents; }
        std::string contents = "vorher";
    };
    storeRecords(harness, 1);
    auto clipboard = std::make_shared<RefusingClipboard>();
    parloquin::AppEnvironment environment = harness.environment();
    environment.pasteboard = clipboard;
    harness.delegate = std::make_unique<AppDelegate>(environment);
    harness.delegate->applicationDidFinishLaunching();
    ASSERT_TRUE(waitUntil([&] { return harness.notifications.received.size() == 1; }, std::chrono::seconds(20)));
    drainEventLoop();

    harness.recentTranscriptionsMenu()->actions().front()->trigger();
    ASSERT_TRUE(waitUntil([&] { return harness.notifications.received.size() == 2; }));
    EXPECT_EQ(harness.summaries().back(), "Text nicht kopiert");
    EXPECT_EQ(harness.notifications.received.back().body.toStdString(),
              "Die Zwischenablage hat den Text nicht angenommen.");
    EXPECT_EQ(clipboard->contents, "vorher");
}

TEST_F(AppDelegateTest, StartItemFollowsTheStoredHotkeyAtOnce) {
    AppDelegate& delegate = harness.launch();
    harness.store.defaults().setString("primaryHotkey", "⌥");
    ASSERT_TRUE(waitUntil([&] { return delegate.dictationMenuItem()->text() == QString::fromUtf8("Aufnahme starten (Alt)"); }));
    // Nothing stored: the default of a new user.
    harness.store.defaults().removeObject("primaryHotkey");
    ASSERT_TRUE(waitUntil([&] { return delegate.dictationMenuItem()->text() == QString::fromUtf8("Aufnahme starten (Strg+Alt+Leertaste)"); }));
}

TEST_F(AppDelegateTest, OneDictationFromTheMenu) {
    harness.recognizer->setText("Das ist ein diktierter Satz aus dem Menü.");
    harness.hardware->setCapture({96000, 480, std::nullopt, {}});  // two seconds at 48 kHz
    AppDelegate& delegate = harness.launch();
    ASSERT_TRUE(delegate.isInitialized());
    platform::NSPasteboard::general()->setString("vorher");
    QWidget* button = AppHarness::visibleWindow("FloatingDictationControlWindow");
    ASSERT_TRUE(button);

    std::vector<StatusImage> images;
    std::vector<std::string> lines;
    std::vector<std::string> toolTips;
    auto note = [&] {
        if (images.empty() || images.back() != delegate.statusImage()) {
            images.push_back(delegate.statusImage());
            lines.push_back(delegate.statusMenu()->actions()[0]->text().toStdString());
            toolTips.push_back(delegate.statusItem()->toolTip().toStdString());
        }
    };

    delegate.dictationMenuItem()->trigger();
    EXPECT_TRUE(delegate.transcriptionService()->isRecording());
    ASSERT_TRUE(waitUntil([&] {
        note();
        return delegate.statusImage() == StatusImage::recording;
    }));
    EXPECT_TRUE(AppHarness::visibleWindow("RecordingOverlayWindow"));
    EXPECT_EQ(delegate.floatingControlWindow()->view()->toolTip(), "Aufnahme stoppen");
    EXPECT_EQ(delegate.dictationMenuItem()->text(), QString::fromUtf8("Aufnahme starten (Umschalt+Super+Leertaste)"));

    // The fake microphone delivers more than a second; then the menu stops the recording.
    ASSERT_TRUE(waitUntil([&] { return delegate.transcriptionService()->recordedSamples().size() >= 16000; }));
    delegate.dictationMenuItem()->trigger();
    ASSERT_TRUE(waitUntil([&] {
        note();
        return delegate.statusImage() == StatusImage::menuBarIcon && !delegate.transcriptionService()->isProcessing();
    }));
    ASSERT_TRUE(waitUntil([] { return AppHarness::visibleWindow("RecordingOverlayWindow") == nullptr; }));

    EXPECT_EQ(images, (std::vector<StatusImage>{StatusImage::menuBarIcon, StatusImage::recording,
                                                StatusImage::processing, StatusImage::menuBarIcon}));
    EXPECT_EQ(lines, (std::vector<std::string>{"Parloquin - Bereit", "Parloquin - Aufnahme...",
                                               "Parloquin - Verarbeitung...", "Parloquin - 1 Transkription"}));
    EXPECT_EQ(toolTips, (std::vector<std::string>{" Parloquin", " Parloquin\nAufnahme", " Parloquin\nVerarbeitung",
                                                  " Parloquin"}));
    EXPECT_EQ(platform::NSPasteboard::general()->string(), "Das ist ein diktierter Satz aus dem Menü.");
    EXPECT_EQ(AppHarness::titles(harness.recentTranscriptionsMenu()),
              (Titles{"in 0 Sekunden: Das ist ein diktierter Satz au...", "---", "Gesamten Verlauf anzeigen..."}));
    EXPECT_EQ(delegate.floatingControlWindow()->view()->toolTip(), "Aufnahme starten");
}

TEST_F(AppDelegateTest, HotkeyPressAndReleaseReachTheService) {
    struct Case {
        std::string mode;
        bool singleKey;
        bool recordingAfterPress;
        bool recordingAfterRelease;
        bool recordingAfterSecondPress;
    };
    const std::vector<Case> cases = {
        {"hold", false, true, false, true},
        {"toggle", false, true, true, false},
        {"toggle", true, true, true, false},
        {"auto", true, true, false, true},
        {"auto", false, true, true, false},
        {"irgendwas", true, true, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode + (c.singleKey ? " with a lone modifier" : " with a combination"));
        AppHarness harness;
        auto& defaults = harness.store.defaults();
        defaults.setString("recordingMode", c.mode);
        if (c.singleKey) {
            defaults.setString("primaryHotkey", "⌥");
            defaults.setInteger("primaryHotkeyKeyCode", 58);
            defaults.setInteger("primaryHotkeyModifiers", 2048);
            defaults.setBool("primaryHotkeyIsSingleKey", true);
        }
        AppDelegate& delegate = harness.launch();
        ASSERT_TRUE(delegate.isInitialized());
        auto& desktop = harness.desktop;
        auto press = [&] {
            if (c.singleKey)
                desktop.taps->send({platform::CGEventType::flagsChanged, 58, platform::kCGEventFlagMaskAlternate});
            else
                desktop.target->fire(platform::kEventHotKeyPressed);
            drainEventLoop();
        };
        auto release = [&] {
            if (c.singleKey)
                desktop.taps->send({platform::CGEventType::flagsChanged, 58, 0});
            else
                desktop.target->fire(platform::kEventHotKeyReleased);
            drainEventLoop();
        };
        auto* service = delegate.transcriptionService();
        press();
        EXPECT_EQ(service->isRecording(), c.recordingAfterPress);
        release();
        EXPECT_EQ(service->isRecording(), c.recordingAfterRelease);
        if (!service->isRecording()) {
            ASSERT_TRUE(harness.waitForIdle());
        }
        press();
        EXPECT_EQ(service->isRecording(), c.recordingAfterSecondPress);
        if (service->isRecording()) service->stopRecording();
        harness.waitForIdle();
    }
}

TEST_F(AppDelegateTest, FloatingButtonMovesOnlyWhenItsSettingChanges) {
    AppDelegate& delegate = harness.launch();
    auto* window = delegate.floatingControlWindow();
    ASSERT_TRUE(window && window->isVisible());
    const QPoint home = window->panel()->pos();
    auto& defaults = harness.store.defaults();

    // The user drags the button away; a dictation and other settings write the store.
    window->panel()->move(home - QPoint(300, 200));
    const QPoint moved = window->panel()->pos();
    defaults.setBool("autoSendText", true);
    delegate.historyManager()->addRecord(record(0, 1, "neu", harness.clock->now()));
    delegate.statisticsManager()->recordSession(3, 1, "de", 0.1, 0.2, 2.0);
    drainEventLoop();
    EXPECT_EQ(window->panel()->pos(), moved);
    EXPECT_TRUE(window->isVisible());

    struct Step {
        std::optional<platform::UserDefaults::Value> value;  // none: removed
        bool visible;
    };
    const std::vector<Step> steps = {
        {false, false},
        {true, true},           // back, and at home
        {false, false},
        {std::nullopt, true},   // removed: the registered default holds
        {false, false},
        {std::string("nein"), true},  // not a flag: shown
    };
    for (const auto& step : steps) {
        if (step.value)
            defaults.set("showFloatingDictationControl", *step.value);
        else
            defaults.removeObject("showFloatingDictationControl");
        ASSERT_TRUE(waitUntil([&] { return window->isVisible() == step.visible; }));
        if (step.visible) {
            EXPECT_EQ(window->panel()->pos(), home);
        }
    }
}

}  // namespace
