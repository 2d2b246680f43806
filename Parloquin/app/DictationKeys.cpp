#include "Parloquin/app/DictationKeys.h"

#include <QPointer>

#include "Parloquin/app/AppEnvironment.h"
#include "Parloquin/services/TranscriptionService.h"
#include "Parloquin/settings/SettingsKeys.h"
#include "Parloquin/settings/SettingsTable.h"

namespace parloquin {
namespace {

// The feedback of the hotkey: sounds of the desktop's theme as a dictation starts and stops.
constexpr const char* kStartSound = "device-added";
constexpr const char* kStopSound = "device-removed";

}  // namespace

DictationKeys::DictationKeys(const AppEnvironment& environment, QObject* parent)
    : QObject(parent),
      defaults_(*environment.defaults),
      playSound_(environment.playSound),
      hotkeyEnvironment_(environment.hotkeyEnvironment),
      alerts_(environment.alerts),
      application_(environment.application),
      hotkeySettings_(*environment.defaults) {}

DictationKeys::~DictationKeys() = default;

std::string DictationKeys::primaryHotkey(const platform::UserDefaults& defaults) {
    return SettingsTable::text(defaults, settings::kPrimaryHotkey);
}

void DictationKeys::setupHotkeyManager() {
    HotkeyEnvironment hotkeys = hotkeyEnvironment_ ? hotkeyEnvironment_() : HotkeyEnvironment::system(alerts_);
    if (!hotkeys.application) hotkeys.application = application_;
    hotkeyManager_ = std::make_unique<HotkeyManager>(hotkeySettings_, std::move(hotkeys));
    QPointer<DictationKeys> weak(this);
    hotkeyManager_->onHotkeyPressed = [weak] {
        if (weak) weak->handleHotkeyPressed();
    };
    hotkeyManager_->onHotkeyReleased = [weak] {
        if (weak) weak->handleHotkeyReleased();
    };
    hotkeyManager_->onHotkeyCombined = [weak] {
        if (weak) weak->handleHotkeyCombined();
    };
    hotkeyManager_->onCancelPressed = [weak] {
        if (weak) weak->cancelDictation();
    };
}

HotkeyRegistration DictationKeys::hotkeyRegistration() const {
    return hotkeyManager_ ? hotkeyManager_->registration() : HotkeyRegistration::none;
}

bool DictationKeys::answeredNotReady() {
    if (ready_) return false;
    if (onNotReady) onNotReady();
    return true;
}

void DictationKeys::perform(DictationAction action) {
    if (!service_) return;
    switch (action) {
        case DictationAction::none: break;
        case DictationAction::start: service_->startRecording(); break;
        case DictationAction::stop: service_->stopRecording(); break;
    }
}

void DictationKeys::toggleDictation() {
    if (!service_ || answeredNotReady()) return;
    perform(DictationControl::toggle(service_->isRecording()));
}

void DictationKeys::handleHotkeyPressed() {
    if (!service_ || answeredNotReady()) return;
    const DictationAction action =
        DictationControl::press(SettingsTable::text(defaults_, settings::kRecordingMode),
                                defaults_.boolForKey(settings::kPrimaryHotkeyIsSingleKey), service_->isRecording());
    perform(action);
    pressStartedRecording_ = action == DictationAction::start && service_->isRecording();
    playFeedback(action);
}

void DictationKeys::handleHotkeyReleased() {
    if (!service_ || !ready_) return;
    pressStartedRecording_ = false;
    const DictationAction action =
        DictationControl::release(SettingsTable::text(defaults_, settings::kRecordingMode),
                                  defaults_.boolForKey(settings::kPrimaryHotkeyIsSingleKey), service_->isRecording());
    perform(action);
    playFeedback(action);
}

void DictationKeys::handleCommand(DictationCommand command) {
    if (!service_) return;
    // A stop has nothing to stop before the models are ready; a start is answered.
    if (!ready_) {
        if (command != DictationCommand::stop && onNotReady) onNotReady();
        return;
    }
    const DictationAction action = DictationControl::command(command, service_->isRecording());
    perform(action);
    playFeedback(action);
}

// A recording that ran before the press (Alt+Delete, say) goes on.
void DictationKeys::handleHotkeyCombined() {
    if (!pressStartedRecording_) return;
    pressStartedRecording_ = false;
    cancelDictation();
}

void DictationKeys::cancelDictation() {
    if (service_ && service_->isRecording()) service_->cancelRecording();
}

void DictationKeys::followState(RecordingState state) {
    if (!hotkeyManager_) return;
    if (state == RecordingState::recording)
        hotkeyManager_->activateCancelKey();
    else
        hotkeyManager_->deactivateCancelKey();
}

void DictationKeys::playFeedback(DictationAction action) {
    if (!playSound_ || !service_ || !defaults_.boolForKey(settings::kHotkeyFeedback)) return;
    if (action == DictationAction::start && service_->isRecording())
        playSound_(kStartSound);
    else if (action == DictationAction::stop)
        playSound_(kStopSound);
}

}  // namespace parloquin
