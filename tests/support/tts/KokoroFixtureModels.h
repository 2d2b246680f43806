#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Platform/ml/MLModel.h"
#include "RarivOredu/shared/ModelNames.h"
#include "RarivOredu/tts/TtsModels.h"
#include "tests/support/ModelBundleFiles.h"
#include "tests/support/TestHub.h"

namespace testsupport {

// The two synthesis models in miniature, run in this process, with the real inputs and outputs:
//   "input_ids" int32 [1, T], "attention_mask" int32 [1, T], "ref_s" float32 [1, style length],
//   "random_phases" float32 [1, 9]  →  "audio" float32 [1, 120000] (5 s) or [1, 360000] (15 s),
//   "audio_length_samples" int32 [1].
// The audio is made from the ids alone: for every attended position, `samplesPerToken` samples of a
// sine of toneFrequency(id) at amplitude 0.5, phase running on from token to token; the valid
// length is the attended count times samplesPerToken (at most the array's length).
class KokoroFixtureModels {
public:
    using Variant = rarivoredu::ModelNames::TTS::Variant;

    struct Options {
        int shortCapacity = 124;
        int longCapacity = 249;
        int styleLength = 256;
        int samplesPerToken = 960;
    };

    KokoroFixtureModels();
    explicit KokoroFixtureModels(Options options);
    ~KokoroFixtureModels();
    KokoroFixtureModels(const KokoroFixtureModels&) = delete;
    KokoroFixtureModels& operator=(const KokoroFixtureModels&) = delete;

    static constexpr const char* repoId = "ViridErevidaro/kokoro-82m-coreml";
    static double toneFrequency(std::int32_t id) { return 100.0 + 10.0 * id; }
    static std::int64_t outputLength(Variant variant) { return variant == Variant::fiveSecond ? 120000 : 360000; }

    const Options& options() const noexcept { return options_; }
    const platform::MLModelPtr& model(Variant variant) const;
    rarivoredu::TtsModels ttsModels() const;

    // The audio the model answers for the ids (before the synthesizer trims it).
    std::vector<float> audioFor(const std::vector<std::int32_t>& attendedIds) const;

    // The compiled-model folders by name, naming in-process engines this object serves while it lives.
    std::map<std::string, FileTree> bundles() const;
    // The repository on a hub: both model folders, the fixture vocabulary and lexicon, and a voice
    // file for each of `voices` (see voiceJson).
    void addToHub(TestHub& hub, const std::vector<std::string>& voices = {"af_heart"}) const;
    // A voice file: {"embedding": [style length values]}, the values made from the voice's name.
    std::string voiceJson(const std::string& voice) const;
    std::vector<float> voiceVector(const std::string& voice) const;

    // What the models saw.
    int predictions(Variant variant) const;
    int mostPredictionsAtOnce() const;
    // Processor time the predictions took, summed over the threads that ran them.
    double modelCpuSeconds() const;
    // "input_ids" (the attended part) of every prediction, in the order they ran.
    std::vector<std::vector<std::int32_t>> idsSeen() const;
    // The first "ref_s" value of every prediction.
    std::vector<float> styleStartsSeen() const;
    void clearObservations();
    // Called at the start of every prediction (after the warm-ups too); it may throw to fail it.
    void setPredictionHook(std::function<void(Variant variant, const std::vector<std::int32_t>& ids)> hook);

private:
    struct Shared;
    Options options_;
    std::shared_ptr<Shared> shared_;
    std::map<Variant, platform::MLModelPtr> models_;
};

}  // namespace testsupport
