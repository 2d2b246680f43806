#pragma once

#include <functional>
#include <memory>

namespace parloquin {

class AudioDeviceManager;

// The small window shown while the microphone records; it draws the elapsed time and the level of
// its AudioDeviceManager (currentAudioLevel). The application supplies the window; the dictation
// service's DictationRecorder makes one per recording, shows it when the recording starts and hides
// it at the stop.
//
// The recorder destroys the object right after hide(). A window that fades out keeps what it needs
// alive itself until the fade has ended. Main thread only.
class RecordingOverlayWindow {
public:
    virtual ~RecordingOverlayWindow() = default;

    // Fades in, in front of every application, without taking the focus.
    virtual void show() = 0;
    // Fades out and closes.
    virtual void hide() = 0;
};

// Makes the overlay of one recording for the recorder's device manager; never fails.
using RecordingOverlayFactory = std::function<std::unique_ptr<RecordingOverlayWindow>(AudioDeviceManager&)>;

}  // namespace parloquin
