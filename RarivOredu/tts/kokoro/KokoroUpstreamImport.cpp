#include "RarivOredu/tts/kokoro/KokoroUpstreamImport.h"

#include <optional>

#include "RarivOredu/checkpoint/TorchCheckpoint.h"
#include "RarivOredu/hub/HubSource.h"
#include "RarivOredu/shared/AppLogger.h"
#include "RarivOredu/shared/StagedModelFolder.h"
#include "RarivOredu/tts/kokoro/KokoroCheckpointImport.h"
#include "RarivOredu/tts/kokoro/KokoroVoicePack.h"

namespace rarivoredu {

namespace fs = std::filesystem;

namespace {

const AppLogger& logger() {
    static const AppLogger instance("KokoroUpstreamImport");
    return instance;
}

// The upstream repository the checkpoint and the voices come from.
const HubSource& upstream() {
    static const HubSource source(KokoroUpstreamImport::repoId);
    return source;
}

std::optional<RepoFile> listed(const std::string& path) { return upstream().find(path); }

void fetch(const RepoFile& file, const fs::path& to) { upstream().fetch(file, to); }

// A folder beside `near` for this call's downloads, ".<near>.<name>-<pid>-<n>", removed with
// everything in it when the call ends.
StagedModelFolder scratchBeside(const fs::path& near, const std::string& name) {
    return StagedModelFolder(near.parent_path(), "." + near.filename().string() + "." + name + "-");
}

}  // namespace

bool KokoroUpstreamImport::importFromHub(const fs::path& repoFolder) {
    const auto checkpoint = listed(checkpointFile);
    const auto config = checkpoint ? listed("config.json") : std::nullopt;
    if (!checkpoint || !config) {
        logger().info(std::string("The hub holds no ") + repoId + "; using its Kokoro bundles");
        return false;
    }
    logger().info(std::string("Fetching the Kokoro checkpoint from ") + repoId);
    const StagedModelFolder scratch = scratchBeside(repoFolder, "download");
    fetch(*config, scratch.path() / "config.json");
    fetch(*checkpoint, scratch.path() / checkpointFile);
    KokoroCheckpointImport::importFolder(scratch.path() / checkpointFile, scratch.path() / "config.json", repoFolder);
    logger().info("Imported the Kokoro models into " + repoFolder.string());
    return true;
}

bool KokoroUpstreamImport::fetchVoice(const std::string& voice, const fs::path& destination) {
    const auto file = listed("voices/" + voice + ".pt");
    if (!file) return false;
    const StagedModelFolder scratch = scratchBeside(destination, "download");
    fetch(*file, scratch.path() / "voice.pt");
    KokoroVoicePack::fromCheckpoint(TorchCheckpoint::open(scratch.path() / "voice.pt")).writeJSON(destination);
    return true;
}

}  // namespace rarivoredu
