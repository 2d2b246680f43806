#include "Parloquin/services/TranscriptionService.h"

#include <QMetaObject>
#include <chrono>
#include <limits>

#include "Parloquin/services/AsrManagerRecognizer.h"
#include "Parloquin/services/PasteGuidance.h"
#include "Parloquin/services/PasteHelper.h"
#include "Parloquin/services/SpokenFormatting.h"
#include "Parloquin/services/TranscriptionError.h"
#include "Parloquin/settings/SettingsKeys.h"
#include "Parloquin/settings/SettingsTable.h"
#include "Platform/audio/AVAudioError.h"
#include "Platform/audio/AVAudioFile.h"
#include "Platform/system/ErrorDescription.h"
#include "Platform/system/Progress.h"
#include "Platform/text/NLLanguageRecognizer.h"
#include "Platform/text/NumberFormat.h"
#include "Platform/text/UnicodeText.h"
#include "RarivOredu/shared/AudioConverter.h"
#include "RarivOredu/shared/AudioConverterError.h"

namespace parloquin {
namespace {


// How often the main thread takes the converted samples and the level of a running recording.
constexpr int kSampleIntervalMilliseconds = 25;
// Return follows the paste after this long when auto-send is on.
constexpr int kReturnDelayMilliseconds = 100;

// What the user is told when the microphone does not start, by the audio layer's error code.
std::string failedStartReason(const std::exception& error) {
    const auto* platformError = dynamic_cast<const platform::NSError*>(&error);
    if (platformError != nullptr && platformError->domain() == platform::AVAudioError::domain &&
        platformError->code() == platform::AVAudioError::deviceUnavailable) {
        return "Kein Mikrofon erreichbar. Prüfe, ob ein Mikrofon angeschlossen ist und der Audiodienst läuft.";
    }
    return "Der Audiodienst hat die Aufnahme abgelehnt.";
}

}  // namespace

// What a recognition on the worker gives back to the main thread.
struct TranscriptionService::Recognition {
    std::optional<rarivoredu::ASRResult> result;
    std::exception_ptr error;
    double audioDuration = 0;
    double inferenceTime = 0;

