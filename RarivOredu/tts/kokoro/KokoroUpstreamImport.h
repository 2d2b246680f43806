#pragma once

#include <filesystem>
#include <string>

namespace rarivoredu {

// The Kokoro repository from the public model `hexgrad/Kokoro-82M` on the hub: its checkpoint
// `kokoro-v1_0.pth` and `config.json` make both bundles and the vocabulary, and its
// `voices/<id>.pt` the voice files. Where the hub does not hold that model (a hub serving our own
// bundles), the callers fall back to our repository's files.
struct KokoroUpstreamImport {
    static constexpr const char* repoId = "hexgrad/Kokoro-82M";
    static constexpr const char* checkpointFile = "kokoro-v1_0.pth";

    // The repository download's importer: false when the hub lists no checkpoint and config;
    // true after fetching both (checked against the listing's size and SHA-256) and importing
    // them; throws the download's or the import's error, with `repoFolder` unchanged. Only the
    // checkpoint and the config are fetched: both variants are made from the same weights, and
    // voices come one at a time when a synthesis asks for them.
    static bool importFromHub(const std::filesystem::path& repoFolder);
    // The voice's `voices/<voice>.pt` as our voice file at `destination`: false when the hub does
    // not hold it; throws for a download that fails and CheckpointError for a file of another
    // shape, leaving `destination` as it was.
    static bool fetchVoice(const std::string& voice, const std::filesystem::path& destination);
};

}  // namespace rarivoredu
