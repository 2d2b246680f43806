#pragma once

#include <QObject>
#include <QThreadPool>
#include <QTimer>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Parloquin/services/AudioDeviceManager.h"
#include "Parloquin/services/RecordingOverlayWindow.h"
#include "Parloquin/services/RecordingTap.h"
#include "Platform/audio/AVAudioEngine.h"
#include "Platform/audio/AudioHardware.h"
#include "Platform/log/Logger.h"
#include "Platform/system/UserDefaults.h"

namespace parloquin {

// Owns the capture of a dictation: the audio engine on the chosen microphone (AudioDeviceManager),
// the RecordingTap that turns its buffers into 16 kHz mono, the overlay shown meanwhile, and the
// samples of the recording. The samples go from the capture thread through the tap's ring to the
// worker thread it is given, which collects them while the capture runs and transcribes them
// afterwards; the main thread never holds them. There it only hands the level of the latest
// buffer to the overlay and watches for the microphone going away. Main thread, except where a
// function says otherwise.
class DictationRecorder : public QObject {
public:
    // The samples of one recording, collected on the worker while the capture runs.
    class Recording {
    public:
        // What the recording holds once the worker has collected the capture's last samples.
        std::size_t size() const { return size_; }
        // On the worker, after the recording has ended: takes the samples.
        std::vector<float> take();
        // The samples collected so far; once the recording has ended, all of them.
        std::vector<float> samples() const;

    private:
        friend class DictationRecorder;
        // On the worker while the capture runs: takes the tap's samples until the recording ends.
        void collect(RecordingTap& tap);
        void end(std::size_t size, bool collecting);

        mutable std::mutex mutex_;
        mutable std::condition_variable changed_;
        std::vector<float> samples_;
        std::size_t size_ = 0;
        bool ended_ = false;
        bool collected_ = false;
    };

    // Why a capture could not start: what the user is told, and what is logged.
    struct Failure {
        std::string reason;
        std::string detail;
    };

    static constexpr platform::AVAudioFrameCount kTapBufferFrames = 4096;

    // The worker must outlive the recorder.
    DictationRecorder(std::shared_ptr<platform::AudioHardware> hardware, platform::UserDefaults& defaults,
                      RecordingOverlayFactory makeOverlay, QThreadPool& worker);
    // Ends a capture still running; what it recorded is dropped.
    ~DictationRecorder() override;

    AudioDeviceManager& audioDeviceManager() { return audioDeviceManager_; }
    RecordingOverlayWindow* overlay() const { return overlay_.get(); }
    // The recording of the capture that runs, or none.
    const std::shared_ptr<Recording>& recording() const { return recording_; }

    // Shows the overlay, binds the chosen microphone and starts the capture; why it failed, or
    // nothing. A failed start is ended with stop() all the same.
    std::optional<Failure> start();
    // Ends the capture and hides the overlay; the recording, complete once the worker has taken
    // the last samples (a job given to the worker afterwards finds them all).
    std::shared_ptr<Recording> stop();

    // Told, on the main thread, when the recorded microphone went away during the capture.
    std::function<void()> onInputLost;

private:
    // The level of the latest buffer, and whether the input is still there.
    void watch();

    std::shared_ptr<platform::AudioHardware> hardware_;
    QThreadPool& worker_;
    RecordingOverlayFactory makeOverlay_;
    platform::Logger logger_;
    AudioDeviceManager audioDeviceManager_;
    std::unique_ptr<platform::AVAudioEngine> engine_;
    std::shared_ptr<RecordingTap> tap_;
    std::shared_ptr<Recording> recording_;
    std::unique_ptr<RecordingOverlayWindow> overlay_;
    QTimer levelTimer_;
};

}  // namespace parloquin
