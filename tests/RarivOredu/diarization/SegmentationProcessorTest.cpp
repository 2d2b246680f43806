#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "Platform/ml/InProcessEngine.h"
#include "Platform/ml/MLModel.h"
#include "Platform/system/NSError.h"
#include "RarivOredu/diarization/SegmentationProcessor.h"
#include "RarivOredu/shared/ANEMemoryUtils.h"
#include "RarivOredu/shared/DiarizerError.h"

namespace rarivoredu {
namespace {

using platform::MLDictionaryFeatureProvider;
using platform::MLFeatureProvider;
using platform::MLFeatureValue;
using platform::MLMultiArray;
using platform::MLMultiArrayDataType;
using platform::MLMultiArrayPtr;

// A segmentation model that keeps what it was fed and answers what the test sets.
struct RecordingSegmentation {
    std::vector<float> lastInput;
    std::function<MLDictionaryFeatureProvider::Dictionary()> answer;
    platform::MLModelPtr model;

    RecordingSegmentation() {
        model = platform::MLModel::withEngine(
            std::make_shared<platform::InProcessEngine>([this](const MLFeatureProvider& inputs) {
                const auto audio = inputs.featureValueForName("audio")->multiArrayValue();
                lastInput.resize(static_cast<std::size_t>(audio->count()));
                for (std::int64_t i = 0; i < audio->count(); ++i) lastInput[static_cast<std::size_t>(i)] = static_cast<float>((*audio)[i]);
                return answer();
            }),
            {});
        answer = [] { return segmentsOf(MLMultiArray::create({1, 589, 7}, MLMultiArrayDataType::float32)); };
    }

    static MLDictionaryFeatureProvider::Dictionary segmentsOf(MLMultiArrayPtr array) {
        return {{"segments", MLFeatureValue::featureValueWithMultiArray(std::move(array))}};
    }
};

// Scores with one winning class per frame.
MLMultiArrayPtr scores(const std::vector<std::array<float, 7>>& frames, const MLMultiArrayPtr& into = nullptr) {
    auto array = into ? into : MLMultiArray::create({1, static_cast<std::int64_t>(frames.size()), 7}, MLMultiArrayDataType::float32);
    for (std::size_t f = 0; f < frames.size(); ++f) {
        for (int c = 0; c < 7; ++c) array->setValueAt({0, static_cast<std::int64_t>(f), c}, frames[f][static_cast<std::size_t>(c)]);
    }
    return array;
}

TEST(SegmentationProcessorTest, InputIsTheChunkPaddedOrCutToTheModelLength) {
    RecordingSegmentation segmentation;
    SegmentationProcessor processor;
    SpeakerActivity activity;

    std::vector<float> longChunk(200000);
    for (std::size_t i = 0; i < longChunk.size(); ++i) longChunk[i] = static_cast<float>(i % 1000) / 1000;
    processor.process(longChunk, *segmentation.model, 160000, activity);
    ASSERT_EQ(segmentation.lastInput.size(), 160000u);
    EXPECT_EQ(segmentation.lastInput.back(), longChunk[159999]);

    // The buffer is reused: what the long chunk left behind must not show.
    processor.process(std::vector<float>(100000, 0.5f), *segmentation.model, 160000, activity);
    EXPECT_EQ(std::count(segmentation.lastInput.begin(), segmentation.lastInput.begin() + 100000, 0.5f), 100000);
    EXPECT_EQ(std::count(segmentation.lastInput.begin() + 100000, segmentation.lastInput.end(), 0.0f), 60000);
    EXPECT_EQ(activity.frames, 589);
}

TEST(SegmentationProcessorTest, PowersetClassesBecomeLocalSpeakers) {
    const std::vector<std::array<float, 7>> frames = {
        {9, 0, 0, 0, 0, 0, 0},   // nobody
        {0, 9, 0, 0, 0, 0, 0},   // 0
        {0, 0, 9, 0, 0, 0, 0},   // 1
        {0, 0, 0, 9, 0, 0, 0},   // 2
        {0, 0, 0, 0, 9, 0, 0},   // 0 + 1
        {-5, -4, -3, -2, -1, 0, -6},  // 0 + 2, log-probabilities
        {0, 0, 0, 0, 0, 0, 9},   // 1 + 2
        {0, 0, 3, 0, 3, 0, 0},   // a tie: the lower class
    };
    const std::vector<std::array<float, 3>> expected = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1},
                                                        {1, 1, 0}, {1, 0, 1}, {0, 1, 1}, {0, 1, 0}};
    const auto n = static_cast<std::int64_t>(frames.size());
    // The same scores contiguous, with padded rows, and in double precision.
    const std::vector<MLMultiArrayPtr> layouts = {
        scores(frames),
        scores(frames, ANEMemoryUtils::createAlignedArray({1, n, 7}, MLMultiArrayDataType::float32, true)),
        scores(frames, MLMultiArray::create({1, n, 7}, MLMultiArrayDataType::float64)),
    };
    for (std::size_t l = 0; l < layouts.size(); ++l) {
        SCOPED_TRACE(l);
        SpeakerActivity activity;
        SegmentationProcessor::convertPowerset(*layouts[l], activity);
        ASSERT_EQ(activity.frames, static_cast<int>(frames.size()));
        for (int f = 0; f < activity.frames; ++f) {
            for (int k = 0; k < 3; ++k) EXPECT_EQ(activity.at(f, k), expected[static_cast<std::size_t>(f)][static_cast<std::size_t>(k)]) << f << "/" << k;
        }
    }
}

