#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "Platform/ml/MLMultiArray.h"
#include "Platform/ml/MultiArrayCopy.h"
#include "Platform/system/NSError.h"

namespace platform {
namespace {

TEST(MLMultiArrayTest, OwnedArraysAreZeroedAndContiguous) {
    struct Case {
        MLMultiArray::Shape shape;
        MLMultiArrayDataType type;
        MLMultiArray::Shape strides;
        std::int64_t count;
    };
    const std::vector<Case> cases = {
        {{2, 3, 4}, MLMultiArrayDataType::float32, {12, 4, 1}, 24},
        {{5}, MLMultiArrayDataType::int32, {1}, 5},
        {{2, 2}, MLMultiArrayDataType::float16, {2, 1}, 4},
        {{1, 1}, MLMultiArrayDataType::float64, {1, 1}, 1},
        {{}, MLMultiArrayDataType::float32, {}, 1},
        {{3, 0}, MLMultiArrayDataType::float32, {0, 1}, 0},
    };
    for (const auto& c : cases) {
        auto a = MLMultiArray::create(c.shape, c.type);
        EXPECT_EQ(a->strides(), c.strides);
        EXPECT_EQ(a->count(), c.count);
        EXPECT_TRUE(a->isContiguous());
        for (std::int64_t i = 0; i < a->count(); ++i) EXPECT_EQ((*a)[i], 0.0);
    }
}

TEST(MLMultiArrayTest, LinearSubscriptGoesThroughPaddedStrides) {
    std::vector<float> memory(2 * 8, -1.0f);
    auto a = MLMultiArray::wrap(memory.data(), {2, 3}, MLMultiArrayDataType::float32, {8, 1});
    EXPECT_FALSE(a->isContiguous());
    for (int i = 0; i < 6; ++i) a->setValue(i, i + 1);
    const std::vector<float> expected = {1, 2, 3, -1, -1, -1, -1, -1, 4, 5, 6, -1, -1, -1, -1, -1};
    EXPECT_EQ(memory, expected);
    EXPECT_EQ((*a)[4], 5.0);
    EXPECT_EQ(a->valueAt({1, 2}), 6.0);
    EXPECT_EQ(a->physicalExtent(), 11);
}

TEST(MLMultiArrayTest, ElementTypesConvertThroughDouble) {
    auto half = MLMultiArray::create({3}, MLMultiArrayDataType::float16);
    half->setValue(0, 1.5);
    half->setValue(1, -2.0);
    half->setValue(2, 65504.0);
    EXPECT_EQ((*half)[0], 1.5);
    EXPECT_EQ((*half)[1], -2.0);
    EXPECT_EQ((*half)[2], 65504.0);

    auto ints = MLMultiArray::create({3}, MLMultiArrayDataType::int32);
    ints->setValue(0, 7.9);
    ints->setValue(1, 1e12);
    ints->setValue(2, -1e12);
    EXPECT_EQ(ints->data<std::int32_t>()[0], 7);
    EXPECT_EQ(ints->data<std::int32_t>()[1], INT32_MAX);
    EXPECT_EQ(ints->data<std::int32_t>()[2], INT32_MIN);
}

TEST(MLMultiArrayTest, DeallocatorRunsOnceWhenTheLastReferenceGoes) {
    int calls = 0;
    float memory[4] = {};
    {
        auto a = MLMultiArray::wrap(memory, {4}, MLMultiArrayDataType::float32, {1}, [&](void* p) {
            EXPECT_EQ(p, memory);
            ++calls;
        });
        auto b = a;
        a.reset();
        EXPECT_EQ(calls, 0);
    }
    EXPECT_EQ(calls, 1);
}

TEST(MLMultiArrayTest, ViewKeepsItsSourceAlive) {
    int freed = 0;
    auto* memory = new float[8]{0, 1, 2, 3, 4, 5, 6, 7};
    auto source = MLMultiArray::wrap(memory, {8}, MLMultiArrayDataType::float32, {1}, [&](void* p) {
        delete[] static_cast<float*>(p);
        ++freed;
    });
    auto view = MLMultiArray::wrap(memory + 4, {4}, MLMultiArrayDataType::float32, {1}, {}, source);
    source.reset();
    EXPECT_EQ(freed, 0);
    EXPECT_EQ((*view)[3], 7.0);
    view.reset();
    EXPECT_EQ(freed, 1);
}

TEST(MLMultiArrayTest, WrapRejectsLayoutsThatDoNotFitAndFreesTheMemory) {
    struct Case {
        MLMultiArray::Shape shape;
        MLMultiArray::Shape strides;
        std::size_t capacity;
    };
    const std::vector<Case> cases = {
        {{2, 3}, {3}, 0},        // strides of another rank
        {{-1}, {1}, 0},          // negative dimension
        {{2, 3}, {8, 1}, 32},    // padded rows reach past 32 bytes
        {{4}, {-1}, 0},          // negative stride
        {{std::int64_t{1} << 62, 2}, {0, 0}, 0},                 // a count past 64 bits
        {{2, 2}, {std::int64_t{1} << 62, std::int64_t{1} << 62}, 0},  // an extent past 64 bits
    };
    for (const auto& c : cases) {
        int freed = 0;
        static float memory[64];
        EXPECT_THROW(MLMultiArray::wrap(memory, c.shape, MLMultiArrayDataType::float32, c.strides,
                                        [&](void*) { ++freed; }, {}, c.capacity),
                     NSError);
        EXPECT_EQ(freed, 1);
    }
    EXPECT_THROW(MLMultiArray::create({2, -3}, MLMultiArrayDataType::float32), NSError);
    // Counts whose bytes do not fit in memory's 64 bits: before they wrapped to a few bytes.
    EXPECT_THROW(MLMultiArray::create({std::int64_t{1} << 62, 4}, MLMultiArrayDataType::float32), NSError);
    EXPECT_THROW(MLMultiArray::create({std::int64_t{1} << 61, 2}, MLMultiArrayDataType::float32), NSError);
    // An empty array may have dimensions whose product of strides would overflow.
    const auto empty = MLMultiArray::create({0, std::int64_t{1} << 40, std::int64_t{1} << 40}, MLMultiArrayDataType::float32);
    EXPECT_EQ(empty->count(), 0);
}

TEST(MLMultiArrayTest, CopyConvertsTypesAndHonoursBothLayouts) {
    std::vector<float> padded(2 * 16, 9.0f);
    auto source = MLMultiArray::wrap(padded.data(), {2, 3}, MLMultiArrayDataType::float32, {16, 1});
    for (int i = 0; i < 6; ++i) source->setValue(i, i * 0.5);
    auto halves = MLMultiArray::create({2, 3}, MLMultiArrayDataType::float16);
    copyMultiArray(*source, *halves);
    for (int i = 0; i < 6; ++i) EXPECT_EQ((*halves)[i], i * 0.5);

    auto contiguous = cloneMultiArray(*source);
    EXPECT_TRUE(contiguous->isContiguous());
    for (int i = 0; i < 6; ++i) EXPECT_EQ((*contiguous)[i], i * 0.5);

    auto wrongShape = MLMultiArray::create({3, 2}, MLMultiArrayDataType::float32);
    EXPECT_THROW(copyMultiArray(*source, *wrongShape), NSError);
}

}  // namespace
}  // namespace platform
