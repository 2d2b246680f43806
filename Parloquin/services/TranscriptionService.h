#pragma once

#include <QObject>
#include <QThreadPool>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Parloquin/services/AudioDeviceManager.h"
#include "Parloquin/services/HistoryManager.h"
#include "Parloquin/services/PendingPaste.h"
#include "Parloquin/services/RecordingOverlayWindow.h"
#include "Parloquin/services/RecordingState.h"
#include "Parloquin/services/RecordingTap.h"
#include "Parloquin/services/SpeechRecognizer.h"
#include "Parloquin/services/StatisticsManager.h"
#include "Parloquin/services/TranscriptionEnvironment.h"
#include "Parloquin/services/TranscriptionRecord.h"
#include "Platform/audio/AVAudioEngine.h"
#include "Platform/log/Logger.h"
#include "Platform/system/CancellationToken.h"
#include "RarivOredu/shared/ModelLoadProgress.h"

namespace parloquin {

// The dictation service: records the chosen microphone, converts it to 16 kHz mono, transcribes
// it, applies the spoken formatting commands, keeps the history and the statistics, and delivers
// the text by pasting it (Ctrl+V) or copying it. It also transcribes audio files.
//
// It lives on the Qt main thread. Recognition, and reading and converting files, run on a worker
// thread of its own, one job at a time; their results come back queued to the main thread, where
// every callback and signal is delivered. Settings are read from the user defaults at each use.
//
// States: idle → recording (startRecording) → processing (stopRecording with one second or more)
// → idle. onStateChanged hears every change.
//
// Destroying the service cancels the work on its worker (a model download stops within a tenth
// of a second, a long recognition before its next window) and waits for it to end; what that
// work would have reported is dropped.
class TranscriptionService : public QObject {
    Q_OBJECT

public:
    using AsrInitializer = std::function<std::shared_ptr<SpeechRecognizer>()>;
    // The error of a failed start, or none.
    using InitializeCompletion = std::function<void(std::exception_ptr error)>;
    // The record of the file (none for an empty text), or the error.
    using FileCompletion = std::function<void(std::optional<TranscriptionRecord> record, std::exception_ptr error)>;

    // Recordings and files shorter than one second (at 16 kHz) are not transcribed.
    static constexpr std::size_t kMinimumSamples = 16000;
    static constexpr double kSampleRate = 16000.0;
    static constexpr platform::AVAudioFrameCount kTapBufferFrames = 4096;
    // How long a paste waits for the user to let go of every key.
    static constexpr std::chrono::milliseconds kPasteKeyWait{2000};

    // The initializer runs on the worker thread at initialize(); by default it fetches and loads
    // the speech models. Nothing is started here.
    explicit TranscriptionService(AsrInitializer asrInitializer = defaultAsrInitializer(),
                                  TranscriptionEnvironment environment = {}, QObject* parent = nullptr);
    ~TranscriptionService() override;

    static AsrInitializer defaultAsrInitializer();

    bool isRecording() const { return isRecording_; }
    bool isProcessing() const { return isProcessing_; }
    const std::string& lastTranscription() const { return lastTranscription_; }
    bool isInitialized() const { return isInitialized_; }

    // The settings, read at each use.
    bool hasShownGuidance() const;
    void setHasShownGuidance(bool shown);
    bool pasteInPlaceMode() const;
    bool autoSendText() const;
    bool privacyModeEnabled() const;
    bool spokenFormattingCommandsEnabled() const;
    std::string cancelHotkey() const;

    // Told every change of state, on the main thread.
    std::function<void(RecordingState)> onStateChanged;
    // Told, on the main thread, of a failure the user must learn about: a notification's title and
    // text.
    std::function<void(const std::string& title, const std::string& body)> onNotice;

    // How far the speech models' first setup (download, conversion) has come while initialize()
    // runs it; nothing before, after, and while the models only load.
    const std::optional<rarivoredu::ModelLoadProgress>& modelProgress() const { return modelProgress_; }

    const std::shared_ptr<SpeechRecognizer>& asrManager() const { return asrManager_; }
    AudioDeviceManager& audioDeviceManager() { return *audioDeviceManager_; }
    HistoryManager& historyManager() { return *historyManager_; }
    StatisticsManager& statisticsManager() { return *statisticsManager_; }
    RecordingOverlayWindow* recordingOverlay() const { return recordingOverlay_.get(); }
    const std::vector<float>& recordedSamples() const { return recordedSamples_; }

