#include <gtest/gtest.h>

#include <vector>

#include "Platform/ml/MLDictionaryFeatureProvider.h"
#include "RarivOredu/asr/ASRError.h"
#include "RarivOredu/asr/EncoderFrameView.h"
#include "RarivOredu/asr/TdtDecoderState.h"

namespace rarivoredu {
namespace {

using platform::MLFeatureValue;
using platform::MLMultiArray;
using platform::MLMultiArrayDataType;
using platform::MLMultiArrayPtr;

MLMultiArrayPtr numbered(MLMultiArray::Shape shape) {
    auto a = MLMultiArray::create(shape, MLMultiArrayDataType::float32);
    for (std::int64_t i = 0; i < a->count(); ++i) a->setValue(i, static_cast<double>(i));
    return a;
}

TEST(TdtDecoderStateTest, FreshStateIsZeroedAndCarriesNothing) {
    TdtDecoderState state;
    for (const auto& array : {state.hiddenState, state.cellState}) {
        ASSERT_TRUE(array);
        EXPECT_EQ(array->shape(), (MLMultiArray::Shape{2, 1, 640}));
        EXPECT_EQ(array->dataType(), MLMultiArrayDataType::float32);
        for (std::int64_t i = 0; i < array->count(); ++i) ASSERT_EQ((*array)[i], 0.0);
    }
    EXPECT_FALSE(state.lastToken);
    EXPECT_FALSE(state.predictorOutput);
    EXPECT_FALSE(state.timeJump);

    // Copies share the arrays.
    TdtDecoderState copy = state;
    EXPECT_EQ(copy.hiddenState, state.hiddenState);
}

TEST(TdtDecoderStateTest, UpdateTakesTheOutputsThatArePresent) {
    TdtDecoderState state;
    const auto oldCell = state.cellState;
    auto newHidden = numbered({2, 1, 640});
    state.update(platform::MLDictionaryFeatureProvider({{"h_out", MLFeatureValue::featureValueWithMultiArray(newHidden)},
                                                        {"c_out", MLFeatureValue::featureValueWithInt64(3)}}));
    EXPECT_EQ(state.hiddenState, newHidden);
    EXPECT_EQ(state.cellState, oldCell);
}

TEST(TdtDecoderStateTest, FillAndCopyCoverEveryElement) {
    auto source = numbered({2, 1, 640});
    TdtDecoderState state;
    TdtDecoderState::copyArray(*source, *state.hiddenState);
    EXPECT_EQ((*state.hiddenState)[1279], 1279.0);
    TdtDecoderState::fill(*state.hiddenState, 2.5);
    EXPECT_EQ((*state.hiddenState)[0], 2.5);
    EXPECT_EQ((*state.hiddenState)[1279], 2.5);

    auto integers = MLMultiArray::create({3}, MLMultiArrayDataType::int32);
    TdtDecoderState::fill(*integers, 7);
    EXPECT_EQ((*integers)[2], 7.0);
}

TEST(EncoderFrameViewTest, ReadsFramesOfEitherLayout) {
    struct Case {
        const char* name;
        MLMultiArray::Shape shape;
        int timeAxis;
        std::int64_t validLength;
        int count;
    };
    const Case cases[] = {
        {"features on axis 1", {1, 1024, 6}, 2, 6, 6},
        {"features on axis 2", {1, 6, 1024}, 1, 6, 6},
        {"both axes 1024: axis 1 holds the features", {1, 1024, 1024}, 2, 1024, 1024},
        {"valid length beyond the frames", {1, 1024, 6}, 2, 50, 6},
        {"valid length shorter", {1, 6, 1024}, 1, 4, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto output = numbered(c.shape);
        const EncoderFrameView view(output, c.validLength);
        EXPECT_EQ(view.hiddenSize, 1024);
        EXPECT_EQ(view.timeAxis, c.timeAxis);
        EXPECT_EQ(view.count, c.count);

        // Frame 3, feature h sits at index (0, h, 3) or (0, 3, h).
        std::vector<float> frame(1024 * 2, -1.0f);
        view.copyFrame(3, frame.data(), 2);
        for (const std::int64_t h : {0, 1, 1023}) {
            const auto expected = output->valueAt(c.timeAxis == 2 ? MLMultiArray::Shape{0, h, 3} : MLMultiArray::Shape{0, 3, h});
            EXPECT_EQ(frame[static_cast<std::size_t>(h * 2)], expected);
        }
        EXPECT_EQ(frame[1], -1.0f);  // the stride leaves the gaps alone
        std::vector<float> dense(1024);
        view.copyFrame(3, dense.data(), 1);
        EXPECT_EQ(dense[1023], frame[2046]);
    }
}

TEST(EncoderFrameViewTest, FrameOutsideTheUsableFramesIsRefused) {
    const EncoderFrameView view(numbered({1, 1024, 6}), 4);
    std::vector<float> frame(1024);
    for (const int index : {-1, 4}) {
        try {
            view.copyFrame(index, frame.data(), 1);
            ADD_FAILURE() << index;
        } catch (const ASRError& e) {
            EXPECT_EQ(e.message(), "Encoder frame index out of range: " + std::to_string(index));
        }
    }
}

}  // namespace
}  // namespace rarivoredu
