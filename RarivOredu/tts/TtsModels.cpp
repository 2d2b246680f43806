#include "RarivOredu/tts/TtsModels.h"

#include <algorithm>
#include <chrono>
#include <future>
#include <string>

#include "Platform/ml/MLDictionaryFeatureProvider.h"
#include "Platform/ml/MLMultiArray.h"
#include "Platform/system/FileManager.h"
#include "RarivOredu/hub/ModelFolderLoader.h"
#include "RarivOredu/hub/RepoMirror.h"
#include "RarivOredu/shared/ModelPrediction.h"
#include "RarivOredu/shared/ModelStore.h"
#include "RarivOredu/shared/NumberFormat.h"
#include "RarivOredu/shared/Repo.h"
#include "RarivOredu/shared/RepoLock.h"
#include "RarivOredu/shared/SecondsSince.h"
#include "RarivOredu/tts/KokoroModelProbes.h"
#include "RarivOredu/tts/TTSError.h"
#include "RarivOredu/tts/kokoro/KokoroUpstreamImport.h"

namespace rarivoredu {
namespace fs = std::filesystem;
using platform::MLMultiArray;
using platform::MLMultiArrayDataType;

namespace {

// The requested variants in the order they are fetched and reported: both, 5 s first, when none
// are named; else by file name.
std::vector<TtsModels::Variant> requestOrder(const std::optional<std::set<TtsModels::Variant>>& variants) {
    if (!variants || variants->empty()) {
        return {ModelNames::TTS::Variant::fiveSecond, ModelNames::TTS::Variant::fifteenSecond};
    }
    std::vector<TtsModels::Variant> order(variants->begin(), variants->end());
    std::sort(order.begin(), order.end(), [](auto a, auto b) {
        return std::string(ModelNames::TTS::fileName(a)) < ModelNames::TTS::fileName(b);
    });
    return order;
}

platform::MLFeatureValue filledArray(const MLMultiArray::Shape& shape, MLMultiArrayDataType type, double value) {
    auto array = MLMultiArray::create(shape, type);
    if (value != 0.0) array->fill(value);
    return platform::MLFeatureValue::featureValueWithMultiArray(std::move(array));
}

}  // namespace

const AppLogger& TtsModels::logger() {
    static const AppLogger* const instance = new AppLogger("TtsModels");
    return *instance;
}

const char* TtsModels::label(Variant variant) noexcept {
    return variant == Variant::fiveSecond ? "5s" : "15s";
}

fs::path TtsModels::cacheDirectory() {
    const fs::path root = ModelStore::synthesisCacheFolder();
    if (!platform::FileManager::fileExists(root)) platform::FileManager::createDirectory(root, true);
    return root;
}

fs::path TtsModels::kokoroDirectory() { return kokoroDirectory(cacheDirectory()); }

fs::path TtsModels::kokoroDirectory(const fs::path& cacheDirectory) {
    return ModelStore::modelsFolder(cacheDirectory) / std::string(Repo(Repo::kokoro).folderName());
}

TtsModels TtsModels::download(const std::optional<std::set<Variant>>& variants) {
    const fs::path modelsDirectory = ModelStore::modelsFolder(cacheDirectory());
    const std::vector<Variant> order = requestOrder(variants);
    std::vector<std::string> names;
    for (const Variant variant : order) names.emplace_back(ModelNames::TTS::fileName(variant));

    // The repository's folder also holds the vocabulary, the lexicon and the voices, which may
    // come before the models. A folder that lacks a model it was never given is not a broken one:
    // the model is fetched into it, rather than the folder being replaced and the voices with it.
    // The folder is held while models are fetched and loaded, not while they warm up.
    std::map<std::string, platform::MLModelPtr> loaded;
    {
        const fs::path repoFolder = modelsDirectory / std::string(Repo(Repo::kokoro).folderName());
        const RepoLock lock(repoFolder);
        if (platform::FileManager::fileExists(repoFolder)) {
            const bool missing = std::any_of(names.begin(), names.end(), [&](const std::string& name) {
                return !platform::FileManager::fileExists(repoFolder / name);
            });
            // The folder may hold voices or the lexicon before any model: the upstream import
            // then makes both bundles, else each missing bundle comes from the repository.
            if (missing && !KokoroUpstreamImport::importFromHub(repoFolder)) {
                for (const auto& name : names) {
                    if (!platform::FileManager::fileExists(repoFolder / name)) {
                        RepoMirror::downloadDirectory(Repo::kokoro, name, repoFolder);
                    }
                }
            }
        }
        loaded =
            ModelFolderLoader::loadModels(Repo::kokoro, names, modelsDirectory, platform::MLComputeUnits::cpuAndGPU,
                                          &KokoroUpstreamImport::importFromHub);
    }
    TtsModels models;
    for (const Variant variant : order) {
        const auto found = loaded.find(ModelNames::TTS::fileName(variant));
        if (found == loaded.end() || !found->second) throw TTSError::modelNotFound(ModelNames::TTS::fileName(variant));
        models.kokoroModels[variant] = found->second;
    }
    warmUpAll(models.kokoroModels, order);
    return models;
}

void TtsModels::warmUpAll(const std::map<Variant, platform::MLModelPtr>& models, const std::vector<Variant>& order) {
    std::map<Variant, std::future<double>> timings;
    for (const auto& [variant, model] : models) {
        if (!model) continue;
        timings.emplace(variant, std::async(std::launch::async, [variant = variant, model = model] {
                            const auto started = std::chrono::steady_clock::now();
                            warmUp(*model, variant);
                            return secondsSince(started);
                        }));
    }
    std::map<Variant, double> seconds;
    for (auto& [variant, timing] : timings) seconds[variant] = timing.get();
    for (const Variant variant : order) {
        const auto found = seconds.find(variant);
        if (found == seconds.end()) continue;
        logger().info(std::string("Warm-up completed for ") + label(variant) + " in " + formatFixed(found->second, 2) + "s");
    }
}

void TtsModels::warmUp(const platform::MLModel& model, Variant variant) noexcept {
    try {
        const std::int64_t capacity = std::max(KokoroSynthesizer::inputIdsCapacity(model), 1);
        const std::int64_t dimension = std::max(KokoroSynthesizer::refSDimension(model), 1);
        MLMultiArray::Shape phases{1, 9};
        if (const auto* input = model.modelDescription().input("random_phases");
            input != nullptr && input->multiArrayConstraint && !input->multiArrayConstraint->shape.empty()) {
            phases = input->multiArrayConstraint->shape;
        }
        const platform::MLDictionaryFeatureProvider inputs({
            {"input_ids", filledArray({1, capacity}, MLMultiArrayDataType::int32, 0)},
            {"attention_mask", filledArray({1, capacity}, MLMultiArrayDataType::int32, 1)},
            {"ref_s", filledArray({1, dimension}, MLMultiArrayDataType::float32, 0)},
            {"random_phases", filledArray(phases, MLMultiArrayDataType::float32, 0)},
        });
        compatPrediction(model, inputs, platform::MLPredictionOptions{});
    } catch (const std::exception& error) {
        logger().warning(std::string("Warm-up prediction failed for variant ") + label(variant) + ": " + error.what());
    } catch (...) {
        logger().warning(std::string("Warm-up prediction failed for variant ") + label(variant) + ": unknown error");
    }
}

platform::MLModelPtr TtsModels::model(Variant variant) const {
    const auto found = kokoroModels.find(variant);
    return found == kokoroModels.end() ? nullptr : found->second;
}

std::set<TtsModels::Variant> TtsModels::availableVariants() const {
    std::set<Variant> variants;
    for (const auto& [variant, model] : kokoroModels) variants.insert(variant);
    return variants;
}

}  // namespace rarivoredu
