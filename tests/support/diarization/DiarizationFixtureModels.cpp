#include "tests/support/diarization/DiarizationFixtureModels.h"

#include <algorithm>
#include <array>
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
using platform::MLMultiArrayPtr;

namespace {

MLModelDescription segmentationDescription() {
    MLModelDescription d;
    d.inputs = {arrayFeature("audio", {1, 1, 160000})};
    d.outputs = {arrayFeature("segments", {1, DiarizationFixtureModels::frames, 7})};
    return d;
}

MLModelDescription embeddingDescription() {
    MLModelDescription d;
    d.inputs = {arrayFeature("waveform", {3, 160000}), arrayFeature("mask", {3, DiarizationFixtureModels::frames})};
    d.outputs = {arrayFeature("embedding", {3, 256})};
    return d;
}

// The powerset class of a set of local speakers (bit k: speaker k).
int powersetClass(unsigned locals) {
    switch (locals) {
        case 0: return 0;
        case 1: return 1;
        case 2: return 2;
        case 4: return 3;
        case 3: return 4;
        case 5: return 5;
        case 6: return 6;
        default: throw platform::NSError("fixture", 2, "three speakers at once cannot be scripted");
    }
}

}  // namespace

struct DiarizationFixtureModels::Shared {
    DiarizationFixtureScript script;
    mutable std::mutex mutex;
    Faults faults;
    int segmentationRuns = 0;
    std::vector<EmbeddingRun> embeddingRuns;
    std::set<std::string> registeredNames;

    Faults currentFaults() const {
        std::lock_guard lock(mutex);
        return faults;
    }

    MLDictionaryFeatureProvider::Dictionary segment(const MLFeatureProvider& inputs) {
        const Faults f = currentFaults();
        {
            std::lock_guard lock(mutex);
            ++segmentationRuns;
        }
        if (f.failSegmentation) throw platform::NSError("fixture", 3, "segmentation failed");
        const auto audio = fixtureInput(inputs, "audio");
        auto segments = MLMultiArray::create({1, frames, f.segmentClasses}, MLMultiArrayDataType::float32);
        std::array<int, 3> localOfVoice{-1, -1, -1};
        int nextLocal = 0;
        for (int frame = 0; frame < frames; ++frame) {
            const unsigned voices =
                DiarizationFixtureScript::voicesOf(static_cast<float>(audio->valueAt({0, 0, frame * frameSamples + 135})));
            unsigned locals = 0;
            for (int voice = 0; voice < 3; ++voice) {
                if (!(voices & (1u << voice))) continue;
                if (localOfVoice[voice] < 0) localOfVoice[voice] = nextLocal++;
                locals |= 1u << localOfVoice[voice];
            }
            const int cls = powersetClass(locals);
            if (cls < f.segmentClasses) segments->setValueAt({0, frame, cls}, 1.0);
        }
        if (f.omitSegments) return {{"other", MLFeatureValue::featureValueWithMultiArray(segments)}};
        return {{"segments", MLFeatureValue::featureValueWithMultiArray(segments)}};
    }

