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
    // The record of the file (none for an empty text), or the error; and what the user should know
    // along with the result (the file ended before the length it declares), or nothing.
    using FileCompletion = std::function<void(std::optional<TranscriptionRecord> record, std::exception_ptr error,
                                              std::optional<std::string> warning)>;
    // How far a file has come: windows of audio done, and their number.
    using FileProgress = std::function<void(std::int64_t windowsDone, std::int64_t windowCount)>;
    // The file being transcribed: which one, how far it has come, since when, and whether its
    // cancel was asked for. It is kept here, not by whoever started the file, so that a page built
    // while the file runs shows the same progress and can still cancel it.
    struct FileJob {
        std::filesystem::path file;
        std::int64_t windowsDone = 0;
        std::int64_t windowCount = 0;  // none counted yet: the file is still read, or has one window
        std::chrono::steady_clock::time_point started;
        std::chrono::steady_clock::time_point reported;  // when windowsDone was last counted
        bool cancelling = false;
    };

    // Recordings and files shorter than one second (at 16 kHz) are not transcribed.
    static constexpr std::size_t kMinimumSamples = 16000;
    static constexpr double kSampleRate = 16000.0;
    static constexpr platform::AVAudioFrameCount kTapBufferFrames = 4096;
    // How long a paste waits for the user to let go of every key.
    static constexpr std::chrono::milliseconds kPasteKeyWait{2000};
    // The notice when no way reaches the focused window to paste and the text waits on the clipboard.
    // The notice when the recorded microphone goes away during a recording.
    static constexpr const char* kMicrophoneLostTitle = "Mikrofon getrennt – Aufnahme beendet";
    static constexpr const char* kCopiedOnlyNotice = "In die Zwischenablage kopiert – mit Strg+V einfügen";

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
    // The last start failed, and no other runs: nothing will come of waiting.
    bool initializationFailed() const { return initializationFailed_; }
    // After a failed start: runs it again, with the completion of the last initialize(). Nothing
    // otherwise.
    void retryInitialization();
    // Does nothing before the recogniser is ready or while recording. While a dictation or a file
    // is transcribed, the start is refused and told to onNotice. A start that fails (no microphone,
    // say) is printed, told to onNotice with its reason, and ends in stopRecording.
    virtual void startRecording();
    // Ends the recording; one second or more is transcribed and delivered. A microphone that goes
    // away during the recording ends it the same way (kMicrophoneLostTitle is told): what it gave
    // until then is transcribed, nothing from the input the server would put in its place.
    virtual void stopRecording();
    // Ends the recording and drops it: nothing is transcribed, delivered or stored, and the state
    // is idle again. Does nothing while no recording runs.
    virtual void cancelRecording();
    // Transcribes an audio file (any format platform::AVAudioFile reads) with no formatting commands
    // applied.
    // Refused with notInitialized before the recogniser is ready, and with busy while recording
    // or processing. The completion runs on the main thread, also for a refusal; so does the
    // progress, after each window of audio of a file longer than one window.
    virtual void transcribeFile(const std::filesystem::path& url, FileCompletion completion, FileProgress progress = {});
    // Stops the running file before its next window; its completion then gets CocoaError
    // userCancelled. Nothing without a file.
    void cancelFileTranscription();
    bool isTranscribingFile() const { return fileJob_.has_value(); }
    // The running file, or none.
    const std::optional<FileJob>& fileJob() const { return fileJob_; }
    // Pastes the text (the focused window's paste chord once the user has let go of every key, at
    // most kPasteKeyWait later; then Return 0.1 s later when auto-send is on) where the desktop
    // allows synthetic keys and paste-in-place is on; otherwise copies it, showing the guidance
    // (PasteGuidance) once when a paste was wanted. When no way of TextDelivery reaches the focused
    // window, the text stays on the clipboard and kCopiedOnlyNotice says so. A clipboard that does not take the
    // text, and keys held past the wait, are told to onNotice; nothing is pasted then.
    virtual void deliverText(const std::string& text);

    // The file at 16 kHz mono 32-bit float, as AudioConverter brings a whole buffer of it there,
    // read and converted a block at a time. A file that is missing, unreadable, damaged or not
    // audio, and files of 2^32 frames or more, are refused with fileReadError, its detail in German.
    // With declaredSeconds, the length the file states for itself is put there.
    static std::vector<float> loadAudioFile16k(const std::filesystem::path& url, double* declaredSeconds = nullptr);
    // The warning for a file that decoded shorter than it declares (by more than a quarter of a
    // second), or nothing.
    static std::optional<std::string> shortfallWarning(double declaredSeconds, double decodedSeconds);
    // The dominant language of the text as a code ("de"), or none.
    static std::optional<std::string> detectLanguage(const std::string& text);
    // The non-empty pieces between white-space characters.
    static std::int64_t countWords(std::string_view text);

signals:
    void isRecordingChanged();
    void isProcessingChanged();
    void lastTranscriptionChanged();
    void isInitializedChanged();
    // A file started, came a window further, was asked to stop, or ended.
    void fileJobChanged();
    // A file ended, with what its completion got (just after it): for a listener other than the one
    // that started the file.
    void fileFinished(const std::optional<TranscriptionRecord>& record, std::exception_ptr error,
                      const std::optional<std::string>& warning);
    void modelProgressChanged();
    void initializationFailedChanged();

protected:
    virtual void transcribe(std::vector<float> samples);
    void handleTranscriptionResult(const rarivoredu::ASRResult& result, double audioDuration, double inferenceTime,
                                   double realTimeFactor);
    void sendReturnKey();
    void showAccessibilityAlert();

private:
    struct Recognition;

    void setRecording(bool recording);
    // Stops the microphone and the overlay and takes the last samples into recordedSamples_.
    void endRecording();
    void setProcessing(bool processing);
    void setInitialized(bool initialized);
    void setInitializationFailed(bool failed);
    void setLastTranscription(std::string text);
    void notify(RecordingState state);
    void postNotice(const std::string& title, const std::string& body);
    // A start of the microphone that failed: printed, logged and told.
    void reportFailedStart(const std::string& reason, const std::string& detail);
    // The server offers no input, only monitors of outputs.
    void reportNoInput();
    // The recording's input went away: the recording ends with what it had, and the user is told.
    void microphoneLost();
    void pasteFinished(PendingPaste::Outcome outcome, bool autoSend);
    // The sentence that says where a text that was not delivered can still be found.
    std::string whereTheTextIs() const;
    void collectSamples();
    // A window's report of the running file, on the main thread.
    void fileProgressed(std::int64_t windowsDone, std::int64_t windowCount, const FileProgress& progress);
    void finishFile(const Recognition& recognition, const FileCompletion& completion,
                    const std::optional<std::string>& warning);
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
    bool initializationFailed_ = false;
    InitializeCompletion initializeCompletion_;  // of the last initialize(), for a retry
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
    platform::CancellationToken fileCancel_;  // current on the worker while it runs a file
    std::optional<FileJob> fileJob_;
    QThreadPool worker_;
};

}  // namespace parloquin
