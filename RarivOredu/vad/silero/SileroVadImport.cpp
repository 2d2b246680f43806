#include "RarivOredu/vad/silero/SileroVadImport.h"

#include <cstdlib>
#include <fstream>
#include <mutex>

#include "Platform/system/CocoaError.h"
#include "Platform/system/SHA256.h"
#include "RarivOredu/checkpoint/OnnxModel.h"
#include "RarivOredu/checkpoint/StagedModelFolder.h"
#include "RarivOredu/shared/AppLogger.h"
#include "RarivOredu/shared/DownloadUtils.h"
#include "RarivOredu/shared/ModelNames.h"
#include "RarivOredu/shared/Repo.h"
#include "RarivOredu/shared/RepoLock.h"
#include "RarivOredu/shared/UpstreamImport.h"
#include "RarivOredu/vad/silero/SileroVadNetwork.h"
#include "RarivOredu/vad/silero/SileroVadWeights.h"

namespace rarivoredu {

namespace fs = std::filesystem;

namespace {

// The pinned file has 2.3 MB: a body far beyond that is not it, and is not stored whole.
constexpr std::uint64_t maximumOnnxBytes = 64ull << 20;

const AppLogger& logger() {
    static const AppLogger instance("SileroVadImport");
    return instance;
}

std::string fileDigest(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw platform::CocoaError::make(platform::CocoaError::fileNoSuchFile,
                                         "Cannot read " + path.string());
    }
    platform::SHA256 hash;
    char buffer[1 << 16];
    while (file) {
        file.read(buffer, sizeof buffer);
        hash.update(buffer, static_cast<std::size_t>(file.gcount()));
    }
    return hash.finalizeHex();
}

void requirePinnedDigest(const std::string& digest, const std::string& what) {
    if (digest == SileroVadImport::pinnedSHA256) return;
    const std::string description = what + " is not Silero VAD v6.2: SHA-256 " + digest + ", expected " +
                                    SileroVadImport::pinnedSHA256;
    logger().error(description);
    throw platform::CocoaError::make(platform::CocoaError::fileReadCorruptFile, description);
}

// Converts a checked ONNX file into the compiled model in the staged folder.
void build(const fs::path& onnxFile, const StagedModelFolder& stage) {
    const auto weights = SileroVadWeights::fromOnnx(OnnxModel::open(onnxFile));
    SileroVadNetwork::writeBundle(weights, stage.path() / ModelNames::VAD::sileroVadFile);
}

}  // namespace

void SileroVadImport::importFile(const fs::path& onnxFile, const fs::path& repoFolder, Check check) {
    if (check == Check::pinnedDigest) requirePinnedDigest(fileDigest(onnxFile), onnxFile.filename().string());
    // Not while a load of the repository looks at the folder.
    RepoLock lock(repoFolder);
    StagedModelFolder stage(repoFolder);
    build(onnxFile, stage);
    stage.commit();
    logger().info("Imported " + onnxFile.string() + " into " + repoFolder.string());
}

std::optional<std::string> SileroVadImport::sourceURL() {
    if (const char* configured = std::getenv("RARIVOREDU_VAD_ONNX_URL"); configured && *configured) {
        return std::string(configured);
    }
    if (const char* hub = std::getenv("RARIVOREDU_HUB_URL"); hub && *hub) return std::nullopt;
    return std::string(pinnedURL);
}

bool SileroVadImport::importFromSource(const fs::path& repoFolder) {
    const auto url = sourceURL();
    if (!url) return false;
    StagedModelFolder stage(repoFolder);
    const fs::path onnxFile = stage.path() / "silero_vad.onnx";
    platform::SHA256 hash;
    logger().info("Fetching the VAD model from " + *url);
    DownloadUtils::fetchFile(*url, onnxFile, {}, DownloadUtils::DownloadConfig::defaultConfig().timeout,
                             [&hash](const char* bytes, std::size_t length) { hash.update(bytes, length); },
                             maximumOnnxBytes);
    requirePinnedDigest(hash.finalizeHex(), "The file at " + *url);
    build(onnxFile, stage);
    fs::remove(onnxFile);
    stage.commit();
    logger().info("Imported the VAD model from " + *url);
    return true;
}

void SileroVadImport::registerImporter() {
    static std::once_flag once;
    std::call_once(once, [] { UpstreamImport::registerImporter(Repo::vad, &SileroVadImport::importFromSource); });
}

}  // namespace rarivoredu