    MLDictionaryFeatureProvider::Dictionary embed(const MLFeatureProvider& inputs) {
        const Faults f = currentFaults();
        const auto waveform = fixtureInput(inputs, "waveform");
        const auto mask = fixtureInput(inputs, "mask");
        EmbeddingRun run;
        run.maskData = mask->dataPointer();
        std::array<int, 3> heard{};
        for (int frame = 0; frame < frames; ++frame) {
            const double marked = mask->valueAt({0, frame});
            run.maskSum += static_cast<float>(marked);
            if (mask->valueAt({1, frame}) != 0 || mask->valueAt({2, frame}) != 0) run.otherRowsZero = false;
            if (marked <= 0) continue;
            const unsigned voices =
                DiarizationFixtureScript::voicesOf(static_cast<float>(waveform->valueAt({0, frame * frameSamples + 135})));
            for (int voice = 0; voice < 3; ++voice) heard[voice] += (voices >> voice) & 1u;
        }
        {
            std::lock_guard lock(mutex);
            embeddingRuns.push_back(run);
        }
        const auto loudest = std::max_element(heard.begin(), heard.end());
        const auto voice = static_cast<std::size_t>(loudest - heard.begin());
        const MLMultiArray::Shape shape = f.embeddingValues == 256 ? MLMultiArray::Shape{3, 256}
                                                                   : MLMultiArray::Shape{1, f.embeddingValues};
        auto embedding = MLMultiArray::create(shape, MLMultiArrayDataType::float32);
        if (*loudest > 0 && voice < script.voices.size()) {
            const auto& values = script.voices[voice];
            const auto n = std::min<std::int64_t>(embedding->count(), static_cast<std::int64_t>(values.size()));
            for (std::int64_t i = 0; i < n; ++i) embedding->setValue(i, values[static_cast<std::size_t>(i)]);
        }
        if (f.omitEmbedding) return {{"other", MLFeatureValue::featureValueWithMultiArray(embedding)}};
        return {{"embedding", MLFeatureValue::featureValueWithMultiArray(embedding)}};
    }
};

DiarizationFixtureModels::DiarizationFixtureModels(DiarizationFixtureScript script)
    : shared_(std::make_shared<Shared>()) {
    shared_->script = std::move(script);
    auto shared = shared_;
    segmentation_ = MLModel::withEngine(
        std::make_shared<InProcessEngine>([shared](const MLFeatureProvider& in) { return shared->segment(in); }),
        segmentationDescription());
    embedding_ = MLModel::withEngine(
        std::make_shared<InProcessEngine>([shared](const MLFeatureProvider& in) { return shared->embed(in); }),
        embeddingDescription());
}

DiarizationFixtureModels::~DiarizationFixtureModels() {
    std::lock_guard lock(shared_->mutex);
    for (const auto& name : shared_->registeredNames) InProcessEngine::unregisterFactory(name);
}

rarivoredu::DiarizerModels DiarizationFixtureModels::diarizerModels() const {
    rarivoredu::DiarizerModels models;
    models.segmentationModel = segmentation_;
    models.embeddingModel = embedding_;
    return models;
}

std::map<std::string, FileTree> DiarizationFixtureModels::bundles() const {
    const std::string prefix =
        "diarization-fixture-" + std::to_string(reinterpret_cast<std::uintptr_t>(shared_.get())) + "-";
    std::map<std::string, FileTree> result;
    for (const bool isSegmentation : {true, false}) {
        const std::string engineName = prefix + (isSegmentation ? "segmentation" : "embedding");
        auto shared = shared_;
        InProcessEngine::registerFactory(engineName, [shared, isSegmentation](const auto&, const auto&) {
            return std::make_shared<InProcessEngine>([shared, isSegmentation](const MLFeatureProvider& in) {
                return isSegmentation ? shared->segment(in) : shared->embed(in);
            });
        });
        {
            std::lock_guard lock(shared_->mutex);
            shared_->registeredNames.insert(engineName);
        }
        const auto& model = isSegmentation ? segmentation_ : embedding_;
        result[isSegmentation ? "pyannote_segmentation.mlmodelc" : "wespeaker_v2.mlmodelc"] =
            ModelBundleFiles::inProcess(model->modelDescription(), engineName);
    }
    return result;
}

void DiarizationFixtureModels::setFaults(Faults faults) {
    std::lock_guard lock(shared_->mutex);
    shared_->faults = faults;
}

int DiarizationFixtureModels::segmentationRuns() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->segmentationRuns;
}

std::vector<DiarizationFixtureModels::EmbeddingRun> DiarizationFixtureModels::embeddingRuns() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->embeddingRuns;
}

void DiarizationFixtureModels::clearObservations() {
    std::lock_guard lock(shared_->mutex);
    shared_->segmentationRuns = 0;
    shared_->embeddingRuns.clear();
}

}  // namespace testsupport
