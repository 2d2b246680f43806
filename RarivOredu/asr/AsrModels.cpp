#include "RarivOredu/asr/AsrModels.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <vector>

#include "Platform/ml/MLModelBundle.h"
#include "Platform/system/CancellationToken.h"
#include "Platform/system/FileManager.h"
#include "RarivOredu/asr/AsrModelsError.h"
#include "RarivOredu/hub/ModelFolderLoader.h"
#include "RarivOredu/hub/RepoMirror.h"
#include "RarivOredu/shared/AppLogger.h"
#include "RarivOredu/shared/ModelNames.h"
#include "RarivOredu/shared/ModelSourceError.h"
#include "RarivOredu/shared/ModelStore.h"
#include "RarivOredu/shared/RepoLock.h"

namespace rarivoredu {
namespace fs = std::filesystem;
using platform::FileManager;
using platform::MLComputeUnits;

namespace {

const AppLogger& logger() {
    static const AppLogger instance("AsrModels");
    return instance;
}

// The directory without a trailing separator, so that its last component is a name.
fs::path trimmed(const fs::path& directory) {
    fs::path path = directory.lexically_normal();
    if (!path.has_filename() && path.has_parent_path() && path != path.root_path()) path = path.parent_path();
    return path;
}

// Where the models go for `directory`: its parent.
fs::path modelsDirectory(const fs::path& directory) { return trimmed(directory).parent_path(); }

fs::path versionFolder(const fs::path& directory, AsrModelVersion version) {
    return modelsDirectory(directory) / std::string(folderName(version));
}

struct ModelSpec {
    std::string fileName;
    MLComputeUnits computeUnits;
};

// Keys are whole decimal numbers: an optional sign, then ASCII digits, within 64 bits.
std::optional<std::int64_t> tokenId(const std::string& key) {
    std::string_view digits = key;
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    if (digits.empty()) return std::nullopt;
    const std::string_view unsignedPart = digits.front() == '-' ? digits.substr(1) : digits;
    if (unsignedPart.empty() ||
        !std::all_of(unsignedPart.begin(), unsignedPart.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return value;
}

// Runs `fetchModels`, then reads the vocabulary. A vocabulary that is missing or unusable is
// recovered like a model that fails to load: the version folder is replaced by a fresh download,
// on which the models are fetched and loaded again and the vocabulary read once more; when that
// fails, the folder is put back as it was.
AsrModels::Vocabulary withVocabularyRecovery(const fs::path& directory, AsrModelVersion version,
                                             const std::function<void()>& fetchModels,
                                             const UpstreamImport::Importer& importer) {
    fetchModels();
    std::exception_ptr cause;
    try {
        return AsrModels::loadVocabulary(directory, version);
    } catch (const AsrModelsError& error) {
        logger().warning(std::string("Vocabulary unusable: ") + error.what());
        cause = std::current_exception();
    }
    AsrModels::Vocabulary vocabulary;
    ModelFolderLoader::refetchRepo(
        repo(version), modelsDirectory(directory), cause,
        [&] {
            fetchModels();
            vocabulary = AsrModels::loadVocabulary(directory, version);
        },
        importer);
    return vocabulary;
}

// Every model folder the set needs is there with its description; what loads from them is
// learnt when they are loaded.
void requireModelFolders(const fs::path& folder) {
    for (const auto& name : AsrModels::requiredModels()) {
        const fs::path description = folder / name / platform::MLModelBundle::descriptionFileName;
        if (!FileManager::fileExists(description)) throw AsrModelsError::modelNotFound(name, folder / name);
    }
}

// Puts the version's model folders and a usable vocabulary on disk without loading a model: the
// load that follows is the one that compiles them. A folder this call downloads and that does
// not hold a usable set is removed and downloaded once more; one that was there is replaced by a
// fresh download (ModelFolderLoader::refetchRepo), and put back when none can be had. What trying
// again cannot mend (ModelSourceError::isPermanent) is thrown at once.
void fetchModelFiles(const fs::path& directory, AsrModelVersion version, const UpstreamImport::Importer& importer) {
    const fs::path folder = versionFolder(directory, version);
    const fs::path models = modelsDirectory(directory);
    const bool existed = FileManager::fileExists(folder);
    bool readingVocabulary = false;
    auto attempt = [&] {
        readingVocabulary = false;
        if (!FileManager::fileExists(folder)) RepoMirror::downloadRepo(repo(version), models, importer);
        requireModelFolders(folder);
        readingVocabulary = true;
        AsrModels::loadVocabulary(directory, version);
    };
    auto removeDownloaded = [&] {
        std::error_code ec;
        if (!existed) fs::remove_all(folder, ec);
    };
    std::exception_ptr cause;
    try {
        attempt();
        return;
    } catch (const std::exception& error) {
        removeDownloaded();
        if (platform::CancellationToken::currentIsCancelled()) throw;
        if (ModelSourceError::isPermanent(std::current_exception())) throw;
        logger().warning(std::string(readingVocabulary ? "Vocabulary unusable: " : "Model files unusable: ") +
                         error.what());
        cause = std::current_exception();
    }
    if (!existed) {
        logger().info("Downloading " + std::string(repo(version).folderName()) + " once more…");
        try {
            attempt();
        } catch (...) {
            removeDownloaded();
            throw;
        }
        return;
    }
    ModelFolderLoader::refetchRepo(repo(version), models, cause, attempt, importer);
}

}  // namespace

const std::set<std::string>& AsrModels::requiredModels() { return ModelNames::ASR::requiredModels(); }

fs::path AsrModels::defaultCacheDirectory(AsrModelVersion version) {
    return ModelStore::modelsFolder() / std::string(folderName(version));
}

platform::MLModelConfiguration AsrModels::defaultConfiguration() {
    platform::MLModelConfiguration configuration;
    configuration.allowLowPrecisionAccumulationOnGPU = true;
    configuration.computeUnits = MLComputeUnits::cpuAndNeuralEngine;
    return configuration;
}

platform::MLModelConfiguration AsrModels::optimizedConfiguration(bool allowLowPrecisionAccumulationOnGPU) {
    platform::MLModelConfiguration configuration;
    configuration.allowLowPrecisionAccumulationOnGPU = allowLowPrecisionAccumulationOnGPU;
    configuration.computeUnits =
        std::getenv("CI") != nullptr ? MLComputeUnits::cpuOnly : MLComputeUnits::cpuAndNeuralEngine;
    return configuration;
}

bool AsrModels::modelsExist(const fs::path& directory, AsrModelVersion version) {
    const fs::path folder = versionFolder(directory, version);
    for (const auto& name : requiredModels()) {
        if (!FileManager::fileExists(folder / name)) return false;
    }
    return FileManager::fileExists(folder / ModelNames::ASR::vocabulary);
}

bool AsrModels::modelsExist(const fs::path& directory) {
    std::string path = directory.string();
    std::transform(path.begin(), path.end(), path.begin(), [](unsigned char c) { return std::tolower(c); });
    const bool isV2 = path.find(folderName(AsrModelVersion::v2)) != std::string::npos;
    return modelsExist(directory, isV2 ? AsrModelVersion::v2 : AsrModelVersion::v3);
}

fs::path AsrModels::download(const std::optional<fs::path>& given, bool force, AsrModelVersion version,
                             const UpstreamImport::Importer& importer) {
    const fs::path directory = given.value_or(defaultCacheDirectory(version));
    const fs::path folder = versionFolder(directory, version);
    RepoLock lock(folder);

    if (!force && modelsExist(directory, version)) {
        logger().info("ASR models already present at: " + folder.string());
        return directory;
    }
    logger().info("Downloading ASR models to: " + folder.string());

    if (force && FileManager::fileExists(folder)) {
        // The version folder holds the models; the directory as given may be the caller's own.
        ModelFolderLoader::refetchRepo(
            repo(version), modelsDirectory(directory),
            std::make_exception_ptr(AsrModelsError::downloadFailed("A fresh copy was asked for")),
            [&] {
                requireModelFolders(folder);
                loadVocabulary(directory, version);
            },
            importer);
    } else {
        fetchModelFiles(directory, version, importer);
    }
    logger().info("Successfully downloaded ASR models");
    return directory;
}

AsrModels AsrModels::load(const fs::path& directory, const std::optional<platform::MLModelConfiguration>& given,
                          AsrModelVersion version, const UpstreamImport::Importer& importer) {
    logger().info("Loading ASR models from: " + directory.string());
    const platform::MLModelConfiguration configuration = given.value_or(defaultConfiguration());
    const fs::path models = modelsDirectory(directory);
    RepoLock lock(versionFolder(directory, version));

    AsrModels set;
    set.configuration = configuration;
    set.version = version;
    auto loadModels = [&] {
        set.preprocessor = set.encoder = set.decoder = set.joint = nullptr;
        const std::vector<ModelSpec> first{{ModelNames::ASR::preprocessorFile, MLComputeUnits::cpuOnly},
                                           {ModelNames::ASR::encoderFile, configuration.computeUnits}};
        for (const auto& spec : first) {
            auto loaded = ModelFolderLoader::loadModels(repo(version), {spec.fileName}, models, spec.computeUnits, importer);
            auto it = loaded.find(spec.fileName);
            if (it == loaded.end() || !it->second) continue;
            (spec.fileName == ModelNames::ASR::preprocessorFile ? set.preprocessor : set.encoder) = it->second;
            logger().info("Loaded " + spec.fileName + " with compute units: " + platform::name(spec.computeUnits));
        }
        if (!set.preprocessor || !set.encoder) {
            throw AsrModelsError::loadingFailed("Failed to load preprocessor or encoder model");
        }
        auto loaded = ModelFolderLoader::loadModels(
            repo(version), {ModelNames::ASR::decoderFile, ModelNames::ASR::jointFile}, models, configuration.computeUnits,
            importer);
        auto decoder = loaded.find(ModelNames::ASR::decoderFile);
        auto joint = loaded.find(ModelNames::ASR::jointFile);
        if (decoder == loaded.end() || joint == loaded.end() || !decoder->second || !joint->second) {
            throw AsrModelsError::loadingFailed("Failed to load decoder or joint model");
        }
        set.decoder = decoder->second;
        set.joint = joint->second;
    };
    set.vocabulary = withVocabularyRecovery(directory, version, loadModels, importer);
    logger().info("Successfully loaded all ASR models with optimized compute units");
    return set;
}

AsrModels AsrModels::load(const std::optional<fs::path>& directory,
                          const std::optional<platform::MLModelConfiguration>& configuration) {
    return load(directory.value_or(defaultCacheDirectory(AsrModelVersion::v3)), configuration, AsrModelVersion::v3);
}

AsrModels AsrModels::loadFromCache(const std::optional<platform::MLModelConfiguration>& configuration,
                                   AsrModelVersion version) {
    return load(defaultCacheDirectory(version), configuration, version);
}

AsrModels AsrModels::downloadAndLoad(const std::optional<fs::path>& directory,
                                     const std::optional<platform::MLModelConfiguration>& configuration,
                                     AsrModelVersion version) {
    const fs::path downloaded = download(directory, false, version);
    return load(downloaded, configuration, version);
}

AsrModels AsrModels::loadWithANEOptimization(const std::optional<fs::path>& directory) {
    const fs::path target = directory.value_or(defaultCacheDirectory(AsrModelVersion::v3));
    logger().info("Loading ASR models with ANE optimization from: " + target.string());
    return load(target, std::nullopt, AsrModelVersion::v3);
}

AsrModels::Vocabulary AsrModels::loadVocabulary(const fs::path& directory, AsrModelVersion version) {
    const fs::path path = versionFolder(directory, version) / ModelNames::ASR::vocabulary;
    if (!FileManager::fileExists(path)) {
        logger().warning("Vocabulary file not found at " + path.string() +
                         ". Please ensure the vocab file is downloaded with the models.");
        throw AsrModelsError::modelNotFound(ModelNames::ASR::vocabulary, path);
    }

    nlohmann::json document;
    try {
        std::ifstream in(path, std::ios::binary);
        if (!in) throw std::runtime_error("The file could not be opened.");
        std::ostringstream text;
        text << in.rdbuf();
        if (in.bad()) throw std::runtime_error("The file could not be read.");
        document = nlohmann::json::parse(text.str());
        if (!document.is_object() && !document.is_array()) {
            throw std::runtime_error("The top level is neither an object nor an array.");
        }
    } catch (const std::exception& error) {
        logger().error("Failed to load or parse vocabulary file at " + path.string() + ": " + error.what());
        throw AsrModelsError::loadingFailed("Vocabulary parsing failed");
    }

    // Anything but an object of strings would leave every transcript empty.
    const bool allStrings = document.is_object() &&
                            std::all_of(document.begin(), document.end(), [](const auto& v) { return v.is_string(); });
    if (!allStrings) {
        logger().error("Vocabulary file at " + path.string() + " is not an object of token texts");
        throw AsrModelsError::loadingFailed("Vocabulary has an unexpected format");
    }
    Vocabulary vocabulary;
    for (const auto& [key, value] : document.items()) {
        if (auto id = tokenId(key)) vocabulary[*id] = value.template get<std::string>();
    }
    logger().info("Loaded vocabulary with " + std::to_string(vocabulary.size()) + " tokens from " + path.string());
    if (vocabulary.empty()) {
        throw AsrModelsError::loadingFailed("Vocabulary holds no tokens");
    }
    return vocabulary;
}

}  // namespace rarivoredu
