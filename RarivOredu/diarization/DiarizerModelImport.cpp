#include "RarivOredu/diarization/DiarizerModelImport.h"

#include <cstdlib>

#include "Platform/net/URLError.h"
#include "Platform/system/FileManager.h"
#include "RarivOredu/checkpoint/CheckpointError.h"
#include "RarivOredu/checkpoint/StateDict.h"
#include "RarivOredu/diarization/CoreMLDiarizer.h"
#include "RarivOredu/diarization/pyannote/PyannoteSegmentationNetwork.h"
#include "RarivOredu/diarization/wespeaker/WespeakerNetwork.h"
#include "RarivOredu/hub/HubEndpoint.h"
#include "RarivOredu/hub/HubSource.h"
#include "RarivOredu/shared/AppLogger.h"
#include "RarivOredu/shared/ModelNames.h"
#include "RarivOredu/shared/Repo.h"
#include "RarivOredu/shared/RepoLock.h"
#include "RarivOredu/shared/StagedModelFolder.h"

namespace rarivoredu {

namespace fs = std::filesystem;

namespace {

const AppLogger& logger() {
    static const AppLogger instance("DiarizerModels");
    return instance;
}

// Runs `build`; a checkpoint that cannot be read or is of another network is logged by its file.
template <class Build>
void fromCheckpoint(const fs::path& file, const char* what, Build build) {
    try {
        build(StateDict::open(file));
    } catch (const CheckpointError& error) {
        logger().error(std::string("The ") + what + " checkpoint " + file.string() + " cannot be imported: " +
                       error.what());
        throw;
    }
}

// The hub token of the hub's own tools, when the user has one.
std::optional<std::string> hubToken() {
    const char* token = std::getenv("HF_TOKEN");
    if (token == nullptr || *token == '\0') return std::nullopt;
    return std::string(token);
}

bool hasStatus(const platform::NSError& error, const char* status) {
    return error.domain() == platform::URLError::domain && error.code() == platform::URLError::badServerResponse &&
           error.localizedDescription().find(std::string("(status ") + status + " from ") != std::string::npos;
}
bool isRefused(const platform::NSError& error) { return hasStatus(error, "401") || hasStatus(error, "403"); }

DiarizerModelImport::Source publicSegmentationSource() {
    return {"pyannote-community/speaker-diarization-community-1", "segmentation/pytorch_model.bin", false};
}

// The listing entry of a source's file; nothing when the hub does not hold it.
std::optional<RepoFile> listed(const DiarizerModelImport::Source& source) {
    return HubSource(source.repoId).find(source.path);
}

void fetch(const DiarizerModelImport::Source& source, const RepoFile& file, const fs::path& to) {
    HubSource(source.repoId).fetch(file, to);
}

}  // namespace

DiarizerModelImport::Source DiarizerModelImport::segmentationSource() {
    // segmentation-3.0 is gated: a user who accepted its conditions reaches it with a token.
    // Everyone else gets the copy of the same network that pyannote's community pipeline
    // publishes without conditions.
    if (hubToken()) return {"pyannote/segmentation-3.0", "pytorch_model.bin", true};
    return publicSegmentationSource();
}

DiarizerModelImport::Source DiarizerModelImport::embeddingSource() {
    return {"pyannote/wespeaker-voxceleb-resnet34-LM", "pytorch_model.bin", false};
}

bool DiarizerModelImport::importFromHub(const fs::path& repoFolder) {
    Source segmentation = segmentationSource();
    const Source embedding = embeddingSource();
    const auto token = hubToken();
    struct ForgetToken {
        std::string repoId;
        ~ForgetToken() { HubEndpoint::setAccessToken(repoId, {}); }
    } forget{segmentation.repoId};
    if (segmentation.needsToken && token) HubEndpoint::setAccessToken(segmentation.repoId, *token);

    std::optional<RepoFile> segmentationFile;
    try {
        segmentationFile = listed(segmentation);
    } catch (const platform::NSError& error) {
        if (!segmentation.needsToken || !isRefused(error)) throw;
        // HF_TOKEN is set for the hub's other repositories, not admitted to this one.
        logger().warning("The hub refused the token for " + segmentation.repoId + "; using the public copy");
        segmentation = publicSegmentationSource();
        segmentationFile = listed(segmentation);
    }
    const auto embeddingFile = segmentationFile ? listed(embedding) : std::nullopt;
    if (!segmentationFile || !embeddingFile) {
        logger().info("The hub holds no upstream diarizer checkpoints; using its model bundles");
        return false;
    }
    logger().info("Fetching the diarizer checkpoints from " + segmentation.repoId + " and " + embedding.repoId);
    StagedModelFolder stage(repoFolder);
    const fs::path checkpoints = stage.path() / ".checkpoints";
    fetch(segmentation, *segmentationFile, checkpoints / "segmentation.bin");
    fetch(embedding, *embeddingFile, checkpoints / "embedding.bin");
    writeBundles(checkpoints / "segmentation.bin", checkpoints / "embedding.bin", stage.path());
    fs::remove_all(checkpoints);
    stage.commit();
    logger().info("Imported the diarizer models");
    return true;
}

void DiarizerModelImport::importIntoModelsDirectory(const fs::path& segmentationCheckpoint,
                                                    const fs::path& embeddingCheckpoint,
                                                    const std::optional<fs::path>& directory) {
    const fs::path models = directory ? *directory : CoreMLDiarizer::defaultModelsDirectory().parent_path();
    const fs::path repoFolder = models / std::string(Repo(Repo::diarizer).folderName());
    platform::FileManager::createDirectory(models);
    RepoLock lock(repoFolder);
    importCheckpoints(segmentationCheckpoint, embeddingCheckpoint, repoFolder);
}

void DiarizerModelImport::writeBundles(const fs::path& segmentationCheckpoint, const fs::path& embeddingCheckpoint,
                                       const fs::path& folder) {
    fromCheckpoint(segmentationCheckpoint, "segmentation", [&](const StateDict& weights) {
        PyannoteSegmentationNetwork(weights).writeBundle(folder / ModelNames::Diarizer::segmentationFile);
    });
    fromCheckpoint(embeddingCheckpoint, "embedding", [&](const StateDict& weights) {
        WespeakerNetwork(weights).writeBundle(folder / ModelNames::Diarizer::embeddingFile);
    });
}

void DiarizerModelImport::importCheckpoints(const fs::path& segmentationCheckpoint,
                                            const fs::path& embeddingCheckpoint, const fs::path& repoFolder) {
    logger().info("Importing the diarizer models into " + repoFolder.string());
    StagedModelFolder stage(repoFolder);
    writeBundles(segmentationCheckpoint, embeddingCheckpoint, stage.path());
    stage.commit();
    logger().info("Imported the diarizer models");
}

}  // namespace rarivoredu
