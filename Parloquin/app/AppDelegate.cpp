#include "Parloquin/app/AppDelegate.h"

#include <QCoreApplication>
#include <QPointer>

#include "Parloquin/hotkeys/DefaultHotkey.h"
#include "Parloquin/services/HistoryManager.h"
#include "Parloquin/services/StatisticsManager.h"
#include "Parloquin/services/TranscriptionService.h"
#include "Parloquin/settings/SettingsKeys.h"
#include "Parloquin/settings/SettingsTable.h"

namespace parloquin {

using Value = platform::UserDefaults::Value;

AppDelegate::AppDelegate(AppEnvironment environment, QObject* parent)
    : QObject(parent), environment_(std::move(environment)), notices_(environment_) {
    TrayMenu::Actions actions;
    actions.toggleDictation = [this] { toggleDictation(); };
    actions.retrySetup = [this] { retrySetup(); };
    actions.openStatistics = [this] { openStatistics(); };
    actions.openSettings = [this] { openSettings(); };
    actions.openHistory = [this] { openHistory(); };
    actions.quit = [this] { quit(); };
    trayMenu_ = std::make_unique<TrayMenu>(environment_, notices_, std::move(actions));
    mainWindowPolicy_ = std::make_unique<MainWindowPolicy>(environment_);
    dictationKeys_ = std::make_unique<DictationKeys>(environment_);
    dictationKeys_->onNotReady = [this] { answerNotReady(); };
}

AppDelegate::~AppDelegate() {
    if (environment_.defaults) environment_.defaults->setSaveProblemHandler({});
    showFloatingControlObservation_.cancel();
    settingsFileWatcher_.reset();
    mainWindowPolicy_.reset();
    floatingControlWindow_.reset();
    dictationKeys_.reset();
    transcriptionService_.reset();  // its stores write what they still hold
    trayMenu_.reset();
    // What could not be saved while Parloquin ran gets its last chance.
    if (environment_.defaults) environment_.defaults->save();
}

std::map<std::string, Value> AppDelegate::registeredDefaults() { return SettingsTable::registeredDefaults(); }

void AppDelegate::registerDefaultSettings() {
    // Before the registration domain answers for the hotkey: whoever has none stored gets one.
    DefaultHotkey::storeForUserWithoutOne(defaults());
    defaults().registerDefaults(registeredDefaults());
}


void AppDelegate::applicationDidFinishLaunching() {
    registerDefaultSettings();
    mainWindowPolicy_->start();
    // Whatever changes the settings file from now on is seen at once.
    settingsFileWatcher_ = std::make_unique<platform::UserDefaultsFileWatcher>(
        defaults(), [this](const platform::UserDefaults::LoadProblem& problem) {
            notices_.reportSettingsFileProblem(problem);
        });
    // A settings file that cannot be written is said once (the store keeps what is unsaved).
    QPointer<AppDelegate> weak(this);
    defaults().setSaveProblemHandler([weak](const platform::UserDefaults::SaveProblem& problem) {
        QObject* target = weak.data();
        if (!target) return;
        QMetaObject::invokeMethod(
            target, [weak, problem] {
                if (weak) weak->notices_.reportSaveProblem(problem);
            },
            Qt::QueuedConnection);
    });
    notices_.requestAuthorization();
    trayMenu_->setup();
    showFirstLaunchExplanationIfNeeded();
    reportUnreadableSettings();
    handleMissingTray();
    QMetaObject::invokeMethod(this, [this] { initializeServices(); }, Qt::QueuedConnection);
}

void AppDelegate::showFirstLaunchExplanationIfNeeded() {
    if (defaults().boolForKey(settings::kHasShownFirstLaunchExplanation)) return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!environment_.alerts) return;
            QPointer<AppDelegate> alive(this);
            const bool openSettingsAsked = notices_.showWelcome();
            if (!alive) return;
            defaults().setBool(settings::kHasShownFirstLaunchExplanation, true);
            if (openSettingsAsked) openSettings();
        },
        Qt::QueuedConnection);
}

// The store set an unreadable settings file aside and started empty.
void AppDelegate::reportUnreadableSettings() {
    if (const auto problem = defaults().loadProblem()) notices_.reportUnreadableSettings(*problem);
}

void AppDelegate::handleMissingTray() {
    if (mainWindowPolicy_->hasTray()) return;
    notices_.reportMissingTray();
    openSettings();
}

