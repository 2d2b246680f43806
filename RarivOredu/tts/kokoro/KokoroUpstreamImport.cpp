#include "RarivOredu/tts/kokoro/KokoroUpstreamImport.h"

#include <atomic>
#include <mutex>
#include <optional>
#include <unistd.h>

#include "RarivOredu/checkpoint/TorchCheckpoint.h"
#include "RarivOredu/shared/AppLogger.h"
#include "RarivOredu/shared/DownloadUtils.h"
#include "RarivOredu/shared/UpstreamImport.h"
#include "RarivOredu/tts/kokoro/KokoroCheckpointImport.h"
#include "RarivOredu/tts/kokoro/KokoroVoicePack.h"

namespace rarivoredu {

namespace fs = std::filesystem;

namespace {

const AppLogger& logger() {
    static const AppLogger instance("KokoroUpstreamImport");
    return instance;
}

// The listing entry of a file of the upstream repository; nothing when the hub does not hold it.
std::optional<DownloadUtils::RepoFile> listed(const std::string& path) {
    return DownloadUtils::findRepoFile(KokoroUpstreamImport::repoId, path);
}

void fetch(const DownloadUtils::RepoFile& file, const fs::path& to) {
    DownloadUtils::downloadListedFile(KokoroUpstreamImport::repoId, file, to);
}

// A folder beside `near`, of this call alone, removed with everything in it when the object goes.
struct ScratchFolder {
    fs::path path;
    explicit ScratchFolder(const fs::path& near, const std::string& name)
        : path(near.parent_path() / ("." + near.filename().string() + "." + name + "-" + std::to_string(::getpid()) +
                                     "-" + std::to_string(next()))) {
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    static unsigned next() {
        static std::atomic<unsigned> counter{0};
        return counter++;
    }
};

}  // namespace

void KokoroUpstreamImport::registerImporter() {
    static std::once_flag once;
    std::call_once(once, [] { UpstreamImport::registerImporter(Repo::kokoro, &KokoroUpstreamImport::importFromHub); });
}

bool KokoroUpstreamImport::importFromHub(const fs::path& repoFolder) {
    const auto checkpoint = listed(checkpointFile);
    const auto config = checkpoint ? listed("config.json") : std::nullopt;
    if (!checkpoint || !config) {
        logger().info(std::string("The hub holds no ") + repoId + "; using its Kokoro bundles");
        return false;
    }
    logger().info(std::string("Fetching the Kokoro checkpoint from ") + repoId);
    const ScratchFolder scratch(repoFolder, "download");
    fetch(*config, scratch.path / "config.json");
    fetch(*checkpoint, scratch.path / checkpointFile);
    KokoroCheckpointImport::importFolder(scratch.path / checkpointFile, scratch.path / "config.json", repoFolder);
    logger().info("Imported the Kokoro models into " + repoFolder.string());
    return true;
}

bool KokoroUpstreamImport::fetchVoice(const std::string& voice, const fs::path& destination) {
    const auto file = listed("voices/" + voice + ".pt");
    if (!file) return false;
    const ScratchFolder scratch(destination, "download");
    fetch(*file, scratch.path / "voice.pt");
    KokoroVoicePack::fromCheckpoint(TorchCheckpoint::open(scratch.path / "voice.pt")).writeJSON(destination);
    return true;
}

}  // namespace rarivoredu
