#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace rarivoredu {

// Builds the diarizer's two compiled models from the public upstream checkpoints: pyannote's
// speaker segmentation ("pytorch_model.bin" of segmentation-3.0) and WeSpeaker's ResNet34 as
// pyannote packages it ("pytorch_model.bin" of wespeaker-voxceleb-resnet34-LM).
class DiarizerModelImport {
public:
    DiarizerModelImport() = delete;

    // Converts both checkpoints into `repoFolder`/pyannote_segmentation.mlmodelc and
    // `repoFolder`/wespeaker_v2.mlmodelc. The folder is written beside its place and swapped in
    // whole once both models are built, so a failure leaves what was there untouched. Throws
    // CheckpointError when a file is damaged or not of the expected network (the log names the
    // file), platform errors for the file system and the model runtime.
    static void importCheckpoints(const std::filesystem::path& segmentationCheckpoint,
                                  const std::filesystem::path& embeddingCheckpoint,
                                  const std::filesystem::path& repoFolder);

    // Offline import: the checkpoints the user has become the diarizer's folder in `directory`
    // (default: CoreMLDiarizer::defaultModelsDirectory's parent), under the repository's lock.
    static void importIntoModelsDirectory(const std::filesystem::path& segmentationCheckpoint,
                                          const std::filesystem::path& embeddingCheckpoint,
                                          const std::optional<std::filesystem::path>& directory = std::nullopt);

    // A checkpoint on the hub.
    struct Source {
        std::string repoId;
        std::string path;
        bool needsToken = false;  // a gated repository: asked for with HF_TOKEN
    };
    // The segmentation network: the official, gated repository when HF_TOKEN is set in the
    // environment, else the public copy anyone can fetch.
    static Source segmentationSource();
    static Source embeddingSource();

    // The upstream importer of Repo::diarizer (an UpstreamImport::Importer, which the diarizer's
    // model loading hands to the download): fetches both checkpoints,
    // each checked against the size and SHA-256 the hub's listing gives, and imports them into
    // `repoFolder` whole. False, with nothing changed, when the hub holds neither repository
    // (answers 404 for a listing) or lacks a file; throws when a transfer or the import fails.
    static bool importFromHub(const std::filesystem::path& repoFolder);

    // Writes both bundles into `folder` (which must exist), without staging.
    static void writeBundles(const std::filesystem::path& segmentationCheckpoint,
                             const std::filesystem::path& embeddingCheckpoint, const std::filesystem::path& folder);
};

}  // namespace rarivoredu
