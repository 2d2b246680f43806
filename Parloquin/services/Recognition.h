#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Parloquin/services/SpeechRecognizer.h"
#include "Parloquin/services/TranscriptionRecord.h"
#include "RarivOredu/asr/ASRResult.h"

namespace parloquin {

// One run of the recogniser over 16 kHz mono samples, as the worker thread hands it back to the
// main thread: the result or the error, the length of the audio and how long the recogniser
// took. It also makes the history record of a recognised text (its counts, its language). A
// value type; run() is the only part that blocks, on the worker.
struct Recognition {
    // Recordings and files shorter than one second are not transcribed.
    static constexpr std::size_t kMinimumSamples = 16000;
    static constexpr double kSampleRate = 16000.0;

    std::optional<rarivoredu::ASRResult> result;
    std::exception_ptr error;
    double audioDuration = 0;
    double inferenceTime = 0;

    // Times the recogniser's call alone; an error it throws is kept, not thrown.
    static Recognition run(SpeechRecognizer& recognizer, const std::vector<float>& samples);

    double realTimeFactor() const { return inferenceTime / audioDuration; }
    // The record of the text dated now, with its character and word counts and its language.
    TranscriptionRecord record(const std::string& text, platform::Date now) const;

    // The dominant language of the text as a code ("de"), or none.
    static std::optional<std::string> detectLanguage(const std::string& text);
    // The non-empty pieces between white-space characters.
    static std::int64_t countWords(std::string_view text);
};

}  // namespace parloquin
