#include "Parloquin/services/Recognition.h"

#include <chrono>

#include "Platform/text/NLLanguageRecognizer.h"
#include "Platform/text/UnicodeText.h"

namespace parloquin {

Recognition Recognition::run(SpeechRecognizer& recognizer, const std::vector<float>& samples) {
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

TranscriptionRecord Recognition::record(const std::string& text, platform::Date now) const {
    TranscriptionRecord record;
    record.text = text;
    record.timestamp = now;
    record.duration = audioDuration;
    record.charCount = platform::characterCount(text);
    record.wordCount = countWords(text);
    record.language = detectLanguage(text);
    record.rtf = realTimeFactor();
    record.inferenceTime = inferenceTime;
    return record;
}

std::optional<std::string> Recognition::detectLanguage(const std::string& text) {
    if (text.empty()) return std::nullopt;
    platform::NLLanguageRecognizer recognizer;
    recognizer.processString(text);
    return recognizer.dominantLanguage();
}

std::int64_t Recognition::countWords(std::string_view text) {
    std::int64_t count = 0;
    for (std::string_view piece : platform::componentsSeparatedByWhitespaceAndNewlines(text)) {
        if (!piece.empty()) ++count;
    }
    return count;
}

}  // namespace parloquin
