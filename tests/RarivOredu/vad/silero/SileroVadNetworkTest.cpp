#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "Platform/ml/MLDictionaryFeatureProvider.h"
#include "Platform/ml/MLModel.h"
#include "RarivOredu/vad/VadManager.h"
#include "tests/support/TemporaryDirectory.h"
#include "tests/support/vad/SileroSpeech.h"

namespace rarivoredu {
namespace {

using platform::MLFeatureValue;
using platform::MLMultiArray;
using platform::MLMultiArrayDataType;
using testsupport::SileroSpeech;

constexpr float tolerance = 1e-4f;

class SileroVadNetworkTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new testsupport::TemporaryDirectory;
        model_ = platform::MLModel::modelWithContentsOfURL(SileroSpeech::importBundle(folder_->path()));
        speech_ = new std::vector<SileroSpeech>(SileroSpeech::all());
    }
    static void TearDownTestSuite() {
        model_.reset();
        delete speech_;
        delete folder_;
    }

    static platform::MLMultiArrayPtr array(const MLMultiArray::Shape& shape, const float* values) {
        auto result = MLMultiArray::create(shape, MLMultiArrayDataType::float32);
        std::copy(values, values + result->count(), result->data<float>());
        return result;
    }

    static testsupport::TemporaryDirectory* folder_;
    static platform::MLModelPtr model_;
    static std::vector<SileroSpeech>* speech_;
};

testsupport::TemporaryDirectory* SileroVadNetworkTest::folder_ = nullptr;
platform::MLModelPtr SileroVadNetworkTest::model_;
std::vector<SileroSpeech>* SileroVadNetworkTest::speech_ = nullptr;

// The bundle run chunk by chunk, as the manager runs it, gives the reference runtime's
// probability for every 32 ms step: the eight steps of a chunk, the 64 samples of context
// before each, and the state carried across chunks all line up.
TEST_F(SileroVadNetworkTest, EveryStepMatchesTheReferenceRuntimeOnSpeech) {
    for (const auto& speech : *speech_) {
        SCOPED_TRACE(speech.name);
        ASSERT_EQ(speech.samples.size() % 4096, 0u);
        ASSERT_EQ(speech.referenceSteps.size(), speech.samples.size() / 512);
        std::vector<float> context(64, 0.0f), hidden(128, 0.0f), cell(128, 0.0f), audio(4160);
        std::vector<float> steps;
        for (std::size_t start = 0; start < speech.samples.size(); start += 4096) {
            std::copy(context.begin(), context.end(), audio.begin());
            std::copy_n(speech.samples.begin() + static_cast<std::ptrdiff_t>(start), 4096, audio.begin() + 64);
            const platform::MLDictionaryFeatureProvider inputs({
                {"audio_input", MLFeatureValue::featureValueWithMultiArray(array({1, 4160}, audio.data()))},
                {"hidden_state", MLFeatureValue::featureValueWithMultiArray(array({1, 128}, hidden.data()))},
                {"cell_state", MLFeatureValue::featureValueWithMultiArray(array({1, 128}, cell.data()))},
            });
            const auto outputs = model_->predictionFromFeatures(inputs);
            const auto step = outputs->featureValueForName("step_probabilities")->multiArrayValue();
            ASSERT_EQ(step->count(), 8);
            float largest = 0;
            for (int k = 0; k < 8; ++k) {
                steps.push_back(static_cast<float>((*step)[k]));
                largest = std::max(largest, steps.back());
            }
            EXPECT_EQ(static_cast<float>((*outputs->featureValueForName("vad_output")->multiArrayValue())[0]), largest);
            const auto newHidden = outputs->featureValueForName("new_hidden_state")->multiArrayValue();
            const auto newCell = outputs->featureValueForName("new_cell_state")->multiArrayValue();
            for (int i = 0; i < 128; ++i) {
                hidden[static_cast<std::size_t>(i)] = static_cast<float>((*newHidden)[i]);
                cell[static_cast<std::size_t>(i)] = static_cast<float>((*newCell)[i]);
            }
            std::copy(audio.end() - 64, audio.end(), context.begin());
        }
        ASSERT_EQ(steps.size(), speech.referenceSteps.size());
        float worst = 0;
        std::size_t worstAt = 0;
        for (std::size_t i = 0; i < steps.size(); ++i) {
            const float difference = std::fabs(steps[i] - speech.referenceSteps[i]);
            if (difference > worst) {
                worst = difference;
                worstAt = i;
            }
        }
        EXPECT_LE(worst, tolerance) << "step " << worstAt << ": " << steps[worstAt] << " against "
                                    << speech.referenceSteps[worstAt];
    }
}

// Through the manager, each chunk's probability is the largest of its eight reference steps, and
// the speech is told from the pauses.
TEST_F(SileroVadNetworkTest, TheManagersChunkProbabilityIsTheLargestStep) {
    VadManager manager(VadConfig::defaultConfig(), model_);
    for (const auto& speech : *speech_) {
        SCOPED_TRACE(speech.name);
        const auto results = manager.process(speech.samples);
        ASSERT_EQ(results.size(), speech.samples.size() / 4096);
        int voiced = 0;
        for (std::size_t chunk = 0; chunk < results.size(); ++chunk) {
            const auto first = speech.referenceSteps.begin() + static_cast<std::ptrdiff_t>(chunk * 8);
            EXPECT_NEAR(results[chunk].probability, *std::max_element(first, first + 8), tolerance) << "chunk " << chunk;
            voiced += results[chunk].isVoiceActive ? 1 : 0;
        }
        double spoken = 0;
        for (const auto& phrase : speech.phrases) spoken += phrase.end - phrase.start;
        // Most of the spoken chunks, few of the others.
        EXPECT_GT(voiced * 0.256, 0.8 * spoken);
        EXPECT_LT(voiced * 0.256, spoken + 3 * 0.5);
    }
}

}  // namespace
}  // namespace rarivoredu
