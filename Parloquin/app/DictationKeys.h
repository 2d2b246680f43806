#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>

#include "Parloquin/app/DictationControl.h"
#include "Parloquin/hotkeys/HotkeyEnvironment.h"
#include "Parloquin/hotkeys/HotkeyManager.h"
#include "Parloquin/hotkeys/UserDefaultsHotkeySettings.h"
#include "Parloquin/services/RecordingState.h"
#include "Platform/system/UserDefaults.h"

namespace parloquin {

struct AppEnvironment;
class TranscriptionService;

// Where a dictation starts and stops from: the global hotkey and the cancel key (it owns the
// HotkeyManager and wires its callbacks), the menu item and the floating button, and the commands
// of the command line. It turns each into a start or a stop of the dictation service through
// DictationControl, plays the hotkey's feedback sounds, takes the cancel key only while a
// recording runs, and hands a start asked for before the models are ready to onNotReady.
class DictationKeys : public QObject {
public:
    explicit DictationKeys(const AppEnvironment& environment, QObject* parent = nullptr);
    ~DictationKeys() override;

    // The dictation hotkey as the user stored it, for the menu and the ready notice.
    static std::string primaryHotkey(const platform::UserDefaults& defaults);

    // The dictation service the keys start and stop; none until the launch makes it.
    void setService(TranscriptionService* service) { service_ = service; }
    // Until the models are ready a start is answered through onNotReady.
    void setReady(bool ready) { ready_ = ready; }
    std::function<void()> onNotReady;

    // Takes the hotkey from the desktop (the environment's, else the X11 one).
    void setupHotkeyManager();
    HotkeyManager* hotkeyManager() const { return hotkeyManager_.get(); }
    HotkeyRegistration hotkeyRegistration() const;

    // The menu item and the floating button: stop while recording, else start.
    void toggleDictation();
    void handleHotkeyPressed();
    void handleHotkeyReleased();
    // The lone modifier was the start of a key combination: the recording its press started goes.
    void handleHotkeyCombined();
    // A desktop shortcut's command ("parloquin --start", "--stop", "--toggle"): start, stop, or
    // either, as the hotkey's press would; a start while recording and a stop while idle do nothing.
    void handleCommand(DictationCommand command);
    // Ends a running recording without transcribing it (the cancel key).
    void cancelDictation();
    // The cancel key is the desktop's only while there is a recording to cancel.
    void followState(RecordingState state);

private:
    void perform(DictationAction action);
    // The start or stop sound, when the hotkey feedback is on.
    void playFeedback(DictationAction action);
    bool answeredNotReady();

    platform::UserDefaults& defaults_;
    std::function<void(const std::string& soundName)> playSound_;
    std::function<HotkeyEnvironment()> hotkeyEnvironment_;
    std::shared_ptr<AlertPresenter> alerts_;
    std::shared_ptr<ApplicationActivation> application_;
    UserDefaultsHotkeySettings hotkeySettings_;
    std::unique_ptr<HotkeyManager> hotkeyManager_;
    TranscriptionService* service_ = nullptr;
    bool ready_ = false;
    bool pressStartedRecording_ = false;  // the hotkey's last press started the running recording
};

}  // namespace parloquin
