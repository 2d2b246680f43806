#include "tests/support/vad/VadFixtureModel.h"

#include <cmath>
#include <mutex>
#include <set>

#include "Platform/ml/InProcessEngine.h"
#include "Platform/ml/MLDictionaryFeatureProvider.h"
#include "Platform/system/NSError.h"
#include "tests/support/FixtureFeatures.h"

namespace testsupport {

using platform::InProcessEngine;
using platform::MLDictionaryFeatureProvider;
using platform::MLFeatureProvider;
using platform::MLFeatureValue;
using platform::MLModel;
using platform::MLModelDescription;
using platform::MLMultiArray;
using platform::MLMultiArrayDataType;

namespace {

constexpr std::int64_t contextSize = 64;
constexpr std::int64_t chunkSize = 4096;
constexpr std::int64_t stateSize = 128;

std::vector<float> values(const MLFeatureProvider& inputs, const std::string& name) {
    const auto& array = *fixtureInput(inputs, name);
    std::vector<float> result(static_cast<std::size_t>(array.count()));
    for (std::int64_t i = 0; i < array.count(); ++i) result[static_cast<std::size_t>(i)] = static_cast<float>(array[i]);
    return result;
}

float at(const std::vector<float>& v, std::size_t i) { return i < v.size() ? v[i] : 0.0f; }

}  // namespace

struct VadFixtureModel::Shared {
    Script script;
    mutable std::mutex mutex;
    Outputs outputs;
    std::vector<Run> runs;
    std::set<std::string> registeredNames;

    MLDictionaryFeatureProvider::Dictionary predict(const MLFeatureProvider& inputs) {
        Run run{values(inputs, "audio_input"), values(inputs, "hidden_state"), values(inputs, "cell_state")};
        Outputs answer;
        {
            std::lock_guard lock(mutex);
            runs.push_back(run);
            answer = outputs;
        }
        if (answer.fail) throw platform::NSError("fixture", 2, "The VAD fixture failed on purpose");

        const auto chunkIndex = static_cast<std::size_t>(std::lround(at(run.hidden, 0)));
        float probability = at(script.probabilities, chunkIndex);
        if (script.fromLoudness) {
            double sum = 0;
            for (std::int64_t i = contextSize; i < contextSize + chunkSize; ++i) {
                const double s = at(run.audio, static_cast<std::size_t>(i));
                sum += s * s;
            }
            probability = static_cast<float>(std::sqrt(sum / chunkSize));
        }
        std::vector<float> hidden(stateSize);
        std::vector<float> cell(stateSize);
        hidden[0] = at(run.hidden, 0) + 1;
        for (std::size_t i = 1; i < stateSize; ++i) hidden[i] = at(run.hidden, i) + at(run.audio, contextSize + i);
        for (std::size_t i = 0; i < stateSize; ++i) cell[i] = at(run.cell, i) / 2 + static_cast<float>(i);

        MLDictionaryFeatureProvider::Dictionary result;
        const auto put = [&](const std::string& name, std::int64_t count, const std::vector<float>& v) {
            if (count < 0) return;
            auto array = MLMultiArray::create({1, count}, answer.dataType);
            for (std::int64_t i = 0; i < count; ++i) array->setValue(i, at(v, static_cast<std::size_t>(i)));
            result[name] = MLFeatureValue::featureValueWithMultiArray(array);
        };
        put(answer.probabilityName, answer.probabilityValues, {probability});
        put(answer.hiddenName, answer.hiddenValues, hidden);
        put(answer.cellName, answer.cellValues, cell);
        return result;
    }
};

VadFixtureModel::VadFixtureModel(Script script) : shared_(std::make_shared<Shared>()) {
    MLModelDescription description;
    description.inputs = {arrayFeature("audio_input", {1, script.audioInputValues}),
                          arrayFeature("hidden_state", {1, stateSize}), arrayFeature("cell_state", {1, stateSize})};
    description.outputs = {arrayFeature("vad_output", {1, 1}), arrayFeature("new_hidden_state", {1, stateSize}),
                           arrayFeature("new_cell_state", {1, stateSize})};
    shared_->script = std::move(script);
    auto shared = shared_;
    model_ = MLModel::withEngine(
        std::make_shared<InProcessEngine>([shared](const MLFeatureProvider& in) { return shared->predict(in); }),
        std::move(description));
}

VadFixtureModel::~VadFixtureModel() {
    std::lock_guard lock(shared_->mutex);
    for (const auto& name : shared_->registeredNames) InProcessEngine::unregisterFactory(name);
}

FileTree VadFixtureModel::bundle() const {
    const std::string engineName = "vad-fixture-" + std::to_string(reinterpret_cast<std::uintptr_t>(shared_.get()));
    auto shared = shared_;
    InProcessEngine::registerFactory(engineName, [shared](const auto&, const auto&) {
        return std::make_shared<InProcessEngine>([shared](const MLFeatureProvider& in) { return shared->predict(in); });
    });
    {
        std::lock_guard lock(shared_->mutex);
        shared_->registeredNames.insert(engineName);
    }
    return ModelBundleFiles::inProcess(model_->modelDescription(), engineName);
}

void VadFixtureModel::setOutputs(Outputs outputs) {
    std::lock_guard lock(shared_->mutex);
    shared_->outputs = std::move(outputs);
}

std::vector<VadFixtureModel::Run> VadFixtureModel::runs() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->runs;
}

void VadFixtureModel::clearRuns() {
    std::lock_guard lock(shared_->mutex);
    shared_->runs.clear();
}

}  // namespace testsupport
