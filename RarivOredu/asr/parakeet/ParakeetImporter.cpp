#include "RarivOredu/asr/parakeet/ParakeetImporter.h"

#include "RarivOredu/asr/AsrModelsError.h"

// Temporary stand-in until the checkpoint import lands.
namespace rarivoredu {

AsrModelVersion ParakeetImporter::importNemo(const std::filesystem::path&, const std::filesystem::path&,
                                             const ParakeetImportOptions&, const Progress&) {
    throw AsrModelsError::loadingFailed("This build cannot import checkpoints yet");
}

std::uint64_t ParakeetImporter::requiredSpace(const std::filesystem::path& nemoFile, const ParakeetImportOptions&) {
    return std::filesystem::file_size(nemoFile);
}

}  // namespace rarivoredu
