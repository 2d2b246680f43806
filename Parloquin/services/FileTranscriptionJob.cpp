#include "Parloquin/services/FileTranscriptionJob.h"

#include <limits>

#include "Parloquin/services/RecordingTap.h"
#include "Parloquin/services/TranscriptionError.h"
#include "Platform/audio/AVAudioError.h"
#include "Platform/audio/AVAudioFile.h"
#include "Platform/text/NumberFormat.h"
#include "RarivOredu/shared/AudioConverter.h"
#include "RarivOredu/shared/AudioConverterError.h"

namespace parloquin {
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

FileTranscriptionJob FileTranscriptionJob::begin(const std::filesystem::path& file) {
    const auto now = std::chrono::steady_clock::now();
    FileTranscriptionJob job;
    job.file = file;
    job.started = now;
    job.reported = now;
    return job;
}

void FileTranscriptionJob::progressed(std::int64_t done, std::int64_t count) {
    windowsDone = done;
    windowCount = count;
    reported = std::chrono::steady_clock::now();
}

Recognition FileTranscriptionJob::run(SpeechRecognizer& recognizer, const std::filesystem::path& file,
                                      std::optional<std::string>& warning) {
    Recognition recognition;
    try {
        double declaredSeconds = 0;
        const std::vector<float> samples = loadAudioFile16k(file, &declaredSeconds);
        if (samples.size() < Recognition::kMinimumSamples) throw TranscriptionError::audioTooShort();
        platform::CancellationToken::checkCancellation();
        warning = shortfallWarning(declaredSeconds, static_cast<double>(samples.size()) / Recognition::kSampleRate);
        recognition = Recognition::run(recognizer, samples);
    } catch (...) {
        recognition.error = std::current_exception();
    }
    return recognition;
}

std::optional<std::string> FileTranscriptionJob::shortfallWarning(double declaredSeconds, double decodedSeconds) {
    constexpr double kTolerance = 0.25;  // seconds: encoder priming and the resampler's edges
    if (!(declaredSeconds - decodedSeconds > kTolerance)) return std::nullopt;
    const std::string figures =
        platform::formatFixed(decodedSeconds, 1) + " s von " + platform::formatFixed(declaredSeconds, 1) + " s";
    return "Die Datei endet vorzeitig: Nur " + figures +
           " ließen sich lesen, die Transkription umfasst nur diesen Teil. Die Datei ist vermutlich unvollständig "
           "oder beschädigt.";
}

std::vector<float> FileTranscriptionJob::loadAudioFile16k(const std::filesystem::path& url, double* declaredSeconds) {
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

}  // namespace parloquin
