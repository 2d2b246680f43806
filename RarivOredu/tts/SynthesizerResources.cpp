#include "RarivOredu/tts/SynthesizerResources.h"

#include <algorithm>
#include <exception>
#include <string>
#include <system_error>
#include <vector>

#include "Platform/text/StringSearch.h"
#include "Platform/text/UnicodeScalar.h"
#include "Platform/text/UnicodeText.h"
#include "RarivOredu/tts/EspeakG2P.h"
#include "RarivOredu/tts/KokoroVocabulary.h"
#include "RarivOredu/tts/LexiconCache.h"
#include "RarivOredu/tts/TTSError.h"
#include "RarivOredu/tts/TtsModels.h"

namespace rarivoredu::KokoroSynthesizer {
namespace {

constexpr std::size_t kMaxOutOfLexiconWords = 8;
constexpr std::size_t kSampleWords = 5;

// The letters, digits and apostrophes of a lower-cased word, "’" and "‘" read as "'".
std::string wordScalars(std::string_view part) {
    std::string kept;
    std::size_t position = 0;
    while (position < part.size()) {
        char32_t scalar = platform::nextScalar(part, position);
        if (scalar == U'\u2019' || scalar == U'\u2018') scalar = U'\'';
        if (platform::isLetterOrMarkScalar(scalar) || platform::isDecimalDigitScalar(scalar) || scalar == U'\'') {
            platform::appendScalar(kept, scalar);
        }
    }
    return kept;
}

}  // namespace

void loadLexiconAndVocabulary() {
    const std::filesystem::path directory = TtsModels::kokoroDirectory();
    const KokoroVocabulary::Map vocabulary = KokoroVocabulary::shared().getVocabulary();
    PhonemeSet allowed;
    allowed.reserve(vocabulary.size());
    for (const auto& [symbol, id] : vocabulary) allowed.insert(symbol);
    lexiconCache().ensureLoaded(directory, allowed);
}

void validateLexiconCoverage(std::string_view text) {
    const auto lexicon = lexiconCache().wordToPhonemes();
    std::vector<std::string> missing;
    // The parts are views of the lower-cased text, which must outlive the loop.
    const std::string lowered = platform::lowercased(text);
    for (const auto part : platform::componentsSeparatedByWhitespaceAndNewlines(lowered)) {
        if (part.empty()) continue;
        const std::string word = wordScalars(platform::lowercased(part));
        if (word.empty() || lexicon->count(word) != 0) continue;
        missing.push_back(word);
        if (missing.size() >= kMaxOutOfLexiconWords) break;
    }
    if (missing.empty()) return;
    std::sort(missing.begin(), missing.end());
    missing.erase(std::unique(missing.begin(), missing.end()), missing.end());
    std::string sample;
    for (std::size_t i = 0; i < missing.size() && i < kSampleWords; ++i) sample += (i == 0 ? "" : ", ") + missing[i];
    try {
        EspeakG2P::dataDirectory();
    } catch (const std::exception& error) {
        throw TTSError::processingFailed("G2P (eSpeak NG) unavailable but required for OOV words (" + sample +
                                         "): " + error.what());
    }
}

std::int64_t directorySize(const std::filesystem::path& directory) noexcept {
    std::error_code ec;
    std::filesystem::recursive_directory_iterator it(directory, ec);
    if (ec) return 0;
    std::int64_t total = 0;
    for (const std::filesystem::recursive_directory_iterator end; it != end; it.increment(ec)) {
        if (ec) break;
        std::error_code entryError;
        if (it->is_directory(entryError) || entryError) continue;
        const auto size = it->file_size(entryError);
        if (!entryError) total += static_cast<std::int64_t>(size);
    }
    return total;
}

}  // namespace rarivoredu::KokoroSynthesizer
