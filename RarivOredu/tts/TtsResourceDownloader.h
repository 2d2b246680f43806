#pragma once

#include <filesystem>
#include <string>

#include "Platform/system/Data.h"
#include "RarivOredu/shared/AppLogger.h"
#include "RarivOredu/shared/AssetDownloader.h"

namespace rarivoredu {

// Single files of the Kokoro repository, fetched from the model hub into the synthesis cache:
//   <hub>/ViridErevidaro/kokoro-82m-coreml/resolve/main/<name>         → <cache>/Models/kokoro/<name>
//   <hub>/ViridErevidaro/kokoro-82m-coreml/resolve/main/voices/<id>.json → <cache>/Models/kokoro/voices/<id>.json
// Only answers that are JSON documents are stored, each by an atomic replace, so that a broken
// answer never stays in the cache. A file already in the cache is used as it is. Any thread may
// call these functions.
class TtsResourceDownloader {
public:
    TtsResourceDownloader() = delete;

    static const AppLogger& logger();
    // The repository's download address as configured, without a trailing "/". Not checked: the
    // downloads refuse a hub address that is no http or https URL.
    static std::string baseURL();
    // <cache>/Models/kokoro/voices
    static std::filesystem::path voicesDirectory();

    // A top-level repository file (a plain file name) in the cache, downloaded when missing.
    // Throws TTSError.modelNotFound "Invalid URL for <name>" or "Failed to download <name>: …";
    // errors of the cache folder as they come.
    static std::filesystem::path downloadFile(const std::string& name);
    // A voice file's bytes, always from the hub. Throws TTSError.processingFailed for an invalid
    // voice id, before any network access, and TTSError.modelNotFound "Voice embedding JSON
    // unavailable for <voice>: …" when the hub does not answer with it.
    static platform::Data fetchVoiceEmbeddingData(const std::string& voice);
    // The voice's file in the cache, downloaded when missing; checks the id first, as above.
    static std::filesystem::path ensureVoiceEmbedding(const std::string& voice);

    // Stores a payload only when it is a JSON document; else throws NSError (Cocoa domain,
    // fileReadCorruptFile) "The downloaded <description> is not valid JSON".
    static AssetDownloader::TransferMode jsonTransferMode(const std::string& description);
    static void requireJson(const platform::Data& data, const std::string& description);
};

}  // namespace rarivoredu