TEST(SegmentationProcessorTest, OutputsTheModelContractDoesNotAllowAreErrors) {
    struct Case {
        std::function<MLDictionaryFeatureProvider::Dictionary()> answer;
        std::string error;
    };
    const auto array = [](MLMultiArray::Shape shape) { return MLMultiArray::create(shape, MLMultiArrayDataType::float32); };
    const std::vector<Case> cases = {
        {[] { return MLDictionaryFeatureProvider::Dictionary{}; },
         "Processing failed: Missing segments output from segmentation model"},
        {[] { return MLDictionaryFeatureProvider::Dictionary{{"segments", MLFeatureValue::featureValueWithDouble(1)}}; },
         "Processing failed: Missing segments output from segmentation model"},
        {[&] { return RecordingSegmentation::segmentsOf(array({1, 589, 6})); },
         "Processing failed: Segmentation output has shape [1, 589, 6], not [1, frames, 7]"},
        {[&] { return RecordingSegmentation::segmentsOf(array({589, 7})); },
         "Processing failed: Segmentation output has shape [589, 7], not [1, frames, 7]"},
        {[&] { return RecordingSegmentation::segmentsOf(array({1, 0, 7})); },
         "Processing failed: Segmentation output has shape [1, 0, 7], not [1, frames, 7]"},
    };
    for (const auto& c : cases) {
        RecordingSegmentation segmentation;
        segmentation.answer = c.answer;
        SegmentationProcessor processor;
        SpeakerActivity activity;
        try {
            processor.process(std::vector<float>(16000, 0.1f), *segmentation.model, 160000, activity);
            ADD_FAILURE() << "no error for " << c.error;
        } catch (const DiarizerError& error) {
            EXPECT_EQ(error.kind(), DiarizerError::Kind::processingFailed);
            EXPECT_EQ(error.what(), c.error);
        }
    }

    RecordingSegmentation failing;
    failing.answer = []() -> MLDictionaryFeatureProvider::Dictionary { throw platform::NSError("engine", 7, "broke"); };
    SegmentationProcessor processor;
    SpeakerActivity activity;
    try {
        processor.process(std::vector<float>(10, 0.1f), *failing.model, 160000, activity);
        ADD_FAILURE() << "no error";
    } catch (const platform::NSError& error) {
        EXPECT_EQ(error.code(), 7);
        EXPECT_STREQ(error.what(), "broke");
    }
}

}  // namespace
}  // namespace rarivoredu