    // Brings up the recogniser on the worker thread; the progress of a model setup it runs is
    // told through modelProgressChanged. On failure the service stays not ready and
    // prints "❌ Failed to initialize Parloquin Engine: " with the reason; the completion gets the
    // error either way.
    virtual void initialize(InitializeCompletion completion = {});
    // Does nothing before the recogniser is ready or while recording or processing. A start that
    // fails is printed, told to onNotice with its reason, and ends in stopRecording.
    virtual void startRecording();
    // Ends the recording; one second or more is transcribed and delivered.
    virtual void stopRecording();
    // Ends the recording and drops it: nothing is transcribed, delivered or stored, and the state
    // is idle again. Does nothing while no recording runs.
    virtual void cancelRecording();
    // Transcribes an audio file (WAV, MP3, M4A, AIFF, CAF) with no formatting commands applied.
    // Refused with notInitialized before the recogniser is ready, and with busy while recording
    // or processing. The completion runs on the main thread, also for a refusal.
    virtual void transcribeFile(const std::filesystem::path& url, FileCompletion completion);
    // Pastes the text (the focused window's paste chord once the user has let go of every key, at
    // most kPasteKeyWait later; then Return 0.1 s later when auto-send is on) where the desktop
    // allows synthetic keys and paste-in-place is on; otherwise copies it, showing the
    // Accessibility guidance once when a paste was wanted. A clipboard that does not take the
    // text, and keys held past the wait, are told to onNotice; nothing is pasted then.
    virtual void deliverText(const std::string& text);

    // The file at 16 kHz mono 32-bit float, as AudioConverter brings a whole buffer of it there,
    // read and converted a block at a time. A file that is missing, unreadable, damaged or not
    // audio, and files of 2^32 frames or more, are refused with fileReadError, its detail in German.
    static std::vector<float> loadAudioFile16k(const std::filesystem::path& url);
    // The dominant language of the text as a code ("de"), or none.
    static std::optional<std::string> detectLanguage(const std::string& text);
    // The non-empty pieces between white-space characters.
    static std::int64_t countWords(std::string_view text);

signals:
    void isRecordingChanged();
    void isProcessingChanged();
    void lastTranscriptionChanged();
    void isInitializedChanged();
    void modelProgressChanged();

protected:
    virtual void transcribe(std::vector<float> samples);
    void handleTranscriptionResult(const rarivoredu::ASRResult& result, double audioDuration, double inferenceTime,
                                   double realTimeFactor);
    void sendReturnKey();
    void showAccessibilityAlert();

private:
    struct Recognition;

    bool setting(const char* key, bool fallback) const;
    void setRecording(bool recording);
    // Stops the microphone and the overlay and takes the last samples into recordedSamples_.
    void endRecording();
    void setProcessing(bool processing);
    void setInitialized(bool initialized);
    void setLastTranscription(std::string text);
    void notify(RecordingState state);
    void postNotice(const std::string& title, const std::string& body);
    // A start of the microphone that failed: printed, logged and told.
    void reportFailedStart(const std::string& reason, const std::string& detail);
    void pasteFinished(PendingPaste::Outcome outcome, bool autoSend);
    // The sentence that says where a text that was not delivered can still be found.
    std::string whereTheTextIs() const;
    void collectSamples();
    void finishFile(const Recognition& recognition, const FileCompletion& completion);
    // A record made now, with the character and word counts of the text.
    TranscriptionRecord makeRecord(const std::string& text, std::optional<std::string> language, double audioDuration,
                                   double inferenceTime, double realTimeFactor) const;
    // Into the history and the statistics.
    void store(const TranscriptionRecord& record);

    platform::UserDefaults& defaults_;
    std::shared_ptr<platform::AudioHardware> audioHardware_;
    std::shared_ptr<const platform::Clock> clock_;
    TranscriptionEnvironment environment_;
    platform::Logger logger_;

    bool isRecording_ = false;
    bool isProcessing_ = false;
    std::string lastTranscription_;
    bool isInitialized_ = false;
    std::optional<rarivoredu::ModelLoadProgress> modelProgress_;

    std::shared_ptr<SpeechRecognizer> asrManager_;
    AsrInitializer asrInitializer_;
    std::unique_ptr<platform::AVAudioEngine> audioEngine_;
    std::unique_ptr<AudioDeviceManager> audioDeviceManager_;
    std::vector<float> recordedSamples_;
    std::shared_ptr<RecordingTap> recordingTap_;
    std::unique_ptr<RecordingOverlayWindow> recordingOverlay_;
    std::unique_ptr<HistoryManager> historyManager_;
    std::unique_ptr<StatisticsManager> statisticsManager_;

    QTimer sampleTimer_;  // takes the converted samples and the level while recording
    PendingPaste pendingPaste_{kPasteKeyWait};
    platform::CancellationToken stop_;  // current on the worker while it runs our jobs
    QThreadPool worker_;
};

}  // namespace parloquin
