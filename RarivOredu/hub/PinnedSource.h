#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "RarivOredu/shared/AppLogger.h"

namespace rarivoredu {

// A file at a fixed address outside the hub whose content is pinned by its SHA-256: an upstream
// release that an import converts (the speech detector's ONNX export, the lexicon's word lists).
// It is fetched with its length bounded and its digest computed as the bytes arrive, and refused
// unless the digest is the pinned one; the same check serves a copy the user gives.
struct PinnedSource {
    std::string url;
    std::string sha256;          // the pinned digest, lower case
    std::uint64_t maximumBytes;  // a body longer than this is not the file, and is not stored whole
    std::string title;           // what the file is, as errors name it ("Silero VAD v6.2")

    // Fetches the file into `to` (VerifiedDownload::fetchFile) and checks its digest as
    // requireDigest does, naming it "The file at <url>".
    void fetch(const std::filesystem::path& to, const AppLogger& logger) const;

    // Throws CocoaError fileReadCorruptFile, "<what> is not <title>: SHA-256 <digest>, expected
    // <expected>", logged as an error on `logger`, unless `digest` is `expected`.
    static void requireDigest(const std::string& digest, const std::string& expected, const std::string& what,
                              const std::string& title, const AppLogger& logger);
};

}  // namespace rarivoredu
