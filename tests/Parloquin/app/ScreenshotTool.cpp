// Renders pictures of the shell for a person to look at (scripts/screenshots.sh):
//   parloquin_screenshots <folder>
//   parloquin_screenshots --wayland <folder>   only the hotkeys page as a Wayland session shows it,
//                                              also taken from the compositor's screen by grim
// The overlay and the floating button are drawn at twice their size over a plain backdrop; the
// welcome alert as it comes up at the first launch, and the alerts of a hotkey on the fallback;
// the main window as it is, on each page, and the sheets of the page "Sonstiges"; the open status
// menu (also while a first start sets the models up, with the tooltip, and after it failed) is
// taken from the X server with the tray it hangs from, so it needs a display with a system tray.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QMenu>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QScrollBar>
#include <QSystemTrayIcon>
#include <QToolTip>
#include <atomic>
#include <cstdio>
#include <string_view>
#include <thread>
#include <filesystem>
#include <memory>

#include "Parloquin/app/AppDelegate.h"
#include "Parloquin/app/FloatingDictationControlWindow.h"
#include "Parloquin/app/QtRecordingOverlayWindow.h"
#include "Parloquin/app/QtTranslations.h"
#include "Parloquin/app/MessageBoxAlertPresenter.h"
#include "Parloquin/services/PasteGuidance.h"
#include "Parloquin/services/HistoryManager.h"
#include "Parloquin/services/SpeechRecognizer.h"
#include "Parloquin/services/TranscriptionService.h"
#include "Parloquin/views/AudioSettingsView.h"
#include "Parloquin/views/ContentAreaView.h"
#include "Parloquin/views/GeneralSettingsView.h"
#include "Parloquin/views/HotkeysSettingsView.h"
#include "Parloquin/services/PasteHelper.h"
#include "Parloquin/views/MainWindowView.h"
#include "Parloquin/views/OpenSourceLicensesView.h"
#include "Parloquin/views/OtherSettingsView.h"
#include "Parloquin/views/SystemInfoView.h"
#include "Platform/desktop/SMAppService.h"
#include "Parloquin/hotkeys/HotkeyManager.h"
#include "Parloquin/hotkeys/UserDefaultsHotkeySettings.h"
#include "RarivOredu/shared/ModelLoadProgress.h"
#include "tests/Parloquin/app/TranscriptPagesScreenshots.h"
#include "tests/Parloquin/hotkeys/HotkeyFakes.h"

