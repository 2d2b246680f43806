#include "tests/support/asr/AsrFixtureModels.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <fstream>
#include <map>
#include <set>
#include <mutex>

#include <nlohmann/json.hpp>

#include "Platform/ml/InProcessEngine.h"
#include "Platform/ml/MLDictionaryFeatureProvider.h"
#include "Platform/ml/MultiArrayCopy.h"
#include "Platform/system/NSError.h"
#include "RarivOredu/shared/ANEOptimizer.h"
#include "tests/support/FixtureFeatures.h"
#include "tests/support/asr/AsrFixtureAudio.h"

namespace testsupport {

using platform::InProcessEngine;
using platform::MLDictionaryFeatureProvider;
using platform::MLFeatureProvider;
using platform::MLFeatureValue;
using platform::MLModel;
using platform::MLModelDescription;
using platform::MLMultiArray;
using platform::MLMultiArrayDataType;
using platform::MLMultiArrayPtr;

namespace {

constexpr int kFrameSamples = 1280;
constexpr int kHidden = 1024;
constexpr int kStateWidth = 640;
const std::string kWordMark = "\xE2\x96\x81";

MLFeatureValue arrayValue(MLMultiArrayPtr array) { return MLFeatureValue::featureValueWithMultiArray(std::move(array)); }

int frameCount(std::int64_t samples) { return static_cast<int>((samples + kFrameSamples - 1) / kFrameSamples); }

}  // namespace

struct AsrFixtureModels::Shared {
    AsrFixtureScript script;
    std::map<int, std::vector<ScriptedToken>> tokensAt;
    mutable std::mutex mutex;
    std::map<std::int64_t, std::string> words;
    std::vector<int> audioLengths;
    std::vector<int> audioSignalLengths;
    std::vector<int> fedTokens;
    std::atomic<int> decoderRuns{0};
    std::atomic<int> jointRuns{0};
    std::atomic<bool> failOnPrimingToken{false};
    std::set<std::string> registeredNames;
    std::function<void(int)> decoderHook;
    std::function<void(int)> jointHook;

    void callHook(const std::function<void(int)> Shared::*hook, int value) {
        std::function<void(int)> call;
        {
            std::lock_guard lock(mutex);
            call = this->*hook;
        }
        if (call) call(value);
    }

    MLDictionaryFeatureProvider::Dictionary preprocess(const MLFeatureProvider& inputs) {
        const auto audio = fixtureInput(inputs, "audio_signal");
        const auto length = fixtureInput(inputs, "audio_length");
        const std::int64_t samples = audio->shape()[1];
        const int frames = frameCount(samples);
        auto mel = MLMultiArray::create({1, frames}, MLMultiArrayDataType::float32);
        // The middle sample of each frame, or of the part of it that holds audio.
        const auto audioLength = std::min<std::int64_t>(samples, static_cast<std::int64_t>((*length)[0]));
        for (std::int64_t i = 0; i < frames; ++i) {
            const std::int64_t start = i * kFrameSamples;
            const std::int64_t middle = std::min(start + kFrameSamples / 2, std::max(start, audioLength - 1));
            mel->setValue(i, audio->valueAt({0, std::min(middle, samples - 1)}));
        }
        auto melLength = MLMultiArray::create({1}, MLMultiArrayDataType::int32);
        melLength->setValue(0, (*length)[0]);
        {
            std::lock_guard lock(mutex);
            audioLengths.push_back(static_cast<int>((*length)[0]));
            audioSignalLengths.push_back(static_cast<int>(samples));
        }
        return {{"mel", arrayValue(mel)}, {"mel_length", arrayValue(melLength)}};
    }

    MLDictionaryFeatureProvider::Dictionary encode(const MLFeatureProvider& inputs) const {
        const auto mel = fixtureInput(inputs, "mel");
        const auto melLength = fixtureInput(inputs, "mel_length");
        const std::int64_t frames = mel->shape()[1];
        const MLMultiArray::Shape shape = script.timeMajorEncoder ? MLMultiArray::Shape{1, frames, kHidden}
                                                            : MLMultiArray::Shape{1, kHidden, frames};
        auto encoded = MLMultiArray::create(shape, MLMultiArrayDataType::float32);
        for (std::int64_t i = 0; i < frames; ++i) {
            encoded->setValueAt(script.timeMajorEncoder ? MLMultiArray::Shape{0, i, 0} : MLMultiArray::Shape{0, 0, i},
                                (*mel)[i]);
        }
        auto encodedLength = MLMultiArray::create({1}, MLMultiArrayDataType::int32);
        encodedLength->setValue(0, frameCount(static_cast<std::int64_t>((*melLength)[0])));
        return {{"encoder", arrayValue(encoded)}, {"encoder_length", arrayValue(encodedLength)}};
    }

