#pragma once

#include <filesystem>

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

    // Writes both bundles into `folder` (which must exist), without staging.
    static void writeBundles(const std::filesystem::path& segmentationCheckpoint,
                             const std::filesystem::path& embeddingCheckpoint, const std::filesystem::path& folder);
};

}  // namespace rarivoredu