    // Times the recogniser's call alone.
    static Recognition run(SpeechRecognizer& recognizer, const std::vector<float>& samples) {
        Recognition recognition;
        recognition.audioDuration = static_cast<double>(samples.size()) / kSampleRate;
        const auto start = std::chrono::steady_clock::now();
        try {
            recognition.result = recognizer.transcribe(samples, rarivoredu::AudioSource::microphone);
        } catch (...) {
            recognition.error = std::current_exception();
        }
        recognition.inferenceTime = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return recognition;
    }
};

TranscriptionService::AsrInitializer TranscriptionService::defaultAsrInitializer() {
    return [] { return AsrManagerRecognizer::makeAsrManager(); };
}

TranscriptionService::TranscriptionService(AsrInitializer asrInitializer, TranscriptionEnvironment environment,
                                           QObject* parent)
    : QObject(parent),
      defaults_(environment.defaults != nullptr ? *environment.defaults : platform::UserDefaults::standard()),
      audioHardware_(environment.audioHardware ? environment.audioHardware : platform::AudioHardware::system()),
      clock_(environment.clock ? environment.clock : platform::Clock::system()),
      environment_(std::move(environment)),
      logger_("com.parloquin", "TranscriptionService"),
      asrInitializer_(std::move(asrInitializer)) {
    audioDeviceManager_ = std::make_unique<AudioDeviceManager>(audioHardware_, defaults_);
    historyManager_ = std::make_unique<HistoryManager>(defaults_, clock_);
    statisticsManager_ = std::make_unique<StatisticsManager>(defaults_, clock_);
    sampleTimer_.setInterval(kSampleIntervalMilliseconds);
    connect(&sampleTimer_, &QTimer::timeout, this, [this] { collectSamples(); });
    worker_.setMaxThreadCount(1);
    worker_.setExpiryTimeout(-1);
}

TranscriptionService::~TranscriptionService() {
    if (audioEngine_) {
        audioEngine_->stop();
        audioEngine_->inputNode().removeTapOnBus(0);
    }
    // Work still running stops at its next check; what it sends back is dropped with this object.
    stop_.cancel();
    fileCancel_.cancel();
    worker_.waitForDone();
}

bool TranscriptionService::hasShownGuidance() const { return SettingsTable::flag(defaults_, settings::kHasShownAccessibilityGuidance); }
void TranscriptionService::setHasShownGuidance(bool shown) {
    defaults_.setBool(settings::kHasShownAccessibilityGuidance, shown);
}
bool TranscriptionService::pasteInPlaceMode() const { return SettingsTable::flag(defaults_, settings::kPasteInPlaceMode); }
bool TranscriptionService::autoSendText() const { return SettingsTable::flag(defaults_, settings::kAutoSendText); }
bool TranscriptionService::privacyModeEnabled() const { return SettingsTable::flag(defaults_, settings::kPrivacyModeEnabled); }
bool TranscriptionService::spokenFormattingCommandsEnabled() const {
    return SettingsTable::flag(defaults_, settings::kSpokenFormattingCommandsEnabled);
}
std::string TranscriptionService::cancelHotkey() const {
    return SettingsTable::text(defaults_, settings::kCancelHotkey);
}

void TranscriptionService::setRecording(bool recording) {
    if (recording == isRecording_) return;
    isRecording_ = recording;
    emit isRecordingChanged();
}

void TranscriptionService::setProcessing(bool processing) {
    if (processing == isProcessing_) return;
    isProcessing_ = processing;
    emit isProcessingChanged();
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

void TranscriptionService::notify(RecordingState state) {
    if (onStateChanged) onStateChanged(state);
}

void TranscriptionService::postNotice(const std::string& title, const std::string& body) {
    logger_.log(platform::OSLogType::error, title + ": " + body);
    if (onNotice) onNotice(title, body);
}

void TranscriptionService::reportFailedStart(const std::string& reason, const std::string& detail) {
    logger_.log(platform::OSLogType::error, "❌ Failed to start audio engine: " + detail);
    postNotice("Aufnahme nicht möglich", reason);
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
    if (isRecording_) return;
    if (!asrManager_) return;
    // One recogniser serves both: a dictation asked for meanwhile is refused, never dropped unsaid.
    if (fileJob_) {
        postNotice("Aufnahme nicht möglich",
                   "Parloquin transkribiert gerade eine Datei. Warte, bis sie fertig ist, oder brich sie auf der "
                   "Seite „Datei“ ab.");
        return;
    }
    if (isProcessing_) {
        postNotice("Aufnahme nicht möglich",
                   "Die letzte Aufnahme wird noch verarbeitet. Versuche es gleich noch einmal.");
        return;
    }

    setRecording(true);
    recordedSamples_.clear();
    notify(RecordingState::recording);

    if (environment_.makeRecordingOverlay) {
        recordingOverlay_ = environment_.makeRecordingOverlay(*audioDeviceManager_);
        if (recordingOverlay_) recordingOverlay_->show();
    }

    audioEngine_ = std::make_unique<platform::AVAudioEngine>(audioHardware_);
    const std::optional<AudioDevice> bound = audioDeviceManager_->bindSelectedDevice(*audioEngine_);
    // Without an input format there is no device; starting then fails with the reason.
    if (const std::optional<platform::AVAudioFormat> inputFormat = audioEngine_->inputNode().outputFormatForBus(0)) {
        recordingTap_ = RecordingTap::make(*inputFormat, kTapBufferFrames);
        if (!recordingTap_) {
            reportFailedStart("Das Mikrofon liefert ein Format, das Parloquin nicht umwandeln kann.",
                              "no converter for the input format");
            stopRecording();
            return;
        }
        audioEngine_->inputNode().installTapOnBus(
            0, kTapBufferFrames, *inputFormat,
            [tap = recordingTap_](const platform::AVAudioPCMBufferPtr& buffer) { tap->process(buffer); });
    }
    // A server with no input at all offers only the monitors of outputs, which hold no speech and
    // are never recorded. Asked afresh, since the list may not have caught up yet.
    auto onlyMonitors = [this] {
        return audioDeviceManager_->availableDevices().empty() && audioHardware_->defaultInputDeviceUID() &&
               audioHardware_->inputDevices().empty();
    };
    try {
        audioEngine_->start();
    } catch (const std::exception& error) {
        if (onlyMonitors())
            reportNoInput();
        else
            reportFailedStart(failedStartReason(error), error.what());
        stopRecording();
        return;
    }
    if (onlyMonitors()) {
        reportNoInput();
        stopRecording();
        return;
    }
    audioDeviceManager_->checkBinding(*audioEngine_, bound);
    sampleTimer_.start();
}

void TranscriptionService::reportNoInput() {
    reportFailedStart("Kein Mikrofon gefunden. Schließe ein Mikrofon an oder schalte es in den "
                      "Toneinstellungen des Systems frei.",
                      "the sound server lists no input, only monitors of outputs");
}

void TranscriptionService::collectSamples() {
    if (!recordingTap_) return;
    recordingTap_->takeSamples(recordedSamples_);
    audioDeviceManager_->setCurrentAudioLevel(recordingTap_->level());
    if (audioEngine_ && audioEngine_->inputNode().inputLost()) microphoneLost();
}

// The microphone went away mid-sentence: the recording ends there. What it gave until then is the
// user's and is transcribed; whatever the server offers in its place is never recorded.
void TranscriptionService::microphoneLost() {
    logger_.log(platform::OSLogType::error, "🎤 The microphone went away during the recording; the recording ends");
    postNotice(kMicrophoneLostTitle, "Das Mikrofon ist nicht mehr erreichbar. Transkribiert wird nur, was bis dahin "
                                     "aufgenommen wurde; von einem anderen Eingang nimmt Parloquin nichts auf.");
    stopRecording();
}

void TranscriptionService::endRecording() {
    setRecording(false);
    sampleTimer_.stop();

    if (audioEngine_) {
        // Hands over the last, partly filled buffer before it returns.
        audioEngine_->stop();
        audioEngine_->inputNode().removeTapOnBus(0);
        audioEngine_.reset();
    }
    if (recordingOverlay_) {
        recordingOverlay_->hide();
        recordingOverlay_.reset();
    }
    audioDeviceManager_->setCurrentAudioLevel(0);

    // Every buffer has been converted by now; the resampler gives up its tail, then the samples
    // are taken whole.
    if (recordingTap_) {
        recordingTap_->finish();
        recordingTap_->takeSamples(recordedSamples_);
        if (const std::uint64_t dropped = recordingTap_->droppedSamples(); dropped > 0) {
            logger_.log(platform::OSLogType::error,
                        "The recording lost " + std::to_string(dropped) + " samples that were not taken in time");
        }
        recordingTap_.reset();
    }
}

void TranscriptionService::stopRecording() {
    if (!isRecording_) return;
    endRecording();
    if (recordedSamples_.size() < kMinimumSamples) {
        notify(RecordingState::idle);
        return;
    }
    std::vector<float> samples = std::move(recordedSamples_);
    recordedSamples_.clear();
    setProcessing(true);
    notify(RecordingState::processing);
    transcribe(std::move(samples));
}

void TranscriptionService::cancelRecording() {
    if (!isRecording_) return;
    endRecording();
    recordedSamples_.clear();
    notify(RecordingState::idle);
}

void TranscriptionService::transcribe(std::vector<float> samples) {
    if (!asrManager_ || samples.empty()) {
        setProcessing(false);
        notify(RecordingState::idle);
        return;
    }
    worker_.start([this, recognizer = asrManager_, samples = std::move(samples)] {
        const platform::CancellationToken::Scope scope(stop_);
        Recognition recognition = Recognition::run(*recognizer, samples);
        QMetaObject::invokeMethod(
            this,
            [this, recognition] {
                if (recognition.error) {
                    const std::string reason = platform::errorDescription(recognition.error);
                    logger_.log(platform::OSLogType::error, "❌ Transcription failed: " + reason);
                    setProcessing(false);
                    notify(RecordingState::idle);
                    if (onNotice)
                        onNotice("Transkription fehlgeschlagen",
                                 "Die Aufnahme konnte nicht in Text umgewandelt werden (" + reason +
                                     "). Versuche es noch einmal.");
                    return;
                }
                handleTranscriptionResult(*recognition.result, recognition.audioDuration, recognition.inferenceTime,
                                          recognition.inferenceTime / recognition.audioDuration);
            },
            Qt::QueuedConnection);
    });
}

void TranscriptionService::handleTranscriptionResult(const rarivoredu::ASRResult& result, double audioDuration,
                                                     double inferenceTime, double realTimeFactor) {
    std::string text = SpokenFormatting::applySpokenFormattingCommands(result.text, spokenFormattingCommandsEnabled());
    setLastTranscription(text);
    setProcessing(false);
    notify(RecordingState::idle);
    // No word at all was heard (a muted or wrong microphone, silence): the user learns why nothing
    // came. Words that were all formatting commands are no surprise.
    if (countWords(result.text) == 0) {
        postNotice("Nichts erkannt", "In der Aufnahme war keine Sprache zu erkennen, darum wurde nichts eingefügt. "
                                     "Prüfe in den Audio-Einstellungen, ob das richtige Mikrofon gewählt ist.");
        return;
    }
    if (text.empty()) return;

    if (!privacyModeEnabled()) {
        store(makeRecord(text, detectLanguage(text), audioDuration, inferenceTime, realTimeFactor));
    }
    deliverText(text);
}

void TranscriptionService::deliverText(const std::string& text) {
    if (text.empty()) return;
    if (pasteInPlaceMode()) {
        if (PasteHelper::checkAccessibilityPermission()) {
            pendingPaste_.start(text, [this, autoSend = autoSendText()](PendingPaste::Outcome outcome) {
                pasteFinished(outcome, autoSend);
            });
            return;
        }
        if (!hasShownGuidance()) {
            setHasShownGuidance(true);
            PasteHelper::requestAccessibilityPermission();
            QMetaObject::invokeMethod(this, [this] { showAccessibilityAlert(); }, Qt::QueuedConnection);
        }
    }
    if (!PasteHelper::copyToClipboard(text)) {
        postNotice("Text nicht kopiert", "Die Zwischenablage hat den Text nicht angenommen." + whereTheTextIs());
    }
}

void TranscriptionService::pasteFinished(PendingPaste::Outcome outcome, bool autoSend) {
    switch (outcome) {
        case PendingPaste::Outcome::pasted:
            if (autoSend) QTimer::singleShot(kReturnDelayMilliseconds, this, [this] { sendReturnKey(); });
            break;
        case PendingPaste::Outcome::copiedOnly:
            postNotice(kCopiedOnlyNotice, "Parloquin kann in das aktive Fenster nicht selbst einfügen.");
            break;
        case PendingPaste::Outcome::keysHeld:
            postNotice("Text in der Zwischenablage",
                       "Es waren noch Tasten gedrückt, darum hat Parloquin nicht eingefügt. Drücke Strg+V, um den "
                       "Text einzufügen.");
            break;
        case PendingPaste::Outcome::clipboardFailed:
            postNotice("Text nicht eingefügt",
                       "Die Zwischenablage hat den Text nicht angenommen, darum hat Parloquin nichts eingefügt." +
                           whereTheTextIs());
            break;
        case PendingPaste::Outcome::superseded:
            postNotice("Text nicht eingefügt",
                       "Ein neuerer Text war fertig, bevor die Tasten losgelassen wurden." + whereTheTextIs());
            break;
    }
}

std::string TranscriptionService::whereTheTextIs() const {
    return privacyModeEnabled() ? std::string() : std::string(" Du findest ihn im Verlauf.");
}

void TranscriptionService::sendReturnKey() { PasteHelper::pressKey(PasteHelper::kVirtualKeyReturn, 0); }

void TranscriptionService::showAccessibilityAlert() {
    if (!environment_.alerts) return;
    environment_.alerts->runModal(PasteGuidance::alert(PasteGuidance::current()));
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
    if (isRecording_ || isProcessing_) return refuse(TranscriptionError::busy());

    fileCancel_ = platform::CancellationToken();
    const auto now = std::chrono::steady_clock::now();
    fileJob_ = FileJob{url, 0, 0, now, now, false};
    setProcessing(true);
    notify(RecordingState::processing);
    emit fileJobChanged();
    worker_.start([this, recognizer = asrManager_, url, job = fileCancel_, completion = std::move(completion),
                   progress = std::move(progress)] {
        const platform::CancellationToken::Scope scope(job);
        // Each window's report is handed to the main thread, ahead of the result.
        const platform::Progress::Scope reporting([this, progress](std::int64_t done, std::int64_t count) {
            QMetaObject::invokeMethod(this, [this, progress, done, count] { fileProgressed(done, count, progress); },
                                      Qt::QueuedConnection);
        });
        Recognition recognition;
        std::optional<std::string> warning;
        try {
            double declaredSeconds = 0;
            const std::vector<float> samples = loadAudioFile16k(url, &declaredSeconds);
            if (samples.size() < kMinimumSamples) throw TranscriptionError::audioTooShort();
            platform::CancellationToken::checkCancellation();
            warning = shortfallWarning(declaredSeconds, static_cast<double>(samples.size()) / kSampleRate);
            recognition = Recognition::run(*recognizer, samples);
        } catch (...) {
            recognition.error = std::current_exception();
        }
        QMetaObject::invokeMethod(
            this, [this, recognition, completion, warning] { finishFile(recognition, completion, warning); },
            Qt::QueuedConnection);
    });
}

void TranscriptionService::cancelFileTranscription() {
    if (!fileJob_ || fileJob_->cancelling) return;
    fileCancel_.cancel();
    fileJob_->cancelling = true;
    emit fileJobChanged();
}

void TranscriptionService::fileProgressed(std::int64_t windowsDone, std::int64_t windowCount,
                                          const FileProgress& progress) {
    if (!fileJob_) return;
    fileJob_->windowsDone = windowsDone;
    fileJob_->windowCount = windowCount;
    fileJob_->reported = std::chrono::steady_clock::now();
    emit fileJobChanged();
    if (progress) progress(windowsDone, windowCount);
}

void TranscriptionService::finishFile(const Recognition& recognition, const FileCompletion& completion,
                                      const std::optional<std::string>& warning) {
    fileJob_.reset();
    setProcessing(false);
    notify(RecordingState::idle);
    emit fileJobChanged();
    auto finish = [this, &completion](const std::optional<TranscriptionRecord>& record, std::exception_ptr error,
                                      const std::optional<std::string>& told) {
        if (completion) completion(record, error, told);
        emit fileFinished(record, error, told);
    };
    if (recognition.error) return finish(std::nullopt, recognition.error, std::nullopt);
    const std::string& text = recognition.result->text;
    if (text.empty()) return finish(std::nullopt, nullptr, warning);
    const TranscriptionRecord record =
        makeRecord(text, detectLanguage(text), recognition.audioDuration, recognition.inferenceTime,
                   recognition.inferenceTime / recognition.audioDuration);
    if (!privacyModeEnabled()) store(record);
    setLastTranscription(text);
    if (warning) logger_.log(platform::OSLogType::error, *warning);
    finish(record, nullptr, warning);
}

TranscriptionRecord TranscriptionService::makeRecord(const std::string& text, std::optional<std::string> language,
                                                     double audioDuration, double inferenceTime,
                                                     double realTimeFactor) const {
    TranscriptionRecord record;
    record.text = text;
    record.timestamp = clock_->now();
    record.duration = audioDuration;
    record.charCount = platform::characterCount(text);
    record.wordCount = countWords(text);
    record.language = std::move(language);
    record.rtf = realTimeFactor;
    record.inferenceTime = inferenceTime;
    return record;
}

void TranscriptionService::store(const TranscriptionRecord& record) {
    historyManager_->addRecord(record);
    statisticsManager_->recordSession(record.charCount, record.wordCount, record.language, record.rtf,
                                      record.inferenceTime, record.duration);
}

namespace {

std::vector<float> readAudioFile16k(const std::filesystem::path& url, double* declaredSeconds) {
    platform::AVAudioFile file(url);
    if (declaredSeconds != nullptr) {
        const double rate = file.processingFormat().sampleRate();
        *declaredSeconds = rate > 0 ? static_cast<double>(file.length()) / rate : 0.0;
    }
    // A buffer counts its frames in 32 bits; a longer file would be cut to a fraction of itself.
    if (file.length() > static_cast<platform::AVAudioFramePosition>(std::numeric_limits<platform::AVAudioFrameCount>::max())) {
        throw TranscriptionError::fileReadError("Die Datei ist zu lang (" + std::to_string(file.length()) +
                                                " Frames, höchstens 4294967295)");
    }
    // Read and converted a block at a time: only the 16 kHz result grows with the file.
    const rarivoredu::AudioConverter converter(RecordingTap::targetFormat());
    try {
        return converter.resampleAudioFile(file);
    } catch (const rarivoredu::AudioConverterError& error) {
        switch (error.kind()) {
            case rarivoredu::AudioConverterError::Kind::failedToCreateConverter:
                throw TranscriptionError::converterError();
            case rarivoredu::AudioConverterError::Kind::failedToCreateBuffer:
                throw TranscriptionError::bufferError();
            case rarivoredu::AudioConverterError::Kind::conversionFailed:
                throw TranscriptionError::conversionError(
                    error.underlyingError() ? error.underlyingError()->localizedDescription() : "Conversion failed");
        }
        throw;
    }
}

}  // namespace

std::optional<std::string> TranscriptionService::shortfallWarning(double declaredSeconds, double decodedSeconds) {
    constexpr double kTolerance = 0.25;  // seconds: encoder priming and the resampler's edges
    if (!(declaredSeconds - decodedSeconds > kTolerance)) return std::nullopt;
    const std::string figures =
        platform::formatFixed(decodedSeconds, 1) + " s von " + platform::formatFixed(declaredSeconds, 1) + " s";
    return "Die Datei endet vorzeitig: Nur " + figures +
           " ließen sich lesen, die Transkription umfasst nur diesen Teil. Die Datei ist vermutlich unvollständig "
           "oder beschädigt.";
}

std::vector<float> TranscriptionService::loadAudioFile16k(const std::filesystem::path& url, double* declaredSeconds) {
    try {
        return readAudioFile16k(url, declaredSeconds);
    } catch (const platform::NSError& error) {
        // The audio layer says what went wrong in its own words; the user reads ours.
        if (error.domain() != platform::AVAudioError::domain) throw;
        const std::string name = "„" + url.filename().string() + "“";
        switch (error.code()) {
            case platform::AVAudioError::fileNotFound:
                throw TranscriptionError::fileReadError(name + " ist nicht vorhanden");
            case platform::AVAudioError::fileNotReadable:
                throw TranscriptionError::fileReadError(name + " lässt sich nicht öffnen");
            case platform::AVAudioError::unsupportedFile:
                throw TranscriptionError::fileReadError(name + " ist leer, beschädigt oder in keinem lesbaren Audioformat");
            case platform::AVAudioError::readFailed:
                throw TranscriptionError::fileReadError(name + " ist beschädigt und lässt sich nicht zu Ende lesen");
            default: throw;
        }
    }
}

std::optional<std::string> TranscriptionService::detectLanguage(const std::string& text) {
    if (text.empty()) return std::nullopt;
    platform::NLLanguageRecognizer recognizer;
    recognizer.processString(text);
    return recognizer.dominantLanguage();
}

std::int64_t TranscriptionService::countWords(std::string_view text) {
    std::int64_t count = 0;
    for (std::string_view piece : platform::componentsSeparatedByWhitespaceAndNewlines(text)) {
        if (!piece.empty()) ++count;
    }
    return count;
}

}  // namespace parloquin