    MLDictionaryFeatureProvider::Dictionary decode(const MLFeatureProvider& inputs) {
        const int token = static_cast<int>((*fixtureInput(inputs, "targets"))[0]);
        callHook(&Shared::decoderHook, token);
        if (token == 0 && failOnPrimingToken) throw platform::NSError("fixture", 2, "Decoder refused the priming token");
        ++decoderRuns;
        {
            std::lock_guard lock(mutex);
            fedTokens.push_back(token);
        }
        const bool counts = token != script.blankId && token != 0;
        auto hidden = platform::cloneMultiArray(*fixtureInput(inputs, "h_in"));
        auto cell = platform::cloneMultiArray(*fixtureInput(inputs, "c_in"));
        hidden->setValue(0, hidden->operator[](0) + (counts ? 1 : 0));
        hidden->setValue(1, token);
        cell->setValue(0, cell->operator[](0) + 1);
        const auto projectionShape = script.featureLastProjection ? MLMultiArray::Shape{1, 1, kStateWidth}
                                                                  : MLMultiArray::Shape{1, kStateWidth, 1};
        auto projection = script.paddedProjection
                              ? rarivoredu::ANEOptimizer::createAlignedArray(projectionShape, MLMultiArrayDataType::float32)
                              : MLMultiArray::create(projectionShape, MLMultiArrayDataType::float32);
        projection->fill(0.0);
        projection->setValue(0, token);
        projection->setValue(1, (*hidden)[0]);
        return {{"decoder", arrayValue(projection)}, {"h_out", arrayValue(hidden)}, {"c_out", arrayValue(cell)}};
    }

