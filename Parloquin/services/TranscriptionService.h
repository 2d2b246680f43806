#pragma once

#include <QObject>
#include <QThreadPool>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Parloquin/services/DictationDelivery.h"
#include "Parloquin/services/DictationRecorder.h"
#include "Parloquin/services/FileTranscriptionJob.h"
#include "Parloquin/services/Recognition.h"
#include "Parloquin/services/RecordingState.h"
#include "Parloquin/services/SpeechRecognizer.h"
#include "Parloquin/services/TranscriptionEnvironment.h"
#include "Parloquin/services/TranscriptionRecord.h"
#include "Platform/log/Logger.h"
#include "Platform/system/CancellationToken.h"
#include "RarivOredu/shared/ModelLoadProgress.h"

namespace parloquin {

// The dictation service: the state machine of dictations and files. It brings up the recogniser,
// records through its DictationRecorder, transcribes on a worker thread of its own (one job at a
// time: bringing up the recogniser, collecting and transcribing a recording, a FileTranscriptionJob),
// applies the spoken formatting commands (SpokenFormatting), hands each record to the sink of its
// environment unless privacy mode is on, and the text to its DictationDelivery.
//
// It lives on the Qt main thread; results come back queued to it, where every callback and signal
// is delivered. States: idle → recording (startRecording) → processing (stopRecording with one
// second or more, or a file) → idle; stateChanged tells each.
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
    using FileJob = FileTranscriptionJob;

    static constexpr std::size_t kMinimumSamples = Recognition::kMinimumSamples;
    // The notice when the recorded microphone goes away during a recording.
    static constexpr const char* kMicrophoneLostTitle = "Mikrofon getrennt – Aufnahme beendet";

    // The initializer runs on the worker thread at initialize(); by default it fetches and loads
    // the speech models. Nothing is started here.
    explicit TranscriptionService(AsrInitializer asrInitializer = defaultAsrInitializer(),
                                  TranscriptionEnvironment environment = {}, QObject* parent = nullptr);
    ~TranscriptionService() override;

    static AsrInitializer defaultAsrInitializer();

    RecordingState state() const { return state_; }
    bool isRecording() const { return state_ == RecordingState::recording; }
    bool isProcessing() const { return state_ == RecordingState::processing; }
    const std::string& lastTranscription() const { return lastTranscription_; }
    bool isInitialized() const { return isInitialized_; }

    // Told, on the main thread, of a failure the user must learn about: a notification's title and
    // text.
    std::function<void(const std::string& title, const std::string& body)> onNotice;

    // How far the speech models' first setup (download, conversion) has come while initialize()
    // runs it; nothing before, after, and while the models only load.
    const std::optional<rarivoredu::ModelLoadProgress>& modelProgress() const { return modelProgress_; }

    const std::shared_ptr<SpeechRecognizer>& asrManager() const { return asrManager_; }
    AudioDeviceManager& audioDeviceManager() { return recorder_->audioDeviceManager(); }
    DictationDelivery& delivery() { return delivery_; }
    // The samples of the recording that runs, or of the last one that was too short (until the
    // next start). A copy: for tests.
    std::vector<float> recordedSamples() const;

    // Brings up the recogniser on the worker thread; the progress of a model setup it runs is
    // told through modelProgressChanged. On failure the service stays not ready and
    // prints "❌ Failed to initialize Parloquin Engine: " with the reason; the completion gets the
    // error either way.
    void initialize(InitializeCompletion completion = {});
    // The last start failed, and no other runs: nothing will come of waiting.
    bool initializationFailed() const { return initializationFailed_; }
    // After a failed start: runs it again, with the completion of the last initialize(). Nothing
    // otherwise.
    void retryInitialization();
    // Does nothing before the recogniser is ready or while recording. While a dictation or a file
    // is transcribed, the start is refused and told to onNotice. A start that fails (no microphone,
    // say) is printed, told to onNotice with its reason, and ends in stopRecording.
    void startRecording();
    // Ends the recording; one second or more is transcribed and delivered. A microphone that goes
    // away during the recording ends it the same way (kMicrophoneLostTitle is told): what it gave
    // until then is transcribed, nothing from the input the server would put in its place.
    void stopRecording();
    // Ends the recording and drops it: nothing is transcribed, delivered or stored, and the state
    // is idle again. Does nothing while no recording runs.
    void cancelRecording();
    // Transcribes an audio file (FileTranscriptionJob) with no formatting commands applied.
    // Refused with notInitialized before the recogniser is ready, and with busy while recording
    // or processing. The completion runs on the main thread, also for a refusal; so does the
    // progress, after each window of audio of a file longer than one window.
    void transcribeFile(const std::filesystem::path& url, FileCompletion completion, FileProgress progress = {});
    // Stops the running file before its next window; its completion then gets CocoaError
    // userCancelled. Nothing without a file.
    void cancelFileTranscription();
    bool isTranscribingFile() const { return fileJob_.has_value(); }
    // The running file, or none.
    const std::optional<FileJob>& fileJob() const { return fileJob_; }

signals:
    // Every change of state, on the main thread.
    void stateChanged(RecordingState state);
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

private:
    void setState(RecordingState state);
    void setInitialized(bool initialized);
    void setInitializationFailed(bool failed);
    void setLastTranscription(std::string text);
    void postNotice(const std::string& title, const std::string& body);
    // The recording's input went away: the recording ends with what it had, and the user is told.
    void microphoneLost();
    void transcribe(std::shared_ptr<DictationRecorder::Recording> recording);
    void finishDictation(const Recognition& recognition);
    void finishFile(const Recognition& recognition, const FileCompletion& completion,
                    const std::optional<std::string>& warning);
    // Into the sink, unless privacy mode is on.
    void store(const TranscriptionRecord& record);

    platform::UserDefaults& defaults_;
    std::shared_ptr<const platform::Clock> clock_;
    TranscriptionEnvironment environment_;
    platform::Logger logger_;

    RecordingState state_ = RecordingState::idle;
    std::string lastTranscription_;
    bool isInitialized_ = false;
    bool initializationFailed_ = false;
    InitializeCompletion initializeCompletion_;  // of the last initialize(), for a retry
    std::optional<rarivoredu::ModelLoadProgress> modelProgress_;

    std::shared_ptr<SpeechRecognizer> asrManager_;
    AsrInitializer asrInitializer_;
    QThreadPool worker_;
    std::unique_ptr<DictationRecorder> recorder_;
    std::shared_ptr<DictationRecorder::Recording> shortRecording_;  // the last, too short to transcribe
    DictationDelivery delivery_;
    platform::CancellationToken stop_;  // current on the worker while it runs our jobs
    std::optional<FileJob> fileJob_;
};

}  // namespace parloquin
