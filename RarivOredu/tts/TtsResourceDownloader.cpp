#include "RarivOredu/tts/TtsResourceDownloader.h"

#include "RarivOredu/tts/kokoro/KokoroUpstreamImport.h"

#include <nlohmann/json.hpp>

#include "Platform/system/AtomicFileWriter.h"
#include "Platform/system/CocoaError.h"
#include "Platform/system/FileManager.h"
#include "RarivOredu/hub/HubEndpoint.h"
#include "RarivOredu/shared/Repo.h"
#include "RarivOredu/tts/TTSError.h"
#include "RarivOredu/tts/TtsModels.h"
#include "RarivOredu/tts/VoiceId.h"

namespace rarivoredu {
namespace fs = std::filesystem;
using platform::FileManager;

namespace {

bool isPlainFileName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (const char c : name) {
        if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
    }
    return true;
}

}  // namespace

const AppLogger& TtsResourceDownloader::logger() {
    static const AppLogger* const instance = new AppLogger("TtsResourceDownloader");
    return *instance;
}

std::string TtsResourceDownloader::baseURL() {
    return HubEndpoint::configuredHubAddress() + "/" + std::string(Repo(Repo::kokoro).remotePath()) + "/resolve/main";
}

fs::path TtsResourceDownloader::voicesDirectory() { return TtsModels::kokoroDirectory() / "voices"; }

void TtsResourceDownloader::requireJson(const platform::Data& data, const std::string& description) {
    if (!nlohmann::json::accept(data.begin(), data.end())) {
        throw platform::CocoaError::make(platform::CocoaError::fileReadCorruptFile,
                                         "The downloaded " + description + " is not valid JSON");
    }
}

AssetDownloader::TransferMode TtsResourceDownloader::jsonTransferMode(const std::string& description) {
    return AssetDownloader::TransferMode::data([description](const platform::Data& data, const fs::path& destination) {
        requireJson(data, description);
        AssetDownloader::writeDataAtomically(data, destination);
    });
}

fs::path TtsResourceDownloader::downloadFile(const std::string& name) {
    if (!isPlainFileName(name)) throw TTSError::modelNotFound("Invalid URL for " + name);
    const fs::path directory = TtsModels::kokoroDirectory();
    FileManager::createDirectory(directory, true);
    const fs::path local = directory / name;
    if (FileManager::fileExists(local)) return local;

    std::string remote;
    try {
        remote = HubEndpoint::resolveURL(Repo::kokoro, name);
    } catch (const std::exception&) {
        throw TTSError::modelNotFound("Invalid URL for " + name);
    }
    try {
        AssetDownloader::ensure(AssetDownloader::Descriptor{name, remote, local, true, jsonTransferMode(name)},
                                HubEndpoint::sharedSession(), logger());
    } catch (const std::exception& error) {
        throw TTSError::modelNotFound("Failed to download " + name + ": " + error.what());
    }
    return local;
}

platform::Data TtsResourceDownloader::fetchVoiceEmbeddingData(const std::string& voice) {
    VoiceId::require(voice);
    std::string remote;
    try {
        remote = HubEndpoint::resolveURL(Repo::kokoro, "voices/" + voice + ".json");
    } catch (const std::exception&) {
        throw TTSError::modelNotFound("Invalid URL for voice embedding: " + voice);
    }
    const std::string description = voice + " voice embedding JSON";
    try {
        platform::Data data = AssetDownloader::fetchData(remote, description, HubEndpoint::sharedSession(), logger());
        logger().info("Downloaded voice embedding JSON for " + voice);
        return data;
    } catch (const std::exception& error) {
        throw TTSError::modelNotFound("Voice embedding JSON unavailable for " + voice + ": " + error.what());
    }
}

fs::path TtsResourceDownloader::ensureVoiceEmbedding(const std::string& voice) {
    VoiceId::require(voice);
    const fs::path directory = voicesDirectory();
    FileManager::createDirectory(directory, true);
    const fs::path local = directory / (voice + ".json");
    if (FileManager::fileExists(local)) return local;

    // A hub holding the public model serves the voice as a tensor file, converted here.
    try {
        if (KokoroUpstreamImport::fetchVoice(voice, local)) {
            logger().info("Voice embedding cached: " + voice);
            return local;
        }
    } catch (const std::exception& error) {
        throw TTSError::modelNotFound("Voice embedding unavailable for " + voice + ": " + error.what());
    }
    const platform::Data data = fetchVoiceEmbeddingData(voice);
    try {
        requireJson(data, voice + " voice embedding JSON");
    } catch (const std::exception& error) {
        throw TTSError::modelNotFound("Voice embedding JSON unavailable for " + voice + ": " + error.what());
    }
    platform::AtomicFileWriter().replace(local, std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
    logger().info("Voice embedding cached: " + voice);
    return local;
}

}  // namespace rarivoredu
