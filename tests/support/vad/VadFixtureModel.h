#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Platform/ml/MLModel.h"
#include "Platform/ml/MLMultiArrayDataType.h"
#include "tests/support/ModelBundleFiles.h"

namespace testsupport {

// A voice activity model with the real feature names and shapes, run in this process:
// "audio_input" [1, 4160], "hidden_state" [1, 128], "cell_state" [1, 128] → "vad_output" [1, 1],
// "new_hidden_state" [1, 128], "new_cell_state" [1, 128], all float32.
//
// It counts chunks in its state: new hidden value 0 = hidden value 0 + 1, so a model run with a
// state carried from chunk to chunk sees 0, 1, 2 … there, and one started afresh sees 0 again.
// The other state values follow the audio (new hidden i = hidden i + audio 64 + i, new cell i =
// cell i / 2 + i), so that every chunk's state differs.
//
// The probability of chunk k is the script's value k (0 beyond it), or, scripted so, the
// root-mean-square level of the 4096 new samples.
class VadFixtureModel {
public:
    struct Script {
        std::vector<float> probabilities;
        bool fromLoudness = false;
        std::int64_t audioInputValues = 4160;  // the declared width of "audio_input"
    };

    // What the model answers, switchable while it is in use. A count of −1 leaves that output out.
    struct Outputs {
        std::int64_t probabilityValues = 1;
        std::int64_t hiddenValues = 128;
        std::int64_t cellValues = 128;
        std::string probabilityName = "vad_output";
        std::string hiddenName = "new_hidden_state";
        std::string cellName = "new_cell_state";
        platform::MLMultiArrayDataType dataType = platform::MLMultiArrayDataType::float32;
        bool fail = false;  // the prediction throws
    };

    // The inputs of one run.
    struct Run {
        std::vector<float> audio;  // 4160 values
        std::vector<float> hidden;
        std::vector<float> cell;
    };

    explicit VadFixtureModel(Script script);
    ~VadFixtureModel();
    VadFixtureModel(const VadFixtureModel&) = delete;
    VadFixtureModel& operator=(const VadFixtureModel&) = delete;

    const platform::MLModelPtr& model() const noexcept { return model_; }
    // The compiled-model folder's files; its engine is served by this object while it lives.
    FileTree bundle() const;

    void setOutputs(Outputs outputs);
    std::vector<Run> runs() const;
    void clearRuns();

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    platform::MLModelPtr model_;
};

}  // namespace testsupport