    MLDictionaryFeatureProvider::Dictionary join(const MLFeatureProvider& inputs) {
        ++jointRuns;
        const int frame = frameOfMarker(static_cast<float>(fixtureInput(inputs, "encoder_step")->valueAt({0, 0, 0})));
        callHook(&Shared::jointHook, frame);
        if (script.failingFrame && frame == *script.failingFrame) {
            throw platform::NSError("fixture", 3, "Joint failed at frame " + std::to_string(frame));
        }
        const int lastFed = static_cast<int>(fixtureInput(inputs, "decoder_step")->valueAt({0, 0, 0}));
        int token = script.blankId;
        int bin = script.blankDurationBin;
        float probability = 0.0f;
        if (const auto it = script.blankDurationBinAt.find(frame); it != script.blankDurationBinAt.end()) bin = it->second;
        if (const auto it = tokensAt.find(frame); it != tokensAt.end()) {
            const auto& here = it->second;
            std::size_t next = 0;
            for (std::size_t j = 0; j < here.size(); ++j) {
                if (here[j].tokenId == lastFed) {
                    next = j + 1;
                    break;
                }
            }
            if (next < here.size()) {
                token = here[next].tokenId;
                bin = here[next].durationBin;
                probability = here[next].probability;
            }
        }
        auto tokenId = MLMultiArray::create({1, 1, 1}, MLMultiArrayDataType::int32);
        auto tokenProb = MLMultiArray::create({1, 1, 1}, MLMultiArrayDataType::float32);
        auto duration = MLMultiArray::create({1, 1, 1}, MLMultiArrayDataType::int32);
        tokenId->setValue(0, token);
        tokenProb->setValue(0, probability);
        duration->setValue(0, bin);
        return {{"token_id", arrayValue(tokenId)}, {"token_prob", arrayValue(tokenProb)}, {"duration", arrayValue(duration)}};
    }
};

namespace {

MLModelDescription preprocessorDescription() {
    MLModelDescription d;
    d.inputs = {arrayFeature("audio_signal", {}, MLMultiArrayDataType::float32, {{1, 1}, {1, -1}}),
                arrayFeature("audio_length", {1}, MLMultiArrayDataType::int32)};
    d.outputs = {arrayFeature("mel", {}, MLMultiArrayDataType::float32), arrayFeature("mel_length", {1}, MLMultiArrayDataType::int32)};
    return d;
}

MLModelDescription encoderDescription() {
    MLModelDescription d;
    d.inputs = {arrayFeature("mel", {}, MLMultiArrayDataType::float32, {{1, 1}, {1, -1}}),
                arrayFeature("mel_length", {1}, MLMultiArrayDataType::int32)};
    d.outputs = {arrayFeature("encoder", {}, MLMultiArrayDataType::float32),
                 arrayFeature("encoder_length", {1}, MLMultiArrayDataType::int32)};
    return d;
}

MLModelDescription decoderDescription() {
    MLModelDescription d;
    d.inputs = {arrayFeature("targets", {1, 1}, MLMultiArrayDataType::int32),
                arrayFeature("target_length", {1}, MLMultiArrayDataType::int32),
                arrayFeature("h_in", {2, 1, kStateWidth}, MLMultiArrayDataType::float32),
                arrayFeature("c_in", {2, 1, kStateWidth}, MLMultiArrayDataType::float32)};
    d.outputs = {arrayFeature("decoder", {}, MLMultiArrayDataType::float32),
                 arrayFeature("h_out", {2, 1, kStateWidth}, MLMultiArrayDataType::float32),
                 arrayFeature("c_out", {2, 1, kStateWidth}, MLMultiArrayDataType::float32)};
    return d;
}

MLModelDescription jointDescription() {
    MLModelDescription d;
    d.inputs = {arrayFeature("encoder_step", {1, kHidden, 1}, MLMultiArrayDataType::float32),
                arrayFeature("decoder_step", {1, kStateWidth, 1}, MLMultiArrayDataType::float32)};
    d.outputs = {arrayFeature("token_id", {1, 1, 1}, MLMultiArrayDataType::int32),
                 arrayFeature("token_prob", {1, 1, 1}, MLMultiArrayDataType::float32),
                 arrayFeature("duration", {1, 1, 1}, MLMultiArrayDataType::int32)};
    return d;
}

}  // namespace

AsrFixtureModels::AsrFixtureModels(AsrFixtureScript script) : shared_(std::make_shared<Shared>()) {
    shared_->script = std::move(script);
    for (const auto& token : shared_->script.tokens) {
        shared_->tokensAt[token.frame].push_back(token);
        shared_->words[token.tokenId] = token.text.empty() ? kWordMark + "t" + std::to_string(token.tokenId) : token.text;
    }
    auto shared = shared_;
    preprocessor_ = MLModel::withEngine(
        std::make_shared<InProcessEngine>([shared](const MLFeatureProvider& in) { return shared->preprocess(in); }),
        preprocessorDescription());
    encoder_ = MLModel::withEngine(
        std::make_shared<InProcessEngine>([shared](const MLFeatureProvider& in) { return shared->encode(in); }),
        encoderDescription());
    decoder_ = MLModel::withEngine(
        std::make_shared<InProcessEngine>([shared](const MLFeatureProvider& in) { return shared->decode(in); }),
        decoderDescription());
    joint_ = MLModel::withEngine(
        std::make_shared<InProcessEngine>([shared](const MLFeatureProvider& in) { return shared->join(in); }),
        jointDescription());
}

AsrFixtureModels::~AsrFixtureModels() {
    std::lock_guard lock(shared_->mutex);
    for (const auto& name : shared_->registeredNames) InProcessEngine::unregisterFactory(name);
}

std::unordered_map<std::int64_t, std::string> AsrFixtureModels::vocabulary() const {
    std::lock_guard lock(shared_->mutex);
    return {shared_->words.begin(), shared_->words.end()};
}

void AsrFixtureModels::addWord(std::int64_t tokenId, std::string text) {
    std::lock_guard lock(shared_->mutex);
    shared_->words[tokenId] = std::move(text);
}

rarivoredu::AsrModels AsrFixtureModels::asrModels(rarivoredu::AsrModelVersion version) const {
    rarivoredu::AsrModels models;
    models.encoder = encoder_;
    models.preprocessor = preprocessor_;
    models.decoder = decoder_;
    models.joint = joint_;
    models.vocabulary = vocabulary();
    models.version = version;
    return models;
}

std::map<std::string, FileTree> AsrFixtureModels::bundles() const {
    const std::string prefix = "asr-fixture-" + std::to_string(reinterpret_cast<std::uintptr_t>(shared_.get())) + "-";
    const std::pair<std::string, const platform::MLModelPtr*> models[] = {
        {"Preprocessor", &preprocessor_}, {"Encoder", &encoder_}, {"Decoder", &decoder_}, {"JointDecision", &joint_}};
    std::map<std::string, FileTree> result;
    for (const auto& [name, model] : models) {
        const std::string engineName = prefix + name;
        auto shared = shared_;
        InProcessEngine::registerFactory(engineName, [shared, name = name](const auto&, const auto&) {
            return std::make_shared<InProcessEngine>([shared, name](const MLFeatureProvider& in) {
                if (name == "Preprocessor") return shared->preprocess(in);
                if (name == "Encoder") return shared->encode(in);
                if (name == "Decoder") return shared->decode(in);
                return shared->join(in);
            });
        });
        {
            std::lock_guard lock(shared_->mutex);
            shared_->registeredNames.insert(engineName);
        }
        result[name + ".mlmodelc"] = ModelBundleFiles::inProcess((*model)->modelDescription(), engineName);
    }
    return result;
}

std::string AsrFixtureModels::vocabularyJson() const {
    nlohmann::json vocabulary = nlohmann::json::object();
    for (const auto& [id, text] : this->vocabulary()) vocabulary[std::to_string(id)] = text;
    return vocabulary.dump();
}

void AsrFixtureModels::writeBundles(const std::filesystem::path& folder) const {
    for (const auto& [name, files] : bundles()) ModelBundleFiles::write(files, (folder / name).string());
    std::ofstream(folder / "parakeet_vocab.json") << vocabularyJson();
}

void AsrFixtureModels::writeTorchScriptBundles(const std::filesystem::path& folder, std::int64_t tokenId,
                                               const std::string& text) const {
    const std::string token = std::to_string(tokenId);
    const std::string blank = std::to_string(shared_->script.blankId);
    const std::pair<std::string, std::string> sources[] = {
        {"Preprocessor",
         "def forward(self, audio_signal: Tensor, audio_length: Tensor) -> Dict[str, Tensor]:\n"
         "    frames = (audio_signal.size(1) + 1279) // 1280\n"
         "    return {'mel': torch.zeros([1, frames]), 'mel_length': audio_length}\n"},
        {"Encoder",
         "def forward(self, mel: Tensor, mel_length: Tensor) -> Dict[str, Tensor]:\n"
         "    frames = torch.div(mel_length + 1279, 1280, rounding_mode='floor').int()\n"
         "    return {'encoder': torch.zeros([1, 1024, mel.size(1)]), 'encoder_length': frames}\n"},
        // The projection carries the token fed last.
        {"Decoder",
         "def forward(self, targets: Tensor, target_length: Tensor, h_in: Tensor, c_in: Tensor) -> Dict[str, Tensor]:\n"
         "    projection = torch.zeros([1, 640, 1])\n"
         "    projection[0, 0, 0] = targets[0, 0].float()\n"
         "    return {'decoder': projection, 'h_out': h_in, 'c_out': c_in}\n"},
        // The word until it has been fed, then blanks that skip four frames.
        {"JointDecision",
         "def forward(self, encoder_step: Tensor, decoder_step: Tensor) -> Dict[str, Tensor]:\n"
         "    said = bool(decoder_step[0, 0, 0] == " + token + ".0)\n"
         "    token = torch.full([1, 1, 1], " + blank + " if said else " + token + ").int()\n"
         "    duration = torch.full([1, 1, 1], 4 if said else 0).int()\n"
         "    return {'token_id': token, 'token_prob': torch.full([1, 1, 1], 0.9), 'duration': duration}\n"},
    };
    const std::map<std::string, const platform::MLModelPtr*> models = {
        {"Preprocessor", &preprocessor_}, {"Encoder", &encoder_}, {"Decoder", &decoder_}, {"JointDecision", &joint_}};
    for (const auto& [name, source] : sources) {
        ModelBundleFiles::write(ModelBundleFiles::torchScript((*models.at(name))->modelDescription(), source),
                                (folder / (name + ".mlmodelc")).string());
    }
    nlohmann::json vocabulary = nlohmann::json::object();
    vocabulary[token] = text;
    std::ofstream(folder / "parakeet_vocab.json") << vocabulary.dump();
}

int AsrFixtureModels::preprocessorRuns() const {
    std::lock_guard lock(shared_->mutex);
    return static_cast<int>(shared_->audioLengths.size());
}

std::vector<int> AsrFixtureModels::audioLengths() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->audioLengths;
}

std::vector<int> AsrFixtureModels::audioSignalLengths() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->audioSignalLengths;
}

int AsrFixtureModels::decoderRuns() const { return shared_->decoderRuns; }

std::vector<int> AsrFixtureModels::fedTokens() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->fedTokens;
}

int AsrFixtureModels::jointRuns() const { return shared_->jointRuns; }

void AsrFixtureModels::clearObservations() {
    std::lock_guard lock(shared_->mutex);
    shared_->audioLengths.clear();
    shared_->audioSignalLengths.clear();
    shared_->fedTokens.clear();
    shared_->decoderRuns = 0;
    shared_->jointRuns = 0;
}

void AsrFixtureModels::setFailOnPrimingToken(bool fail) { shared_->failOnPrimingToken = fail; }

void AsrFixtureModels::setDecoderHook(std::function<void(int token)> hook) {
    std::lock_guard lock(shared_->mutex);
    shared_->decoderHook = std::move(hook);
}

void AsrFixtureModels::setJointHook(std::function<void(int frame)> hook) {
    std::lock_guard lock(shared_->mutex);
    shared_->jointHook = std::move(hook);
}

}  // namespace testsupport
