#include "RarivOredu/tts/LexiconCache.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <exception>
#include <string>
#include <utility>

#include "Platform/system/NSError.h"
#include "RarivOredu/tts/KokoroSynthesizerLogger.h"
#include "RarivOredu/tts/ResourceFile.h"
#include "RarivOredu/tts/TTSError.h"

namespace rarivoredu::KokoroSynthesizer {
namespace {

// A payload that cannot be decoded, described as the decoder would describe it.
struct DecodingFailure : std::exception {
    explicit DecodingFailure(const char* text) : text(text) {}
    const char* what() const noexcept override { return text; }
    const char* text;
};

constexpr const char* kWrongFormat = "The data couldn’t be read because it isn’t in the correct format.";
constexpr const char* kMissing = "The data couldn’t be read because it is missing.";

PhonemeLexicon decodeMap(const nlohmann::json& payload, const char* key, const PhonemeSet& allowed) {
    const auto member = payload.find(key);
    if (member == payload.end()) throw DecodingFailure(kMissing);
    if (!member->is_object()) throw DecodingFailure(kWrongFormat);
    PhonemeLexicon map;
    map.reserve(member->size());
    for (const auto& [word, phonemes] : member->items()) {
        if (!phonemes.is_array()) throw DecodingFailure(kWrongFormat);
        std::vector<std::string> kept;
        kept.reserve(phonemes.size());
        for (const auto& phoneme : phonemes) {
            if (!phoneme.is_string()) throw DecodingFailure(kWrongFormat);
            const auto& symbol = phoneme.get_ref<const std::string&>();
            if (allowed.contains(symbol)) kept.push_back(symbol);
        }
        map.emplace(word, std::move(kept));
    }
    return map;
}

std::int64_t utf16Length(const std::string& text) {
    std::int64_t units = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0) != 0x80) ++units;  // a lead byte starts a scalar
        if (byte >= 0xF0) ++units;           // four-byte scalars take a surrogate pair
    }
    return units;
}

}  // namespace

void LexiconCache::ensureLoaded(const std::filesystem::path& directory, const PhonemeSet& allowed) {
    const std::lock_guard<std::mutex> guard(lock_);
    if (isLoaded_ && !caseSensitiveWordToPhonemes_->empty()) return;
    if (!loadLocked(directory / fileName, allowed)) {
        throw TTSError::processingFailed("Missing lexicon cache (expected us_lexicon_cache.json)");
    }
}

bool LexiconCache::load(const std::filesystem::path& file, const PhonemeSet& allowed) {
    const std::lock_guard<std::mutex> guard(lock_);
    return loadLocked(file, allowed);
}

bool LexiconCache::loadLocked(const std::filesystem::path& file, const PhonemeSet& allowed) {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) return false;
    PhonemeLexicon lower;
    PhonemeLexicon caseSensitive;
    try {
        const std::string content = readResourceFile(file);
        const nlohmann::json payload = nlohmann::json::parse(content, nullptr, true);
        if (!payload.is_object()) throw DecodingFailure(kWrongFormat);
        lower = decodeMap(payload, "lower", allowed);
        caseSensitive = decodeMap(payload, "caseSensitive", allowed);
    } catch (const nlohmann::json::exception&) {
        return failLoad(kWrongFormat);
    } catch (const DecodingFailure& failure) {
        return failLoad(failure.what());
    } catch (const platform::NSError& error) {
        return failLoad(error.what());
    }
    // Entries left without symbols stay (the word is then known to be unsayable), but a lexicon
    // of nothing else is as good as none.
    const bool sayable = std::any_of(lower.begin(), lower.end(), [](const auto& entry) { return !entry.second.empty(); });
    if (!sayable) return false;
    const auto entries = lower.size();
    wordToPhonemes_ = std::make_shared<const PhonemeLexicon>(std::move(lower));
    caseSensitiveWordToPhonemes_ = std::make_shared<const PhonemeLexicon>(std::move(caseSensitive));
    isLoaded_ = true;
    logger().info("Loaded lexicon cache: " + std::to_string(entries) + " entries");
    return true;
}

bool LexiconCache::failLoad(const std::string& description) {
    logger().warning("Failed to load lexicon cache: " + description);
    wordToPhonemes_ = std::make_shared<const PhonemeLexicon>();
    caseSensitiveWordToPhonemes_ = std::make_shared<const PhonemeLexicon>();
    isLoaded_ = false;
    return false;
}

LexiconCache::Footprint LexiconCache::footprint() const {
    const std::lock_guard<std::mutex> guard(lock_);
    Footprint total;
    for (const auto* map : {wordToPhonemes_.get(), caseSensitiveWordToPhonemes_.get()}) {
        for (const auto& [word, phonemes] : *map) {
            ++total.entries;
            total.utf16Units += utf16Length(word);
            for (const auto& phoneme : phonemes) {
                ++total.phonemes;
                total.utf16Units += utf16Length(phoneme);
            }
        }
    }
    return total;
}

bool LexiconCache::isLoaded() const {
    const std::lock_guard<std::mutex> guard(lock_);
    return isLoaded_;
}

std::shared_ptr<const PhonemeLexicon> LexiconCache::wordToPhonemes() const {
    const std::lock_guard<std::mutex> guard(lock_);
    return wordToPhonemes_;
}

std::shared_ptr<const PhonemeLexicon> LexiconCache::caseSensitiveWordToPhonemes() const {
    const std::lock_guard<std::mutex> guard(lock_);
    return caseSensitiveWordToPhonemes_;
}

LexiconCache& lexiconCache() {
    static LexiconCache* const shared = new LexiconCache();
    return *shared;
}

}  // namespace rarivoredu::KokoroSynthesizer
