#include "RarivOredu/tts/KokoroVocabulary.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <limits>
#include <optional>

#include "Platform/system/FileManager.h"
#include "Platform/system/NSError.h"
#include "RarivOredu/hub/HubEndpoint.h"
#include "RarivOredu/shared/AssetDownloader.h"
#include "RarivOredu/shared/Repo.h"
#include "RarivOredu/tts/ResourceFile.h"
#include "RarivOredu/tts/TTSError.h"
#include "RarivOredu/tts/TtsModels.h"
#include "RarivOredu/tts/TtsResourceDownloader.h"

namespace rarivoredu {
namespace fs = std::filesystem;
using platform::FileManager;

namespace {

constexpr std::int64_t kMinId = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kMaxId = std::numeric_limits<std::int32_t>::max();

// The id of a vocabulary value: integers as they are, floating-point numbers truncated toward
// zero. Nothing for other kinds of values; throws when the number does not fit 32 signed bits.
struct OutOfRange {};

std::optional<std::int32_t> idOf(const nlohmann::json& value) {
    if (value.is_number_unsigned()) {
        const auto number = value.get<std::uint64_t>();
        if (number > static_cast<std::uint64_t>(kMaxId)) throw OutOfRange{};
        return static_cast<std::int32_t>(number);
    }
    if (value.is_number_integer()) {
        const auto number = value.get<std::int64_t>();
        if (number < kMinId || number > kMaxId) throw OutOfRange{};
        return static_cast<std::int32_t>(number);
    }
    if (value.is_number_float()) {
        const double truncated = std::trunc(value.get<double>());
        if (!std::isfinite(truncated) || truncated < static_cast<double>(kMinId) ||
            truncated > static_cast<double>(kMaxId)) {
            throw OutOfRange{};
        }
        return static_cast<std::int32_t>(truncated);
    }
    return std::nullopt;
}

}  // namespace

KokoroVocabulary& KokoroVocabulary::shared() {
    static KokoroVocabulary* const instance = new KokoroVocabulary();
    return *instance;
}

KokoroVocabulary::KokoroVocabulary() : logger_("com.rarivoredu.tts", "KokoroVocabulary") {}

KokoroVocabulary::Map KokoroVocabulary::getVocabulary() {
    const std::lock_guard<std::mutex> guard(lock_);
    if (!isLoaded_) loadFromCacheLocked();
    return vocabulary_;
}

void KokoroVocabulary::loadVocabulary() {
    const std::lock_guard<std::mutex> guard(lock_);
    loadFromCacheLocked();
}

void KokoroVocabulary::loadFromCacheLocked() {
    const fs::path cacheDirectory = TtsModels::cacheDirectory();
    const fs::path file = TtsModels::kokoroDirectory(cacheDirectory) / fileName;
    if (!FileManager::fileExists(file)) {
        logger_.info("Vocabulary file not found in cache, downloading...");
        downloadLocked(cacheDirectory);
    }
    loadLocked(file);
}

void KokoroVocabulary::downloadVocabulary(const fs::path& cacheDirectory) {
    const std::lock_guard<std::mutex> guard(lock_);
    downloadLocked(cacheDirectory);
}

void KokoroVocabulary::downloadLocked(const fs::path& cacheDirectory) {
    const fs::path directory = TtsModels::kokoroDirectory(cacheDirectory);
    FileManager::createDirectory(directory, true);
    std::string remote;
    try {
        remote = HubEndpoint::resolveURL(Repo::kokoro, fileName);
    } catch (const std::exception&) {
        throw TTSError::downloadFailed("Invalid Kokoro vocabulary URL: " + TtsResourceDownloader::baseURL() + "/" +
                                       fileName);
    }
    try {
        AssetDownloader::ensure(AssetDownloader::Descriptor{fileName, remote, directory / fileName, true,
                                                            TtsResourceDownloader::jsonTransferMode(fileName)},
                                HubEndpoint::sharedSession(), logger_);
    } catch (const std::exception& error) {
        logger_.error(std::string("Failed to download vocabulary: ") + error.what());
        throw TTSError::downloadFailed(std::string("Failed to obtain Kokoro vocabulary: ") + error.what());
    }
}

void KokoroVocabulary::loadVocabulary(const std::filesystem::path& file) {
    const std::lock_guard<std::mutex> guard(lock_);
    loadLocked(file);
}

void KokoroVocabulary::loadLocked(const std::filesystem::path& file) {
    std::string content;
    try {
        content = readResourceFile(file);
    } catch (const platform::NSError& error) {
        logger_.error("Failed to read vocabulary at " + file.string() + ": " + error.what());
        throw TTSError::processingFailed(std::string("Failed to read Kokoro vocabulary: ") + error.what());
    }
    nlohmann::json root = nlohmann::json::parse(content, nullptr, false);
    if (root.is_discarded() || !root.is_object()) {
        logger_.error("Unexpected vocabulary JSON structure");
        throw TTSError::processingFailed("Unexpected Kokoro vocabulary format");
    }
    const auto vocab = root.find("vocab");
    if (vocab == root.end() || !vocab->is_object()) {
        logger_.error("Missing 'vocab' key in vocabulary JSON");
        throw TTSError::processingFailed("Missing 'vocab' key in Kokoro vocabulary");
    }
    bool allIntegers = true;
    for (const auto& value : *vocab) allIntegers = allIntegers && value.is_number_integer();
    Map loaded;
    loaded.reserve(vocab->size());
    for (const auto& [symbol, value] : vocab->items()) {
        try {
            if (const auto id = idOf(value)) loaded.emplace(symbol, *id);
        } catch (const OutOfRange&) {
            logger_.error("Vocabulary id out of range for symbol '" + symbol + "'");
            throw TTSError::processingFailed("Unexpected Kokoro vocabulary format");
        }
    }
    logger_.info("Loaded " + std::to_string(loaded.size()) + " vocabulary entries from " +
                 (allIntegers ? "integer map" : "generic map"));
    vocabulary_ = std::move(loaded);
    isLoaded_ = true;
}

bool KokoroVocabulary::isLoaded() const {
    const std::lock_guard<std::mutex> guard(lock_);
    return isLoaded_;
}

KokoroVocabulary::Map KokoroVocabulary::vocabulary() const {
    const std::lock_guard<std::mutex> guard(lock_);
    return vocabulary_;
}

}  // namespace rarivoredu
