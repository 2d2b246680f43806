#include "Parloquin/services/TranscriptionService.h"

#include <QMetaObject>

#include "Parloquin/services/AsrManagerRecognizer.h"
#include "Parloquin/services/SpokenFormatting.h"
#include "Parloquin/services/TranscriptionError.h"
#include "Parloquin/settings/SettingsKeys.h"
#include "Parloquin/settings/SettingsTable.h"
#include "Platform/system/ErrorDescription.h"
#include "Platform/system/Progress.h"

namespace parloquin {

TranscriptionService::AsrInitializer TranscriptionService::defaultAsrInitializer() {
    return [] { return AsrManagerRecognizer::makeAsrManager(); };
}

TranscriptionService::TranscriptionService(AsrInitializer asrInitializer, TranscriptionEnvironment environment,
                                           QObject* parent)
    : QObject(parent),
      defaults_(environment.defaults != nullptr ? *environment.defaults : platform::UserDefaults::standard()),
      clock_(environment.clock ? environment.clock : platform::Clock::system()),
      environment_(std::move(environment)),
      logger_("com.parloquin", "TranscriptionService"),
      asrInitializer_(std::move(asrInitializer)),
      delivery_(defaults_, environment_.alerts,
                [this](const std::string& title, const std::string& body) { postNotice(title, body); }) {
    worker_.setMaxThreadCount(1);
    worker_.setExpiryTimeout(-1);
    recorder_ = std::make_unique<DictationRecorder>(
        environment_.audioHardware ? environment_.audioHardware : platform::AudioHardware::system(), defaults_,
        environment_.makeRecordingOverlay, worker_);
    recorder_->onInputLost = [this] { microphoneLost(); };
}

TranscriptionService::~TranscriptionService() {
    // A capture still running ends first, so that its collector on the worker ends too.
    recorder_.reset();
    // Work still running stops at its next check; what it sends back is dropped with this object.
    stop_.cancel();
    if (fileJob_) fileJob_->cancellation.cancel();
    worker_.waitForDone();
}

std::vector<float> TranscriptionService::recordedSamples() const {
    if (const auto& recording = recorder_->recording()) return recording->samples();
    return shortRecording_ ? shortRecording_->samples() : std::vector<float>();
}

void TranscriptionService::setState(RecordingState state) {
    state_ = state;
    emit stateChanged(state);
}

void TranscriptionService::setInitialized(bool initialized) {
    if (initialized == isInitialized_) return;
    isInitialized_ = initialized;
    emit isInitializedChanged();
}

void TranscriptionService::setLastTranscription(std::string text) {
    lastTranscription_ = std::move(text);
    emit lastTranscriptionChanged();
}

void TranscriptionService::postNotice(const std::string& title, const std::string& body) {
    logger_.log(platform::OSLogType::error, title + ": " + body);
    if (onNotice) onNotice(title, body);
}

void TranscriptionService::setInitializationFailed(bool failed) {
    if (failed == initializationFailed_) return;
    initializationFailed_ = failed;
    emit initializationFailedChanged();
}

void TranscriptionService::retryInitialization() {
    if (!initializationFailed_) return;
    initialize(initializeCompletion_);
}

void TranscriptionService::initialize(InitializeCompletion completion) {
    initializeCompletion_ = completion;
    setInitializationFailed(false);
    worker_.start([this, initializer = asrInitializer_, completion = std::move(completion)] {
        const platform::CancellationToken::Scope scope(stop_);
        // Reports come few (a tenth of a percent at most) and are shown on the main thread.
        const rarivoredu::ModelLoadProgress::Scope progress([this](const rarivoredu::ModelLoadProgress& report) {
            QMetaObject::invokeMethod(
                this,
                [this, report] {
                    modelProgress_ = report;
                    emit modelProgressChanged();
                },
                Qt::QueuedConnection);
        });
        std::shared_ptr<SpeechRecognizer> recognizer;
        std::exception_ptr error;
        try {
            if (!initializer) throw std::logic_error("The service was given no way to make a recogniser.");
            recognizer = initializer();
            if (!recognizer) throw std::logic_error("The recogniser could not be made.");
        } catch (...) {
            error = std::current_exception();
        }
        QMetaObject::invokeMethod(
            this,
            [this, recognizer, error, completion] {
                if (modelProgress_) {
                    modelProgress_.reset();
                    emit modelProgressChanged();
                }
                if (error) {
                    asrManager_.reset();
                    setInitialized(false);
                    setInitializationFailed(true);
                    logger_.log(platform::OSLogType::error, "❌ Failed to initialize Parloquin Engine: " + platform::errorDescription(error));
                } else {
                    asrManager_ = recognizer;
                    setInitialized(true);
                }
                if (completion) completion(error);
            },
            Qt::QueuedConnection);
    });
}

void TranscriptionService::startRecording() {
    if (isRecording()) return;
    if (!asrManager_) return;
    // One recogniser serves both: a dictation asked for meanwhile is refused, never dropped unsaid.
    if (fileJob_) {
        postNotice("Aufnahme nicht möglich",
                   "Parloquin transkribiert gerade eine Datei. Warte, bis sie fertig ist, oder brich sie auf der "
                   "Seite „Datei“ ab.");
        return;
    }
    if (isProcessing()) {
        postNotice("Aufnahme nicht möglich",
                   "Die letzte Aufnahme wird noch verarbeitet. Versuche es gleich noch einmal.");
        return;
    }

    shortRecording_.reset();
    setState(RecordingState::recording);
    if (const std::optional<DictationRecorder::Failure> failure = recorder_->start()) {
        logger_.log(platform::OSLogType::error, "❌ Failed to start audio engine: " + failure->detail);
        postNotice("Aufnahme nicht möglich", failure->reason);
        stopRecording();
    }
}

// The microphone went away mid-sentence: the recording ends there. What it gave until then is the
// user's and is transcribed; whatever the server offers in its place is never recorded.
void TranscriptionService::microphoneLost() {
    logger_.log(platform::OSLogType::error, "🎤 The microphone went away during the recording; the recording ends");
    postNotice(kMicrophoneLostTitle, "Das Mikrofon ist nicht mehr erreichbar. Transkribiert wird nur, was bis dahin "
                                     "aufgenommen wurde; von einem anderen Eingang nimmt Parloquin nichts auf.");
    stopRecording();
}

void TranscriptionService::stopRecording() {
    if (!isRecording()) return;
    std::shared_ptr<DictationRecorder::Recording> recording = recorder_->stop();
    if (recording->size() < kMinimumSamples) {
        shortRecording_ = std::move(recording);
        setState(RecordingState::idle);
        return;
    }
    setState(RecordingState::processing);
    transcribe(std::move(recording));
}

void TranscriptionService::cancelRecording() {
    if (!isRecording()) return;
    recorder_->stop();
    setState(RecordingState::idle);
}

void TranscriptionService::transcribe(std::shared_ptr<DictationRecorder::Recording> recording) {
    // Queued behind the recording's collector: the samples are whole when this runs.
    worker_.start([this, recognizer = asrManager_, recording = std::move(recording)] {
        const platform::CancellationToken::Scope scope(stop_);
        Recognition recognition = Recognition::run(*recognizer, recording->take());
        QMetaObject::invokeMethod(this, [this, recognition] { finishDictation(recognition); }, Qt::QueuedConnection);
    });
}

void TranscriptionService::finishDictation(const Recognition& recognition) {
    if (recognition.error) {
        const std::string reason = platform::errorDescription(recognition.error);
        logger_.log(platform::OSLogType::error, "❌ Transcription failed: " + reason);
        setState(RecordingState::idle);
        if (onNotice)
            onNotice("Transkription fehlgeschlagen",
                     "Die Aufnahme konnte nicht in Text umgewandelt werden (" + reason + "). Versuche es noch einmal.");
        return;
    }
    const std::string& heard = recognition.result->text;
    std::string text = SpokenFormatting::applySpokenFormattingCommands(
        heard, SettingsTable::flag(defaults_, settings::kSpokenFormattingCommandsEnabled));
    setLastTranscription(text);
    setState(RecordingState::idle);
    // No word at all was heard (a muted or wrong microphone, silence): the user learns why nothing
    // came. Words that were all formatting commands are no surprise.
    if (Recognition::countWords(heard) == 0) {
        postNotice("Nichts erkannt", "In der Aufnahme war keine Sprache zu erkennen, darum wurde nichts eingefügt. "
                                     "Prüfe in den Audio-Einstellungen, ob das richtige Mikrofon gewählt ist.");
        return;
    }
    if (text.empty()) return;
    store(recognition.record(text, clock_->now()));
    delivery_.deliver(text);
}

void TranscriptionService::transcribeFile(const std::filesystem::path& url, FileCompletion completion,
                                          FileProgress progress) {
    auto refuse = [this, &completion](TranscriptionError error) {
        QMetaObject::invokeMethod(
            this,
            [completion, error] {
                if (completion) completion(std::nullopt, std::make_exception_ptr(error), std::nullopt);
            },
            Qt::QueuedConnection);
    };
    if (!asrManager_) return refuse(TranscriptionError::notInitialized());
    // One recogniser serves both roads: a file never runs beside a dictation or another file.
    if (isRecording() || isProcessing()) return refuse(TranscriptionError::busy());

    fileJob_ = FileJob::begin(url);
    setState(RecordingState::processing);
    emit fileJobChanged();
    worker_.start([this, recognizer = asrManager_, url, job = fileJob_->cancellation,
                   completion = std::move(completion), progress = std::move(progress)] {
        const platform::CancellationToken::Scope scope(job);
        // Each window's report is handed to the main thread, ahead of the result.
        const platform::Progress::Scope reporting([this, progress](std::int64_t done, std::int64_t count) {
            QMetaObject::invokeMethod(
                this,
                [this, progress, done, count] {
                    if (!fileJob_) return;
                    fileJob_->progressed(done, count);
                    emit fileJobChanged();
                    if (progress) progress(done, count);
                },
                Qt::QueuedConnection);
        });
        std::optional<std::string> warning;
        const Recognition recognition = FileJob::run(*recognizer, url, warning);
        QMetaObject::invokeMethod(
            this, [this, recognition, completion, warning] { finishFile(recognition, completion, warning); },
            Qt::QueuedConnection);
    });
}

void TranscriptionService::cancelFileTranscription() {
    if (!fileJob_ || fileJob_->cancelling) return;
    fileJob_->cancellation.cancel();
    fileJob_->cancelling = true;
    emit fileJobChanged();
}

void TranscriptionService::finishFile(const Recognition& recognition, const FileCompletion& completion,
                                      const std::optional<std::string>& warning) {
    fileJob_.reset();
    setState(RecordingState::idle);
    emit fileJobChanged();
    auto finish = [this, &completion](const std::optional<TranscriptionRecord>& record, std::exception_ptr error,
                                      const std::optional<std::string>& told) {
        if (completion) completion(record, error, told);
        emit fileFinished(record, error, told);
    };
    if (recognition.error) return finish(std::nullopt, recognition.error, std::nullopt);
    const std::string& text = recognition.result->text;
    if (text.empty()) return finish(std::nullopt, nullptr, warning);
    const TranscriptionRecord record = recognition.record(text, clock_->now());
    store(record);
    setLastTranscription(text);
    if (warning) logger_.log(platform::OSLogType::error, *warning);
    finish(record, nullptr, warning);
}

void TranscriptionService::store(const TranscriptionRecord& record) {
    if (SettingsTable::flag(defaults_, settings::kPrivacyModeEnabled) || !environment_.sink) return;
    environment_.sink->store(record);
}

}  // namespace parloquin
