#include "Parloquin/services/DictationRecorder.h"

#include <chrono>

#include "Platform/audio/AVAudioError.h"

namespace parloquin {
namespace {

// How often the level goes to the overlay, and how often the worker collects the samples.
constexpr int kLevelIntervalMilliseconds = 25;
constexpr std::chrono::milliseconds kCollectInterval{25};

// What the user is told when the microphone does not start, by the audio layer's error code.
std::string failedStartReason(const std::exception& error) {
    const auto* platformError = dynamic_cast<const platform::NSError*>(&error);
    if (platformError != nullptr && platformError->domain() == platform::AVAudioError::domain &&
        platformError->code() == platform::AVAudioError::deviceUnavailable) {
        return "Kein Mikrofon erreichbar. Prüfe, ob ein Mikrofon angeschlossen ist und der Audiodienst läuft.";
    }
    return "Der Audiodienst hat die Aufnahme abgelehnt.";
}

DictationRecorder::Failure noInput() {
    return {"Kein Mikrofon gefunden. Schließe ein Mikrofon an oder schalte es in den Toneinstellungen des Systems frei.",
            "the sound server lists no input, only monitors of outputs"};
}

}  // namespace

std::vector<float> DictationRecorder::Recording::take() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return collected_; });
    return std::move(samples_);
}

std::vector<float> DictationRecorder::Recording::samples() const {
    std::unique_lock lock(mutex_);
    if (ended_) changed_.wait(lock, [this] { return collected_; });
    return samples_;
}

void DictationRecorder::Recording::collect(RecordingTap& tap) {
    std::unique_lock lock(mutex_);
    for (;;) {
        // The tap's last samples are in before the end is marked.
        const bool ended = ended_;
        tap.takeSamples(samples_);
        if (ended) break;
        changed_.wait_for(lock, kCollectInterval, [this] { return ended_; });
    }
    collected_ = true;
    changed_.notify_all();
}

void DictationRecorder::Recording::end(std::size_t size, bool collecting) {
    std::lock_guard lock(mutex_);
    size_ = size;
    ended_ = true;
    if (!collecting) collected_ = true;
    changed_.notify_all();
}

DictationRecorder::DictationRecorder(std::shared_ptr<platform::AudioHardware> hardware,
                                     platform::UserDefaults& defaults, RecordingOverlayFactory makeOverlay,
                                     QThreadPool& worker)
    : hardware_(std::move(hardware)),
      worker_(worker),
      makeOverlay_(std::move(makeOverlay)),
      logger_("com.parloquin", "TranscriptionService"),
      audioDeviceManager_(hardware_, defaults) {
    levelTimer_.setInterval(kLevelIntervalMilliseconds);
    connect(&levelTimer_, &QTimer::timeout, this, [this] { watch(); });
}

DictationRecorder::~DictationRecorder() {
    if (engine_) {
        engine_->stop();
        engine_->inputNode().removeTapOnBus(0);
    }
    if (recording_) recording_->end(0, tap_ != nullptr);
}

std::optional<DictationRecorder::Failure> DictationRecorder::start() {
    recording_ = std::make_shared<Recording>();
    if (makeOverlay_) {
        overlay_ = makeOverlay_(audioDeviceManager_);
        if (overlay_) overlay_->show();
    }

    engine_ = std::make_unique<platform::AVAudioEngine>(hardware_);
    const std::optional<AudioDevice> bound = audioDeviceManager_.bindSelectedDevice(*engine_);
    // Without an input format there is no device; starting then fails with the reason.
    if (const std::optional<platform::AVAudioFormat> inputFormat = engine_->inputNode().outputFormatForBus(0)) {
        tap_ = RecordingTap::make(*inputFormat, kTapBufferFrames);
        if (!tap_) return Failure{"Das Mikrofon liefert ein Format, das Parloquin nicht umwandeln kann.",
                                  "no converter for the input format"};
        engine_->inputNode().installTapOnBus(
            0, kTapBufferFrames, *inputFormat,
            [tap = tap_](const platform::AVAudioPCMBufferPtr& buffer) { tap->process(buffer); });
        // The worker takes the samples from here on, straight from the tap.
        worker_.start([recording = recording_, tap = tap_] { recording->collect(*tap); });
    }
    // A server with no input at all offers only the monitors of outputs, which hold no speech and
    // are never recorded. Asked afresh, since the list may not have caught up yet.
    auto onlyMonitors = [this] {
        return audioDeviceManager_.availableDevices().empty() && hardware_->defaultInputDeviceUID() &&
               hardware_->inputDevices().empty();
    };
    try {
        engine_->start();
    } catch (const std::exception& error) {
        if (onlyMonitors()) return noInput();
        return Failure{failedStartReason(error), error.what()};
    }
    if (onlyMonitors()) return noInput();
    audioDeviceManager_.checkBinding(*engine_, bound);
    levelTimer_.start();
    return std::nullopt;
}

void DictationRecorder::watch() {
    if (!tap_) return;
    audioDeviceManager_.setCurrentAudioLevel(tap_->level());
    if (engine_ && engine_->inputNode().inputLost() && onInputLost) onInputLost();
}

std::shared_ptr<DictationRecorder::Recording> DictationRecorder::stop() {
    levelTimer_.stop();
    if (engine_) {
        // Hands over the last, partly filled buffer before it returns.
        engine_->stop();
        engine_->inputNode().removeTapOnBus(0);
        engine_.reset();
    }
    if (overlay_) {
        overlay_->hide();
        overlay_.reset();
    }
    audioDeviceManager_.setCurrentAudioLevel(0);

    std::shared_ptr<Recording> recording = std::exchange(recording_, nullptr);
    if (!recording) recording = std::make_shared<Recording>();
    // Every buffer has been converted by now; the resampler gives up its tail, and the worker
    // takes what is left once the end is marked.
    if (tap_) {
        tap_->finish();
        recording->end(tap_->convertedSamples(), true);
        if (const std::uint64_t dropped = tap_->droppedSamples(); dropped > 0) {
            logger_.log(platform::OSLogType::error,
                        "The recording lost " + std::to_string(dropped) + " samples that were not taken in time");
        }
        tap_.reset();
    } else {
        recording->end(0, false);
    }
    return recording;
}

}  // namespace parloquin
