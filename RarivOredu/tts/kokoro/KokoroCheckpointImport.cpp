#include "RarivOredu/tts/kokoro/KokoroCheckpointImport.h"

#include <fstream>
#include <algorithm>
#include <iterator>
#include <nlohmann/json.hpp>
#include <set>

#include "Platform/ml/MLDictionaryFeatureProvider.h"
#include "Platform/ml/MLModel.h"
#include "RarivOredu/checkpoint/CheckpointError.h"
#include "RarivOredu/checkpoint/TorchCheckpoint.h"
#include "RarivOredu/shared/StagedModelFolder.h"
#include "RarivOredu/tts/kokoro/KokoroBundleWriter.h"
#include "RarivOredu/tts/kokoro/KokoroScriptSource.h"
#include "RarivOredu/tts/kokoro/KokoroWeightNorm.h"

namespace rarivoredu {

namespace {

using Variant = ModelNames::TTS::Variant;

std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw CheckpointError::unreadable(path, "cannot be opened");
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The config's phoneme vocabulary as vocab_index.json holds it.
std::string vocabularyDocument(const std::string& configText) {
    const nlohmann::json config = nlohmann::json::parse(configText, nullptr, false);
    if (!config.is_object() || !config.contains("vocab") || !config["vocab"].is_object() || config["vocab"].empty()) {
        throw CheckpointError::malformed("config.json member vocab");
    }
    for (const auto& [symbol, id] : config["vocab"].items()) {
        if (symbol.empty() || !id.is_number_integer() || id.get<long long>() < 1 || id.get<long long>() > 100000) {
            throw CheckpointError::malformed("config.json member vocab");
        }
    }
    return nlohmann::json{{"vocab", config["vocab"]}}.dump(1);
}

// Tensors of the checkpoint the network does not use and may be left out.
bool ignorable(const std::string& name) {
    return name == "bert.embeddings.position_ids" || name == "bert.embeddings.token_type_ids" ||
           name == "bert.pooler.weight" || name == "bert.pooler.bias";
}

// The upstream AdaIN layers normalise with an affine instance norm whose scale and shift start at
// 1 and 0; a checkpoint trained without them (upstream loads it leniently) leaves them at that.
StateDict withInstanceNormDefaults(const StateDict& weights) {
    auto tensors = weights.arrays();
    for (const auto& [name, array] : weights.arrays()) {
        const std::string tail = ".fc.weight";
        if (name.size() <= tail.size() || name.compare(name.size() - tail.size(), tail.size(), tail) != 0) continue;
        const std::string layer = name.substr(0, name.size() - tail.size());
        if (!weights.contains(layer + ".fc.bias") || array->shape().size() != 2 || array->shape()[0] % 2 != 0) continue;
        const bool adain = layer.find(".norm1") != std::string::npos || layer.find(".norm2") != std::string::npos ||
                           layer.find(".adain1.") != std::string::npos || layer.find(".adain2.") != std::string::npos;
        if (!adain || weights.contains(layer + ".norm.weight") || weights.contains(layer + ".norm.bias")) continue;
        const std::int64_t channels = array->shape()[0] / 2;
        auto scale = platform::MLMultiArray::create({channels}, platform::MLMultiArrayDataType::float32);
        auto shift = platform::MLMultiArray::create({channels}, platform::MLMultiArrayDataType::float32);
        std::fill_n(scale->data<float>(), channels, 1.0f);
        std::fill_n(shift->data<float>(), channels, 0.0f);
        tensors[layer + ".norm.weight"] = scale;
        tensors[layer + ".norm.bias"] = shift;
    }
    return StateDict(std::move(tensors));
}

void refuseUnknownTensors(const StateDict& weights, const KokoroNetworkConfig& config) {
    const auto used = KokoroScriptSource::make(weights, config, 8, 8).weights;
    for (const auto& name : weights.names()) {
        if (!used.count(name) && !ignorable(name)) throw CheckpointError::malformed("Kokoro checkpoint entry '" + name + "'");
    }
}

// One prediction of a few ids: shapes the network cannot combine fail here.
void tryBundle(const std::filesystem::path& bundle) {
    using platform::MLFeatureValue;
    using platform::MLMultiArray;
    using platform::MLMultiArrayDataType;
    try {
        const auto model = platform::MLModel::modelWithContentsOfURL(bundle);
        const auto& inputs = model->modelDescription().inputs;
        const std::int64_t tokens = inputs.at(0).multiArrayConstraint->shape.at(1);
        const std::int64_t styleLength = inputs.at(2).multiArrayConstraint->shape.at(1);
        auto ids = MLMultiArray::create({1, tokens}, MLMultiArrayDataType::int32);
        auto mask = MLMultiArray::create({1, tokens}, MLMultiArrayDataType::int32);
        for (std::int64_t i = 0; i < tokens; ++i) {
            ids->data<std::int32_t>()[i] = i > 0 && i < 4 ? 1 : 0;
            mask->data<std::int32_t>()[i] = i < 5 ? 1 : 0;
        }
        auto style = MLMultiArray::create({1, styleLength}, MLMultiArrayDataType::float32);
        std::fill_n(style->data<float>(), styleLength, 0.0f);
        auto phases = MLMultiArray::create({1, 9}, MLMultiArrayDataType::float32);
        std::fill_n(phases->data<float>(), 9, 0.0f);
        model->predictionFromFeatures(platform::MLDictionaryFeatureProvider({
            {"input_ids", MLFeatureValue::featureValueWithMultiArray(ids)},
            {"attention_mask", MLFeatureValue::featureValueWithMultiArray(mask)},
            {"ref_s", MLFeatureValue::featureValueWithMultiArray(style)},
            {"random_phases", MLFeatureValue::featureValueWithMultiArray(phases)},
        }));
    } catch (const std::exception& error) {
        throw CheckpointError::malformed(std::string("Kokoro checkpoint weights (") + error.what() + ")");
    }
}

}  // namespace

const std::vector<std::string>& KokoroCheckpointImport::parts() {
    static const std::vector<std::string> names{"bert", "bert_encoder", "predictor", "text_encoder", "decoder"};
    return names;
}

StateDict KokoroCheckpointImport::readStateDict(const TorchCheckpoint& checkpoint) {
    std::map<std::string, platform::MLMultiArrayPtr> tensors;
    std::map<std::string, int> perPart;
    for (const auto& [name, record] : checkpoint.tensors()) {
        const auto dot = name.find('.');
        const std::string part = name.substr(0, dot);
        if (dot == std::string::npos || std::find(parts().begin(), parts().end(), part) == parts().end()) {
            throw CheckpointError::malformed("Kokoro checkpoint entry '" + name + "'");
        }
        std::string key = name.substr(dot + 1);
        if (key.rfind("module.", 0) == 0) key.erase(0, 7);
        if (key.empty()) throw CheckpointError::malformed("Kokoro checkpoint entry '" + name + "'");
        tensors[part + "." + key] = record.toFloat32();
        ++perPart[part];
    }
    for (const auto& part : parts()) {
        if (perPart[part] == 0) throw CheckpointError::missingTensor(part);
    }
    return StateDict(std::move(tensors));
}

void KokoroCheckpointImport::importFolder(const std::filesystem::path& checkpoint, const std::filesystem::path& config,
                                          const std::filesystem::path& target) {
    const std::string configText = readText(config);
    vocabularyDocument(configText);  // a bad configuration fails before the long read
    KokoroNetworkConfig::fromJSON(configText);
    importWeights(readStateDict(TorchCheckpoint::open(checkpoint)), configText, target);
}

void KokoroCheckpointImport::importWeights(const StateDict& read, const std::string& configText,
                                           const std::filesystem::path& target) {
    const StateDict weights = withInstanceNormDefaults(read);
    const std::string vocabulary = vocabularyDocument(configText);
    const KokoroNetworkConfig network = KokoroNetworkConfig::fromJSON(configText);
    refuseUnknownTensors(weights, network);

    StagedModelFolder staged(target);
    const StateDict folded = KokoroWeightNorm::fold(weights, staged.path() / ".weight-norm");
    std::filesystem::remove_all(staged.path() / ".weight-norm");
    for (const Variant variant : ModelNames::TTS::allVariants) {
        KokoroBundleWriter::write(staged.path() / ModelNames::TTS::fileName(variant), variant, folded, network);
    }
    tryBundle(staged.path() / ModelNames::TTS::fileName(Variant::fiveSecond));
    {
        const auto file = staged.path() / "vocab_index.json";
        std::ofstream out(file, std::ios::binary);
        out << vocabulary;
        out.close();
        if (!out) throw CheckpointError::unreadable(file, "cannot be written");
    }
    // What else the folder holds (voices, the lexicon) stays: copied, so that a failed swap
    // leaves the old folder whole.
    if (std::filesystem::is_directory(target)) {
        for (const auto& entry : std::filesystem::directory_iterator(target)) {
            const auto name = entry.path().filename();
            if (std::filesystem::exists(staged.path() / name)) continue;
            std::filesystem::copy(entry.path(), staged.path() / name, std::filesystem::copy_options::recursive);
        }
    }
    staged.commit();
}

}  // namespace rarivoredu
