#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string_view>

#include "RarivOredu/asr/AsrModelVersion.h"

namespace rarivoredu {

struct ParakeetImportOptions {
    bool int8Encoder = false;  // the Encoder's linear layers as int8 (dynamic quantisation)
};

// Turns a Parakeet TDT checkpoint file (".nemo": a tar holding "model_config.yaml" and
// "model_weights.ckpt") into the model folder the recogniser loads.
class ParakeetImporter {
public:
    // step: "reading", "preprocessor", "encoder", "decoder", "joint", "vocabulary"; fraction 0…1
    // of the whole import. Called on the importing thread.
    using Progress = std::function<void(std::string_view step, double fraction)>;

    // Imports a .nemo (read in place, never extracted) into `versionFolder` (e.g.
    // <models>/parakeet-tdt-0.6b-v3-coreml): the four bundles and parakeet_vocab.json are
    // written into a StagedModelFolder that replaces versionFolder only when complete. Returns
    // the version the checkpoint is (v3: 8192 pieces, v2: 1024). Throws CheckpointError or
    // AsrModelsError with a clear text, ModelStorageError when the file system lacks the room
    // for the bundles (before anything is written); on any failure versionFolder is as it was. Checks
    // platform::CancellationToken::checkCancellation() between tensors and bundles (a cancelled
    // import throws its NSError). Two imports into the same folder at once: the second waits
    // for the first (RepoLock), then replaces its result.
    static AsrModelVersion importNemo(const std::filesystem::path& nemoFile,
                                      const std::filesystem::path& versionFolder,
                                      const ParakeetImportOptions& options = {}, const Progress& progress = {});

    // Bytes of free space an import into versionFolder's file system needs (bundles written).
    static std::uint64_t requiredSpace(const std::filesystem::path& nemoFile, const ParakeetImportOptions& options = {});
};

}  // namespace rarivoredu
