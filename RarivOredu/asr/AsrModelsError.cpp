#include "RarivOredu/asr/AsrModelsError.h"

namespace rarivoredu {
namespace {

std::string describe(AsrModelsError::Kind kind, const std::string& message, const std::filesystem::path& path) {
    using Kind = AsrModelsError::Kind;
    switch (kind) {
        case Kind::modelNotFound: return "ASR model '" + message + "' not found at: " + path.string();
        case Kind::downloadFailed: return "Failed to download ASR models: " + message;
        case Kind::loadingFailed: return "Failed to load ASR models: " + message;
        case Kind::modelCompilationFailed:
            return "Failed to compile ASR models: " + message + ". Try deleting the models and re-downloading.";
    }
    return {};
}

}  // namespace

AsrModelsError::AsrModelsError(Kind kind, std::string message, std::filesystem::path path)
    : kind_(kind), message_(std::move(message)), path_(std::move(path)), description_(describe(kind_, message_, path_)) {}

}  // namespace rarivoredu
