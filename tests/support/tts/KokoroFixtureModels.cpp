#include "tests/support/tts/KokoroFixtureModels.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <fstream>
#include <iterator>
#include <mutex>
#include <numbers>
#include <set>

#include <time.h>

#include <nlohmann/json.hpp>

#include "Platform/ml/InProcessEngine.h"
#include "Platform/ml/MLDictionaryFeatureProvider.h"
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

std::string fixtureFile(const std::string& name) {
    std::ifstream in(std::filesystem::path(PARLOQUIN_SOURCE_DIR) / "tests" / "fixtures" / "tts" / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

struct KokoroFixtureModels::Shared {
    Options options;
    mutable std::mutex mutex;
    std::map<Variant, int> predictions;
    std::atomic<int> running{0};
    std::atomic<int> mostAtOnce{0};
    std::atomic<std::int64_t> cpuNanoseconds{0};
    std::vector<std::vector<std::int32_t>> idsSeen;
    std::vector<float> styleStarts;
    std::set<std::string> registeredNames;
    std::function<void(Variant, const std::vector<std::int32_t>&)> hook;

    std::vector<float> audio(const std::vector<std::int32_t>& ids, std::int64_t capacity) const {
        const auto length = std::min<std::int64_t>(static_cast<std::int64_t>(ids.size()) * options.samplesPerToken, capacity);
        std::vector<float> samples(static_cast<std::size_t>(length));
        double phase = 0.0;
        for (std::int64_t i = 0; i < length; ++i) {
            const double frequency = toneFrequency(ids[static_cast<std::size_t>(i / options.samplesPerToken)]);
            samples[static_cast<std::size_t>(i)] = 0.5f * static_cast<float>(std::sin(phase));
            phase += 2.0 * std::numbers::pi * frequency / 24000.0;
        }
        return samples;
    }

    static std::int64_t threadCpuNanoseconds() {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
    }

    MLDictionaryFeatureProvider::Dictionary predict(Variant variant, const MLFeatureProvider& inputs) {
        const std::int64_t started = threadCpuNanoseconds();
        struct Clock {
            std::atomic<std::int64_t>& total;
            std::int64_t started;
            ~Clock() { total += threadCpuNanoseconds() - started; }
        } clock{cpuNanoseconds, started};
        const auto ids = fixtureInput(inputs, "input_ids");
        const auto mask = fixtureInput(inputs, "attention_mask");
        const auto style = fixtureInput(inputs, "ref_s");
        fixtureInput(inputs, "random_phases");
        std::vector<std::int32_t> attended;
        for (std::int64_t i = 0; i < ids->count(); ++i) {
            if ((*mask)[i] != 0) attended.push_back(static_cast<std::int32_t>((*ids)[i]));
        }
        const int now = ++running;
        int seen = mostAtOnce.load();
        while (now > seen && !mostAtOnce.compare_exchange_weak(seen, now)) {
        }
        struct Leave {
            std::atomic<int>& running;
            ~Leave() { --running; }
        } leave{running};
        std::function<void(Variant, const std::vector<std::int32_t>&)> call;
        {
            std::lock_guard lock(mutex);
            ++predictions[variant];
            idsSeen.push_back(attended);
            styleStarts.push_back(style->count() > 0 ? static_cast<float>((*style)[0]) : 0.0f);
            call = hook;
        }
        if (call) call(variant, attended);

        const std::int64_t capacity = outputLength(variant);
        const std::vector<float> samples = audio(attended, capacity);
        auto audioArray = MLMultiArray::create({1, capacity}, MLMultiArrayDataType::float32);
        std::copy(samples.begin(), samples.end(), audioArray->data<float>());
        auto length = MLMultiArray::create({1}, MLMultiArrayDataType::int32);
        length->setValue(0, static_cast<double>(samples.size()));
        return {{"audio", MLFeatureValue::featureValueWithMultiArray(audioArray)},
                {"audio_length_samples", MLFeatureValue::featureValueWithMultiArray(length)}};
    }

    MLModelDescription description(Variant variant) const {
        const std::int64_t tokens = variant == Variant::fiveSecond ? options.shortCapacity : options.longCapacity;
        MLModelDescription d;
        d.inputs = {arrayFeature("input_ids", {1, tokens}, MLMultiArrayDataType::int32),
                    arrayFeature("attention_mask", {1, tokens}, MLMultiArrayDataType::int32),
                    arrayFeature("ref_s", {1, options.styleLength}, MLMultiArrayDataType::float32),
                    arrayFeature("random_phases", {1, 9}, MLMultiArrayDataType::float32)};
        d.outputs = {arrayFeature("audio", {1, outputLength(variant)}, MLMultiArrayDataType::float32),
                     arrayFeature("audio_length_samples", {1}, MLMultiArrayDataType::int32)};
        return d;
    }

    std::shared_ptr<platform::MLModelEngine> engine(Variant variant, const std::shared_ptr<Shared>& self) const {
        return std::make_shared<InProcessEngine>(
            [self, variant](const MLFeatureProvider& inputs) { return self->predict(variant, inputs); });
    }
};

KokoroFixtureModels::KokoroFixtureModels() : KokoroFixtureModels(Options{}) {}

KokoroFixtureModels::KokoroFixtureModels(Options options) : options_(options), shared_(std::make_shared<Shared>()) {
    shared_->options = options;
    for (const Variant variant : rarivoredu::ModelNames::TTS::allVariants) {
        models_[variant] = MLModel::withEngine(shared_->engine(variant, shared_), shared_->description(variant));
    }
}

KokoroFixtureModels::~KokoroFixtureModels() {
    for (const auto& name : shared_->registeredNames) InProcessEngine::unregisterFactory(name);
}

const platform::MLModelPtr& KokoroFixtureModels::model(Variant variant) const { return models_.at(variant); }

rarivoredu::TtsModels KokoroFixtureModels::ttsModels() const { return rarivoredu::TtsModels{models_}; }

std::vector<float> KokoroFixtureModels::audioFor(const std::vector<std::int32_t>& attendedIds) const {
    return shared_->audio(attendedIds, std::numeric_limits<std::int64_t>::max());
}

std::map<std::string, FileTree> KokoroFixtureModels::bundles() const {
    const std::string prefix = "kokoro-fixture-" + std::to_string(reinterpret_cast<std::uintptr_t>(shared_.get())) + "-";
    std::map<std::string, FileTree> result;
    for (const Variant variant : rarivoredu::ModelNames::TTS::allVariants) {
        const std::string engineName = prefix + rarivoredu::TtsModels::label(variant);
        auto shared = shared_;
        InProcessEngine::registerFactory(engineName, [shared, variant](const auto&, const auto&) {
            return shared->engine(variant, shared);
        });
        {
            std::lock_guard lock(shared_->mutex);
            shared_->registeredNames.insert(engineName);
        }
        result[rarivoredu::ModelNames::TTS::fileName(variant)] =
            ModelBundleFiles::inProcess(shared_->description(variant), engineName);
    }
    return result;
}

std::vector<float> KokoroFixtureModels::voiceVector(const std::string& voice) const {
    std::vector<float> vector(static_cast<std::size_t>(options_.styleLength));
    const float seed = static_cast<float>(std::hash<std::string>()(voice) % 1000) / 1000.0f;
    for (std::size_t i = 0; i < vector.size(); ++i) vector[i] = seed + 0.001f * static_cast<float>(i);
    return vector;
}

std::string KokoroFixtureModels::voiceJson(const std::string& voice) const {
    return nlohmann::json{{"embedding", voiceVector(voice)}}.dump();
}

void KokoroFixtureModels::addToHub(TestHub& hub, const std::vector<std::string>& voices) const {
    for (const auto& [folder, files] : bundles()) hub.addFiles(repoId, folder, files);
    hub.addFile(repoId, "vocab_index.json", fixtureFile("vocab_index.json"));
    hub.addFile(repoId, "us_lexicon_cache.json", fixtureFile("us_lexicon_cache.json"));
    for (const auto& voice : voices) hub.addFile(repoId, "voices/" + voice + ".json", voiceJson(voice));
}

int KokoroFixtureModels::predictions(Variant variant) const {
    std::lock_guard lock(shared_->mutex);
    const auto found = shared_->predictions.find(variant);
    return found == shared_->predictions.end() ? 0 : found->second;
}

double KokoroFixtureModels::modelCpuSeconds() const { return static_cast<double>(shared_->cpuNanoseconds.load()) / 1e9; }

int KokoroFixtureModels::mostPredictionsAtOnce() const { return shared_->mostAtOnce.load(); }

std::vector<std::vector<std::int32_t>> KokoroFixtureModels::idsSeen() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->idsSeen;
}

std::vector<float> KokoroFixtureModels::styleStartsSeen() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->styleStarts;
}

void KokoroFixtureModels::clearObservations() {
    std::lock_guard lock(shared_->mutex);
    shared_->predictions.clear();
    shared_->idsSeen.clear();
    shared_->styleStarts.clear();
    shared_->mostAtOnce = 0;
    shared_->cpuNanoseconds = 0;
}

void KokoroFixtureModels::setPredictionHook(std::function<void(Variant, const std::vector<std::int32_t>&)> hook) {
    std::lock_guard lock(shared_->mutex);
    shared_->hook = std::move(hook);
}

}  // namespace testsupport