void AppDelegate::initializeServices() {
    if (!environment_.makeTranscriptionService) return;
    historyManager_ = &environment_.transcriptionStores().historyManager();
    statisticsManager_ = &environment_.transcriptionStores().statisticsManager();
    transcriptionService_ = environment_.makeTranscriptionService(environment_.stores);
    trayMenu_->setService(transcriptionService_.get(), historyManager_);
    mainWindowPolicy_->setStores(historyManager_, statisticsManager_, transcriptionService_.get());
    dictationKeys_->setService(transcriptionService_.get());
    QPointer<AppDelegate> weak(this);
    // A dictation that cannot start, or a text that could not be pasted, is never silent.
    transcriptionService_->onNotice = [weak](const std::string& title, const std::string& body) {
        if (weak) weak->notices_.post(title, body);
    };
    // A first start fetches and converts the models for minutes: the tray says how far it is.
    connect(transcriptionService_.get(), &TranscriptionService::modelProgressChanged, this,
            [this] { trayMenu_->showModelProgress(); });
    // A retry asked for on the page "Sonstiges" is one from the menu too.
    connect(transcriptionService_.get(), &TranscriptionService::initializationFailedChanged, this, [this] {
        if (stage_ == LaunchStage::failed && !transcriptionService_->initializationFailed()) setupRetrying();
    });
    connect(transcriptionService_.get(), &TranscriptionService::stateChanged, this,
            [this](RecordingState state) { handleStateChange(state); });
    // The hotkey is the desktop's from the start: a press during the first setup must not reach the
    // focused window, and is answered with how far the setup has come.
    dictationKeys_->setupHotkeyManager();
    mainWindowPolicy_->setHotkeyManager(dictationKeys_->hotkeyManager());
    transcriptionService_->initialize([weak](std::exception_ptr error) {
        if (!weak) return;
        if (error)
            weak->modelsFailed(error);
        else
            weak->modelsLoaded();
    });
}

void AppDelegate::retrySetup() {
    if (stage_ != LaunchStage::failed || !transcriptionService_) return;
    transcriptionService_->retryInitialization();
}

void AppDelegate::setupRetrying() {
    stage_ = LaunchStage::loading;
    trayMenu_->setStage(stage_);
}

void AppDelegate::modelsLoaded() {
    stage_ = LaunchStage::ready;
    dictationKeys_->setReady(true);
    trayMenu_->setStage(stage_);
    setupFloatingControlWindow();
    notices_.postReady(DictationKeys::primaryHotkey(defaults()), dictationKeys_->hotkeyRegistration());
}

// Without models a start does nothing; the setup can be tried again in place.
void AppDelegate::modelsFailed(const std::exception_ptr& error) {
    stage_ = LaunchStage::failed;
    dictationKeys_->setReady(false);
    trayMenu_->setStage(stage_);
    notices_.reportLaunchFailure(error);
}

void AppDelegate::answerNotReady() {
    notices_.answerNotReady(stage_ == LaunchStage::failed, transcriptionService_.get());
}

void AppDelegate::handleStateChange(RecordingState state) {
    QMetaObject::invokeMethod(
        this,
        [this, state] {
            dictationKeys_->followState(state);
            trayMenu_->updateStatusIcon(state);
            if (state != RecordingState::idle) return;
            trayMenu_->updateRecentTranscriptionsMenu();
            trayMenu_->updateStatus();
        },
        Qt::QueuedConnection);
}

// Ends the process whatever the window policy: a main window that minimises instead of closing
// would refuse the close that QCoreApplication::quit() asks of every window, and the quit with it.
// The stores are written as the application object goes.
void AppDelegate::quit() {
    showFloatingControlObservation_.cancel();
    mainWindowPolicy_->stop();
    QCoreApplication::exit(0);
}

void AppDelegate::setupFloatingControlWindow() {
    if (!transcriptionService_) return;
    QPointer<AppDelegate> weak(this);
    floatingControlWindow_ = std::make_unique<FloatingDictationControlWindow>([weak] {
        if (weak) weak->toggleDictation();
    });
    // A right click offers the tray menu's entries: on a desktop without a tray the only way to them.
    FloatingDictationControlView* view = floatingControlWindow_->view();
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& at) {
        if (QMenu* menu = trayMenu_->menu()) menu->popup(view->mapToGlobal(at));
    });
    connect(transcriptionService_.get(), &TranscriptionService::stateChanged, this,
            [this] { updateFloatingControlState(); });
    updateFloatingControlState();
    updateFloatingControlVisibility();
    // Only this setting moves the button: other settings change with every dictation.
    showFloatingControlObservation_ =
        defaults().observe(settings::kShowFloatingDictationControl, [this](const std::string&) {
            QMetaObject::invokeMethod(
                this, [this] { updateFloatingControlVisibility(); }, Qt::QueuedConnection);
        });
}

void AppDelegate::updateFloatingControlState() {
    if (!floatingControlWindow_ || !transcriptionService_) return;
    floatingControlWindow_->view()->setServiceState(transcriptionService_->isRecording(),
                                                     transcriptionService_->isProcessing());
}

void AppDelegate::updateFloatingControlVisibility() {
    if (!floatingControlWindow_) return;
    const auto value = defaults().object(settings::kShowFloatingDictationControl);
    if (value && std::holds_alternative<bool>(*value) && !std::get<bool>(*value)) {
        floatingControlWindow_->orderOut();
        return;
    }
    floatingControlWindow_->placeAtHome();
    floatingControlWindow_->orderFront();
}

}  // namespace parloquin
