#include "RarivOredu/tts/kokoro/KokoroUpstreamImport.h"

#include <atomic>
#include <charconv>
#include <cstdint>
#include <mutex>
#include <optional>
#include <unistd.h>

#include "RarivOredu/checkpoint/TorchCheckpoint.h"
#include "RarivOredu/hub/HubListing.h"
#include "RarivOredu/hub/VerifiedDownload.h"
#include "RarivOredu/shared/AppLogger.h"
#include "RarivOredu/shared/ModelStore.h"
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
std::optional<RepoFile> listed(const std::string& path) {
    return HubListing::findRepoFile(KokoroUpstreamImport::repoId, path);
}

void fetch(const RepoFile& file, const fs::path& to) {
    VerifiedDownload::downloadListedFile(KokoroUpstreamImport::repoId, file, to);
}

// A folder beside `near`, of this call alone, removed with everything in it when the object goes.
// Its name is ".<near>.<name>-<pid>-<n>"; folders of that form whose process no longer runs (a
// kill, a power cut) are removed when the next one is made.
struct ScratchFolder {
    fs::path path;
    explicit ScratchFolder(const fs::path& near, const std::string& name)
        : path(near.parent_path() / (stem(near, name) + std::to_string(::getpid()) + "-" + std::to_string(next()))) {
        removeAbandoned(near, name);
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
    static std::string stem(const fs::path& near, const std::string& name) {
        return "." + near.filename().string() + "." + name + "-";
    }
    // The pid in "<stem><pid>-<n>", when the name has that form.
    static std::optional<std::uint64_t> ownerOf(const std::string& entry, const std::string& stem) {
        if (entry.rfind(stem, 0) != 0) return std::nullopt;
        const std::string rest = entry.substr(stem.size());
        const std::size_t dash = rest.find('-');
        if (dash == 0 || dash == std::string::npos || dash + 1 == rest.size()) return std::nullopt;
        if (rest.find_first_not_of("0123456789-") != std::string::npos || rest.find('-', dash + 1) != std::string::npos)
            return std::nullopt;
        std::uint64_t pid = 0;
        const auto read = std::from_chars(rest.data(), rest.data() + dash, pid);
        return read.ec == std::errc() ? std::optional(pid) : std::nullopt;
    }
    static void removeAbandoned(const fs::path& near, const std::string& name) {
        const std::string prefix = stem(near, name);
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(near.parent_path(), error)) {
            const auto pid = ownerOf(entry.path().filename().string(), prefix);
            if (!pid || ModelStore::processRuns(*pid)) continue;
            std::error_code ignored;
            fs::remove_all(entry.path(), ignored);
        }
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
