#include "RarivOredu/diarization/DiarizerModelImport.h"

#include "RarivOredu/checkpoint/CheckpointError.h"
#include "RarivOredu/checkpoint/StagedModelFolder.h"
#include "RarivOredu/diarization/pyannote/PyannoteSegmentationNetwork.h"
#include "RarivOredu/diarization/pyannote/PyannoteWeights.h"
#include "RarivOredu/diarization/wespeaker/WespeakerNetwork.h"
#include "RarivOredu/shared/AppLogger.h"
#include "RarivOredu/shared/ModelNames.h"

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
        build(PyannoteWeights::fromCheckpoint(file));
    } catch (const CheckpointError& error) {
        logger().error(std::string("The ") + what + " checkpoint " + file.string() + " cannot be imported: " +
                       error.what());
        throw;
    }
}

}  // namespace

void DiarizerModelImport::writeBundles(const fs::path& segmentationCheckpoint, const fs::path& embeddingCheckpoint,
                                       const fs::path& folder) {
    fromCheckpoint(segmentationCheckpoint, "segmentation", [&](const PyannoteWeights& weights) {
        PyannoteSegmentationNetwork(weights).writeBundle(folder / ModelNames::Diarizer::segmentationFile);
    });
    fromCheckpoint(embeddingCheckpoint, "embedding", [&](const PyannoteWeights& weights) {
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