namespace {

constexpr qreal kScale = 2.0;

void wait(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

bool waitFor(const std::function<bool()>& condition, int milliseconds = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > milliseconds) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// The widget at twice its size over a desktop-like backdrop, as a compositing desktop shows it
// (without one, the window is cut to its shape instead).
QPixmap onBackdrop(QWidget* widget, int margin) {
    widget->clearMask();
    const QSize size = widget->size() + QSize(2 * margin, 2 * margin);
    QPixmap picture(size * kScale);
    picture.setDevicePixelRatio(kScale);
    QPainter painter(&picture);
    QLinearGradient backdrop(0, 0, size.width(), size.height());
    backdrop.setColorAt(0, QColor(84, 110, 146));
    backdrop.setColorAt(1, QColor(170, 190, 212));
    painter.fillRect(QRect(QPoint(), size), backdrop);
    widget->render(&painter, QPoint(margin, margin), QRegion(), QWidget::DrawChildren);
    return picture;
}

bool save(const QPixmap& picture, const QDir& folder, const QString& name) {
    const QString path = folder.filePath(name);
    if (!picture.save(path)) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

// The compositor's whole screen as it shows it now, through grim (Wayland compositors with the
// screencopy protocol, such as sway).
bool saveScreen(const QDir& folder, const QString& name) {
    const QString path = folder.filePath(name);
    QProcess grim;
    grim.start(QStringLiteral("grim"), {path});
    if (!grim.waitForFinished(20000) || grim.exitStatus() != QProcess::NormalExit || grim.exitCode() != 0) {
        std::fprintf(stderr, "grim could not take %s: %s\n", qPrintable(path), grim.readAllStandardError().constData());
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

class FixedText : public parloquin::SpeechRecognizer {
public:
    rarivoredu::ASRResult transcribe(std::span<const float> samples, rarivoredu::AudioSource) override {
        rarivoredu::ASRResult result;
        result.text = "Bitte schick mir die Unterlagen bis Freitag.";
        result.duration = double(samples.size()) / 16000.0;
        return result;
    }
};

bool overlayPicture(const QDir& folder) {
    float level = 0.6f;
    parloquin::QtRecordingOverlayWindow overlay([&] { return level; });
    auto* view = overlay.view();
    view->setJitter([] { return 0.0; });
    overlay.panel()->show();
    view->stopUpdating();
    for (float l : {1.0f, 0.1f, 1.0f, 0.0f, 0.9f, 0.2f, 1.0f, 0.05f, 0.8f, 0.3f, 1.0f}) {
        level = l;
        view->updateWaveform();
        wait(170);  // the bars move for 0.15 s
    }
    view->setElapsedTimeForDisplay(84.3);  // the dot at its brightest
    return save(onBackdrop(overlay.panel(), 20), folder, "overlay.png");
}

bool floatingButtonPictures(const QDir& folder) {
    parloquin::FloatingDictationControlWindow button({});
    button.orderFront();
    struct State {
        bool recording, processing;
        const char* name;
    };
    bool ok = true;
    for (const State& state : {State{false, false, "floating-button-idle.png"},
                               State{true, false, "floating-button-recording.png"},
                               State{false, true, "floating-button-processing.png"}}) {
        button.view()->setServiceState(state.recording, state.processing);
        ok &= save(onBackdrop(button.panel(), 20), folder, state.name);
    }
    button.orderOut();
    return ok;
}

// Draws the alerts it is asked to show instead of waiting for an answer.
class AlertPictures : public parloquin::AlertPresenter {
public:
    AlertPictures(QDir folder, QString name) : folder_(std::move(folder)), name_(std::move(name)) {}
    int runModal(const parloquin::Alert& alert) override {
        const std::unique_ptr<QMessageBox> box = parloquin::MessageBoxAlertPresenter::messageBox(alert);
        box->show();
        wait(300);
        ++count_;
        const QString name = count_ == 1 ? name_ + QStringLiteral(".png") : QStringLiteral("%1-%2.png").arg(name_).arg(count_);
        ok_ = save(box->grab(), folder_, name) && ok_;
        box->hide();
        return parloquin::alertFirstButtonReturn;
    }
    int count() const { return count_; }
    bool ok() const { return ok_; }

private:
    QDir folder_;
    QString name_;
    int count_ = 0;
    bool ok_ = true;
};

// The alert of the first launch, with its emoji and key symbols.
bool welcomeAlertPicture(const QDir& folder, const std::filesystem::path& storeFolder) {
    platform::UserDefaults defaults(storeFolder / "welcome.json");
    defaults.setBool("hasShownFirstLaunchExplanation", false);
    auto pictures = std::make_shared<AlertPictures>(folder, QStringLiteral("welcome-alert"));
    parloquin::AppEnvironment environment;
    environment.defaults = &defaults;
    environment.alerts = pictures;
    parloquin::AppDelegate delegate(std::move(environment));
    delegate.applicationDidFinishLaunching();
    if (!waitFor([&] { return pictures->count() > 0; })) {
        std::fprintf(stderr, "the welcome alert did not come up\n");
        return false;
    }
    return pictures->ok();
}

// The guidance when no way to paste works, as an X11 and a GNOME session show it.
bool pasteGuidancePictures(const QDir& folder) {
    bool ok = true;
    using Desktop = parloquin::PasteGuidance::Desktop;
    for (const auto& [desktop, name] : {std::pair{Desktop::x11, QStringLiteral("paste-guidance-x11")},
                                        std::pair{Desktop::gnome, QStringLiteral("paste-guidance-gnome")}}) {
        AlertPictures pictures(folder, name);
        pictures.runModal(parloquin::PasteGuidance::alert(desktop));
        ok = pictures.ok() && ok;
    }
    return ok;
}

// The alerts of a held-modifier hotkey the session cannot watch: with the fallback hot key, and
// with that refused as well.
bool hotkeyFallbackAlertPictures(const QDir& folder) {
    bool ok = true;
    for (const bool refused : {false, true}) {
        parloquin_test::MemorySettings settings;
        settings.integers["primaryHotkeyKeyCode"] = 58;
        settings.integers["primaryHotkeyModifiers"] = 2048;
        settings.bools["primaryHotkeyIsSingleKey"] = true;
        settings.strings["primaryHotkey"] = "⌥";
        parloquin_test::FakeHotkeyDesktop desktop;
        desktop.permissions->accessibility = false;
        desktop.permissions->inputMonitoring = false;
        if (refused) desktop.target->refused.insert({49, 768});
        auto pictures = std::make_shared<AlertPictures>(
            folder, refused ? QStringLiteral("hotkey-none-alert") : QStringLiteral("hotkey-fallback-alert"));
        parloquin::HotkeyEnvironment environment = desktop.environment();
        environment.alerts = pictures;
        parloquin::HotkeyManager manager(settings, environment);
        if (!waitFor([&] { return pictures->count() > 0; })) {
            std::fprintf(stderr, "the hotkey fallback alert did not come up\n");
            return false;
        }
        ok &= pictures->ok();
    }
    return ok;
}

// Qt's own file chooser, as the save panel shows it where the desktop offers none: in the user's
// language once Qt's translations are loaded.
bool fileChooserPicture(const QDir& folder, const std::filesystem::path& storeFolder) {
    const std::filesystem::path documents = storeFolder / "Dokumente";
    std::filesystem::create_directories(documents / "Aufnahmen");
    QFileDialog chooser(nullptr, QStringLiteral("Transkript speichern"), QString::fromStdString(documents.string()),
                        QStringLiteral("Text (*.txt)"));
    chooser.setOption(QFileDialog::DontUseNativeDialog);
    chooser.setAcceptMode(QFileDialog::AcceptSave);
    chooser.selectFile(QStringLiteral("Transkript.txt"));
    chooser.resize(640, 420);
    chooser.show();
    wait(300);
    const bool ok = save(chooser.grab(), folder, QStringLiteral("file-chooser.png"));
    chooser.hide();
    return ok;
}

// The shell with a few transcriptions, its menu opened under the tray icon with the recent
// transcriptions beside it, taken from the screen.
bool trayMenuPicture(const QDir& folder, const std::filesystem::path& storeFolder) {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        std::fprintf(stderr, "no system tray on this display: start one (trayer) first\n");
        return false;
    }
    platform::UserDefaults defaults(storeFolder / "defaults.json");
    defaults.setBool("hasShownFirstLaunchExplanation", true);
    defaults.setBool("showFloatingDictationControl", false);
    {
        parloquin::HistoryManager history(defaults);
        const platform::Date now = platform::Date::now();
        const char* texts[] = {"Bitte schick mir die Unterlagen bis Freitag.",
                               "Neue Zeile: Einkaufsliste für das Wochenende",
                               "Das Meeting verschiebt sich auf nächste Woche, gleiche Uhrzeit.",
                               "Danke für die schnelle Antwort!"};
        const double ago[] = {45, 7 * 60, 3 * 3600, 2 * 86400};
        std::vector<parloquin::TranscriptionRecord> records;
        for (int i = 0; i < 4; ++i) {
            parloquin::TranscriptionRecord record;
            record.text = texts[i];
            record.timestamp = now.addingTimeInterval(-ago[i]);
            record.duration = 3.0;
            records.push_back(record);
        }
        history.setRecords(records);
        history.saveHistory();
    }

    parloquin::AppEnvironment environment = parloquin::AppEnvironment::system();
    environment.defaults = &defaults;
    environment.makeTranscriptionService = [&defaults] {
        parloquin::TranscriptionEnvironment service;
        service.defaults = &defaults;
        return std::make_unique<parloquin::TranscriptionService>(
            [] { return std::shared_ptr<parloquin::SpeechRecognizer>(std::make_shared<FixedText>()); }, service);
    };
    // A plain desktop behind the tray and the menu.
    QWidget desktop(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
    desktop.setAttribute(Qt::WA_ShowWithoutActivating);
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(96, 122, 158));
    desktop.setPalette(palette);
    desktop.setAutoFillBackground(true);
    desktop.setGeometry(QGuiApplication::primaryScreen()->geometry());
    desktop.show();
    desktop.lower();

    parloquin::AppDelegate delegate(std::move(environment));
    delegate.applicationDidFinishLaunching();
    if (!waitFor([&] { return delegate.isInitialized() && !delegate.statusItem()->geometry().isEmpty(); })) {
        std::fprintf(stderr, "the shell did not come up in the tray\n");
        return false;
    }
    delegate.handleStateChange(parloquin::RecordingState::idle);
    wait(500);

    const QRect icon = delegate.statusItem()->geometry();
    QMenu* menu = delegate.statusMenu();
    menu->popup(QPoint(icon.right() - menu->sizeHint().width(), icon.bottom() + 2));
    waitFor([&] { return menu->isVisible(); });
    QMenu* recent = nullptr;
    QAction* recentItem = nullptr;
    for (QAction* action : menu->actions())
        if (action->menu()) recentItem = action, recent = action->menu();
    if (recent) {
        const QRect item = menu->actionGeometry(recentItem);
        recent->popup(menu->mapToGlobal(QPoint(-recent->sizeHint().width() + 2, item.top())));
        waitFor([&] { return recent->isVisible(); });
        menu->setActiveAction(recentItem);
    }
    wait(400);

    QRect area = menu->geometry().united(QRect(icon.topLeft() - QPoint(0, icon.top()), icon.size() + QSize(0, icon.top())));
    if (recent) area = area.united(recent->geometry());
    area = area.adjusted(-16, 0, 8, 16).intersected(QGuiApplication::primaryScreen()->geometry());
    area.setTop(0);
    const QPixmap picture = QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    if (recent) recent->hide();
    menu->hide();
    return save(picture, folder, "tray-menu.png");
}

// The audio page while its level test runs; the page "Sonstiges" at its end and its two sheets.
bool audioAndOtherPictures(parloquin::MainWindowView& window, const QDir& folder) {
    bool ok = true;
    window.setSelectedSection(parloquin::SidebarSection::audio);
    wait(150);
    if (auto* audio = dynamic_cast<parloquin::AudioSettingsView*>(window.contentArea()->page())) {
        audio->startTest();
        wait(800);
        ok &= save(window.grab(), folder, QStringLiteral("main-window-audio-test.png"));
        audio->stopTest();
        audio->verticalScrollBar()->setValue(audio->verticalScrollBar()->maximum());
        wait(150);
        ok &= save(window.grab(), folder, QStringLiteral("main-window-audio-end.png"));
    }
    window.setSelectedSection(parloquin::SidebarSection::other);
    wait(150);
    auto* other = dynamic_cast<parloquin::OtherSettingsView*>(window.contentArea()->page());
    if (!other) return false;
    other->verticalScrollBar()->setValue(other->verticalScrollBar()->maximum() / 2);
    wait(150);
    ok &= save(window.grab(), folder, QStringLiteral("main-window-other-middle.png"));
    other->verticalScrollBar()->setValue(other->verticalScrollBar()->maximum());
    wait(150);
    ok &= save(window.grab(), folder, QStringLiteral("main-window-other-end.png"));
    // The private session has no file manager: the page says so under its tools.
    other->showModelFolder();
    waitFor([other] { return other->toolStatus()->text().startsWith(QStringLiteral("Kein")); }, 5000);
    other->verticalScrollBar()->setValue(other->verticalScrollBar()->maximum());
    wait(150);
    ok &= save(window.grab(), folder, QStringLiteral("main-window-other-no-file-manager.png"));
    other->showSystemInfo();
    wait(300);
    if (QDialog* sheet = other->systemInfoSheet()) {
        ok &= save(sheet->grab(), folder, QStringLiteral("sheet-system-info.png"));
        sheet->close();
    }
    other->showOpenSourceLicenses();
    wait(300);
    if (QDialog* sheet = other->openSourceLicensesSheet()) {
        ok &= save(sheet->grab(), folder, QStringLiteral("sheet-open-source-licenses.png"));
        sheet->close();
    }
    wait(100);
    return ok;
}

// The main window on each of its pages, as the shell opens it; the general page also scrolled to
// its end and with the privacy banner showing.
bool mainWindowPictures(const QDir& folder, const std::filesystem::path& storeFolder) {
    platform::UserDefaults defaults(storeFolder / "window-defaults.json");
    defaults.registerDefaults(parloquin::AppDelegate::registeredDefaults());
    parloquin::PageContext context;
    context.defaults = &defaults;
    context.loginItem = std::make_shared<platform::SMAppService>(storeFolder / "autostart/parloquin.desktop",
                                                                 "/usr/bin/parloquin");
    parloquin::MainWindowView window(context, parloquin::SidebarSection::general);
    window.setWindowTitle(QStringLiteral("Parloquin"));
    window.resize(900, 600);
    window.show();
    wait(300);

    const std::pair<parloquin::SidebarSection, const char*> pages[] = {
        {parloquin::SidebarSection::general, "general"},     {parloquin::SidebarSection::file, "file"},
        {parloquin::SidebarSection::hotkeys, "hotkeys"},     {parloquin::SidebarSection::audio, "audio"},
        {parloquin::SidebarSection::statistics, "statistics"}, {parloquin::SidebarSection::history, "history"},
        {parloquin::SidebarSection::other, "other"},
    };
    bool ok = true;
    for (const auto& [section, name] : pages) {
        window.setSelectedSection(section);
        wait(150);
        ok &= save(window.grab(), folder, QStringLiteral("main-window-%1.png").arg(QLatin1String(name)));
    }

    window.setSelectedSection(parloquin::SidebarSection::general);
    defaults.setBool("privacyModeEnabled", true);
    defaults.setBool("postProcessingEnabled", false);
    wait(150);
    ok &= save(window.grab(), folder, QStringLiteral("main-window-general-privacy.png"));
    if (auto* page = dynamic_cast<parloquin::GeneralSettingsView*>(window.contentArea()->page())) {
        page->verticalScrollBar()->setValue(page->verticalScrollBar()->maximum());
        wait(150);
        ok &= save(window.grab(), folder, QStringLiteral("main-window-general-end.png"));
    }
    ok &= audioAndOtherPictures(window, folder);
    window.hide();
    return ok;
}

// The hotkeys page in its main states: a hotkey being recorded; a single key on a desktop that
// grants neither synthetic keys nor the session's key events; paste in place off; scrolled to its end.
bool hotkeysPagePictures(const QDir& folder, const std::filesystem::path& storeFolder) {
    struct NoGrants : platform::PermissionProbe {
        bool isAccessibilityTrusted(bool) override { return false; }
        bool canMonitorInput() override { return false; }
    };
    platform::UserDefaults defaults(storeFolder / "hotkeys-defaults.json");
    defaults.registerDefaults(parloquin::AppDelegate::registeredDefaults());
    parloquin::PageContext context;
    context.defaults = &defaults;
    parloquin::MainWindowView window(context, parloquin::SidebarSection::hotkeys);
    window.setWindowTitle(QStringLiteral("Parloquin"));
    window.resize(900, 600);
    window.show();
    wait(300);
    auto* page = dynamic_cast<parloquin::HotkeysSettingsView*>(window.contentArea()->page());
    if (!page) return false;

    bool ok = true;
    page->toggleRecording();
    wait(150);
    ok &= save(window.grab(), folder, QStringLiteral("main-window-hotkeys-recording.png"));
    page->toggleRecording();

    auto desktop = parloquin::PasteHelper::desktop();
    desktop.permissions = std::make_shared<NoGrants>();
    const auto before = parloquin::PasteHelper::setDesktop(desktop);
    page->applyPreset("⌥");
    page->refreshPermissions();
    wait(150);
    ok &= save(window.grab(), folder, QStringLiteral("main-window-hotkeys-single-key-no-grants.png"));
    page->ensureWidgetVisible(page->permissionWarnings(), 0, 200);
    wait(150);
    ok &= save(window.grab(), folder, QStringLiteral("main-window-hotkeys-paste-no-grants.png"));
    parloquin::PasteHelper::setDesktop(before);

    page->resetToDefaults();
    defaults.setBool("pasteInPlaceMode", false);
    page->ensureWidgetVisible(page->clipboardOnlyLine(), 0, 200);
    wait(150);
    ok &= save(window.grab(), folder, QStringLiteral("main-window-hotkeys-paste-off.png"));
    page->verticalScrollBar()->setValue(page->verticalScrollBar()->maximum());
    wait(150);
    ok &= save(window.grab(), folder, QStringLiteral("main-window-hotkeys-end.png"));
    window.hide();
    return ok;
}

// The hotkeys page as a Wayland session shows it: on sway without the GlobalShortcuts portal (the
// lines to bind, for hold to talk), and with the portal once the desktop has bound the keys.
// With fromScreen, the sway variant is also taken from the compositor's screen.
bool hotkeysWaylandPictures(const QDir& folder, const std::filesystem::path& storeFolder, bool fromScreen = false) {
    struct BoundByThePortal : parloquin::HotkeySource {
        parloquin::HotkeyRegistration registration() const override { return parloquin::HotkeyRegistration::portal; }
        std::string trigger() const override { return "Strg+Alt+Leertaste"; }
        std::string problem() const override { return {}; }
    };
    bool ok = true;
    for (bool portal : {false, true}) {
        platform::UserDefaults defaults(storeFolder / (portal ? "wayland-portal.json" : "wayland-sway.json"));
        defaults.registerDefaults(parloquin::AppDelegate::registeredDefaults());
        defaults.setString("recordingMode", portal ? "auto" : "hold");
        parloquin_test::FakeHotkeyDesktop desktop;
        parloquin::UserDefaultsHotkeySettings settings(defaults);
        parloquin::HotkeyEnvironment environment = desktop.environment();
        environment.waylandSession = true;
        if (portal)
            environment.desktopSource = [](const parloquin::HotkeyTriple&) -> std::unique_ptr<parloquin::HotkeySource> {
                return std::make_unique<BoundByThePortal>();
            };
        qputenv("XDG_CURRENT_DESKTOP", portal ? "KDE" : "sway");
        parloquin::HotkeyManager manager(settings, std::move(environment));
        parloquin::PageContext context;
        context.defaults = &defaults;
        context.hotkeyManager = &manager;
        parloquin::MainWindowView window(context, parloquin::SidebarSection::hotkeys);
        window.setWindowTitle(QStringLiteral("Parloquin"));
        window.resize(900, 600);
        window.show();
        wait(300);
        ok &= save(window.grab(), folder,
                   portal ? QStringLiteral("main-window-hotkeys-wayland-portal.png")
                          : QStringLiteral("main-window-hotkeys-wayland-sway.png"));
        if (fromScreen && !portal) {
            wait(700);  // the compositor has drawn the window's newest picture
            ok &= saveScreen(folder, QStringLiteral("screen-hotkeys-wayland-sway.png"));
        }
        window.hide();
        qunsetenv("XDG_CURRENT_DESKTOP");
    }
    return ok;
}

// A recogniser whose first setup stands still half way through the download until released.
struct SetupUnderWay {
    std::atomic<bool> released{false};

    parloquin::TranscriptionService::AsrInitializer initializer() {
        return [this]() -> std::shared_ptr<parloquin::SpeechRecognizer> {
            rarivoredu::ModelLoadProgress progress;
            progress.step = rarivoredu::ModelLoadProgress::Step::download;
            progress.fraction = 0.42;
            progress.bytesDone = 1'054'200'000;
            progress.bytesTotal = 2'510'000'000;
            rarivoredu::ModelLoadProgress::report(progress);
            while (!released) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            throw std::runtime_error("released");
        };
    }
};

// A first start fetching the models: the page "Sonstiges" at its model card, and the tray's status
// line and tooltip.
bool modelSetupPictures(const QDir& folder, const std::filesystem::path& storeFolder) {
    bool ok = true;
    {
        SetupUnderWay setup;
        platform::UserDefaults defaults(storeFolder / "setup-defaults.json");
        defaults.registerDefaults(parloquin::AppDelegate::registeredDefaults());
        parloquin::TranscriptionEnvironment environment;
        environment.defaults = &defaults;
        parloquin::TranscriptionService service(setup.initializer(), environment);
        service.initialize();
        waitFor([&] { return service.modelProgress().has_value(); });
        parloquin::PageContext context;
        context.defaults = &defaults;
        context.transcriptionService = &service;
        parloquin::MainWindowView window(context, parloquin::SidebarSection::other);
        window.setWindowTitle(QStringLiteral("Parloquin"));
        window.resize(900, 600);
        window.show();
        wait(300);
        if (auto* other = dynamic_cast<parloquin::OtherSettingsView*>(window.contentArea()->page())) {
            other->ensureWidgetVisible(other->modelFolderLabel(), 0, 160);
            wait(150);
            ok &= save(window.grab(), folder, QStringLiteral("main-window-other-model-setup.png"));
        } else {
            ok = false;
        }
        window.hide();
        setup.released = true;
    }
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return ok;

    SetupUnderWay setup;
    platform::UserDefaults defaults(storeFolder / "setup-tray-defaults.json");
    defaults.setBool("hasShownFirstLaunchExplanation", true);
    parloquin::AppEnvironment environment = parloquin::AppEnvironment::system();
    environment.defaults = &defaults;
    environment.makeTranscriptionService = [&] {
        parloquin::TranscriptionEnvironment service;
        service.defaults = &defaults;
        return std::make_unique<parloquin::TranscriptionService>(setup.initializer(), service);
    };
    QWidget desktop(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
    desktop.setAttribute(Qt::WA_ShowWithoutActivating);
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(96, 122, 158));
    desktop.setPalette(palette);
    desktop.setAutoFillBackground(true);
    desktop.setGeometry(QGuiApplication::primaryScreen()->geometry());
    desktop.show();
    desktop.lower();
    {
        parloquin::AppDelegate delegate(std::move(environment));
        delegate.applicationDidFinishLaunching();
        if (!waitFor([&] {
                return !delegate.statusItem()->geometry().isEmpty() &&
                       delegate.statusItem()->toolTip().contains(QStringLiteral("Sprachmodell"));
            })) {
            std::fprintf(stderr, "the shell did not show the model setup in the tray\n");
            setup.released = true;
            return false;
        }
        wait(300);
        const QRect icon = delegate.statusItem()->geometry();
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        // The tooltip as the tray shows it when the pointer rests on the icon.
        QToolTip::showText(icon.bottomLeft() + QPoint(-180, 6), delegate.statusItem()->toolTip());
        wait(400);
        QRect area = icon;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget->isVisible() && widget->inherits("QTipLabel")) area = area.united(widget->geometry());
        area = area.adjusted(-16, 0, 16, 16).intersected(screen);
        area.setTop(0);
        ok &= save(QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()),
                   folder, "tray-tooltip-model-setup.png");
        QToolTip::hideText();

        QMenu* menu = delegate.statusMenu();
        menu->popup(QPoint(icon.right() - menu->sizeHint().width(), icon.bottom() + 2));
        waitFor([&] { return menu->isVisible(); });
        wait(300);
        QRect menuArea = menu->geometry().united(icon).adjusted(-16, 0, 8, 16).intersected(screen);
        menuArea.setTop(0);
        ok &= save(QGuiApplication::primaryScreen()->grabWindow(0, menuArea.x(), menuArea.y(), menuArea.width(),
                                                                menuArea.height()),
                   folder, "tray-menu-model-setup.png");
        menu->hide();

        // The setup failed (the network went away): the menu offers to try again.
        setup.released = true;
        if (!waitFor([&] { return menu->actions().contains(delegate.retryMenuItem()); })) {
            std::fprintf(stderr, "the shell did not offer a retry after the failed setup\n");
            return false;
        }
        wait(300);
        menu->popup(QPoint(icon.right() - menu->sizeHint().width(), icon.bottom() + 2));
        waitFor([&] { return menu->isVisible(); });
        wait(300);
        menuArea = menu->geometry().united(icon).adjusted(-16, 0, 8, 16).intersected(screen);
        menuArea.setTop(0);
        ok &= save(QGuiApplication::primaryScreen()->grabWindow(0, menuArea.x(), menuArea.y(), menuArea.width(),
                                                                menuArea.height()),
                   folder, "tray-menu-setup-failed.png");
        menu->hide();

        // The model card of the page "Sonstiges" offers the same.
        delegate.openMainWindow(parloquin::SidebarSection::other);
        waitFor([&] { return delegate.mainWindow() && delegate.mainWindow()->isVisible(); });
        wait(300);
        if (auto* other = dynamic_cast<parloquin::OtherSettingsView*>(delegate.mainWindow()->contentArea()->page())) {
            other->ensureWidgetVisible(other->retryButton(), 0, 160);
            wait(150);
            ok &= save(delegate.mainWindow()->grab(), folder, QStringLiteral("main-window-other-setup-failed.png"));
        } else {
            ok = false;
        }
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const auto qtTranslations = parloquin::QtTranslations::install();
    const bool wayland = argc == 3 && std::string_view(argv[1]) == "--wayland";
    if (argc != 2 && !wayland) {
        std::fprintf(stderr, "usage: %s [--wayland] <folder>\n", argv[0]);
        return 2;
    }
    QDir folder(QString::fromLocal8Bit(argv[argc - 1]));
    if (!folder.mkpath(".")) return 1;
    const std::filesystem::path store = folder.filePath(".store").toStdString();
    std::filesystem::create_directories(store);
    if (wayland) {
        const bool shown = hotkeysWaylandPictures(folder, store, true);
        std::filesystem::remove_all(store);
        return shown ? 0 : 1;
    }

    bool ok = overlayPicture(folder);
    ok &= floatingButtonPictures(folder);
    ok &= welcomeAlertPicture(folder, store);
    ok &= hotkeyFallbackAlertPictures(folder);
    ok &= pasteGuidancePictures(folder);
    ok &= fileChooserPicture(folder, store);
    ok &= mainWindowPictures(folder, store);
    ok &= hotkeysPagePictures(folder, store);
    ok &= hotkeysWaylandPictures(folder, store);
    ok &= parloquin_test::transcriptPagePictures(
        store, [&folder](const QPixmap& picture, const QString& name) { return save(picture, folder, name); });
    ok &= trayMenuPicture(folder, store);
    ok &= modelSetupPictures(folder, store);
    std::filesystem::remove_all(store);
    return ok ? 0 : 1;
}
