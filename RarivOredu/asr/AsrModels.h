#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>

#include "Platform/ml/MLModel.h"
#include "Platform/ml/MLModelConfiguration.h"
#include "RarivOredu/asr/AsrModelVersion.h"
#include "RarivOredu/shared/UpstreamImport.h"

namespace rarivoredu {

// A loaded TDT model set: the four models, the configuration they were loaded with, the
// vocabulary and the version.
//
// On disk a version lives in <models directory>/<version folder name>, the models directory being
// $XDG_DATA_HOME/RarivOredu/Models. The functions below take a directory and work in the version
// folder beside it: its last path component is replaced by the version's folder name.
// Every function blocks; failures are AsrModelsError or the platform's NSError.
struct AsrModels {
    // Token id to token text; a word starts with U+2581.
    using Vocabulary = std::unordered_map<std::int64_t, std::string>;

    platform::MLModelPtr encoder;
    platform::MLModelPtr preprocessor;
    platform::MLModelPtr decoder;
    platform::MLModelPtr joint;
    platform::MLModelConfiguration configuration;
    Vocabulary vocabulary;
    AsrModelVersion version = AsrModelVersion::v3;

    // The four model folders; the vocabulary file is checked and read on its own.
    static const std::set<std::string>& requiredModels();

    static std::filesystem::path defaultCacheDirectory(AsrModelVersion version = AsrModelVersion::v3);
    // Low-precision accumulation allowed, CPU and Neural Engine.
    static platform::MLModelConfiguration defaultConfiguration();
    // As the default, with the flag as given; CPU only when the environment has a "CI" variable.
    static platform::MLModelConfiguration optimizedConfiguration(bool allowLowPrecisionAccumulationOnGPU = true);

    // Whether the four model folders and the vocabulary file exist in the version folder.
    static bool modelsExist(const std::filesystem::path& directory, AsrModelVersion version);
    // The version is read from the directory's path (v3 when it names none).
    static bool modelsExist(const std::filesystem::path& directory);

    // Makes sure the version's models and vocabulary are on disk; returns the directory given
    // (the version's default folder when none). No model is loaded here: load() is the one that
    // compiles them, once. With `force` the version folder is replaced by a fresh download; it is
    // kept when no fresh copy can be had (ModelFolderLoader::refetchRepo). Every download asks
    // `importer` first when one is given (ParakeetModelSetup::hubImporter makes the version's);
    // without one the repository's bundles are fetched.
    static std::filesystem::path download(const std::optional<std::filesystem::path>& directory = std::nullopt,
                                          bool force = false, AsrModelVersion version = AsrModelVersion::v3,
                                          const UpstreamImport::Importer& importer = {});
    // Loads the four models and the vocabulary. The preprocessor always runs on the CPU only. A
    // folder fetched again for a failed load goes through `importer` as download() does.
    static AsrModels load(const std::filesystem::path& directory,
                          const std::optional<platform::MLModelConfiguration>& configuration,
                          AsrModelVersion version, const UpstreamImport::Importer& importer = {});
    // Version v3, from the directory or its default folder.
    static AsrModels load(const std::optional<std::filesystem::path>& directory = std::nullopt,
                          const std::optional<platform::MLModelConfiguration>& configuration = std::nullopt);
    static AsrModels loadFromCache(const std::optional<platform::MLModelConfiguration>& configuration = std::nullopt,
                                   AsrModelVersion version = AsrModelVersion::v3);
    static AsrModels downloadAndLoad(const std::optional<std::filesystem::path>& directory = std::nullopt,
                                     const std::optional<platform::MLModelConfiguration>& configuration = std::nullopt,
                                     AsrModelVersion version = AsrModelVersion::v3);
    static AsrModels loadWithANEOptimization(const std::optional<std::filesystem::path>& directory = std::nullopt);

    // Reads "parakeet_vocab.json" from the version folder: a JSON object from decimal token ids to
    // token texts. Keys that are not whole numbers are skipped. Throws modelNotFound when the
    // file is missing and loadingFailed when it cannot be read, is not such an object, or holds
    // no token.
    static Vocabulary loadVocabulary(const std::filesystem::path& directory, AsrModelVersion version);
};

}  // namespace rarivoredu
