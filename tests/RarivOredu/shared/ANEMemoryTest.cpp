#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "RarivOredu/shared/ANEMemoryOptimizer.h"
#include "RarivOredu/shared/ANEMemoryUtils.h"
#include "RarivOredu/shared/ANEOptimizer.h"
#include "RarivOredu/shared/DiarizerError.h"

namespace rarivoredu {
namespace {

using platform::MLMultiArray;
using platform::MLMultiArrayDataType;
using platform::MLMultiArrayPtr;
using platform::NSError;
using Shape = MLMultiArray::Shape;

TEST(ANEMemoryUtilsTest, AllocationRules) {
    struct Case {
        Shape shape;
        MLMultiArrayDataType type;
        Shape strides;
        std::size_t bytes;
    };
    const std::vector<Case> cases = {
        {{1, 3, 50}, MLMultiArrayDataType::float32, {192, 64, 1}, 768},
        {{2, 1, 640}, MLMultiArrayDataType::float32, {640, 640, 1}, 5120},
        {{1, 240000}, MLMultiArrayDataType::float32, {240000, 1}, 960000},
        {{5}, MLMultiArrayDataType::float32, {1}, 64},
        {{3, 17}, MLMultiArrayDataType::float32, {32, 1}, 384},
        {{3, 17}, MLMultiArrayDataType::float16, {32, 1}, 192},
        {{3, 17}, MLMultiArrayDataType::float64, {32, 1}, 768},
        {{1}, MLMultiArrayDataType::int32, {1}, 64},
        {{}, MLMultiArrayDataType::float32, {}, 64},
        {{4, 0}, MLMultiArrayDataType::float32, {0, 1}, 64},
        {{100}, MLMultiArrayDataType::int32, {1}, 448},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ANEMemoryUtils::calculateOptimalStrides(c.shape), c.strides);
        EXPECT_EQ(ANEMemoryUtils::allocationSize(c.shape, c.type), c.bytes);
        for (bool zero : {false, true}) {
            auto a = ANEMemoryUtils::createAlignedArray(c.shape, c.type, zero);
            EXPECT_TRUE(ANEMemoryUtils::isAligned(*a));
            EXPECT_EQ(a->strides(), c.strides);
            EXPECT_EQ(a->capacityBytes(), c.bytes);
            EXPECT_EQ(a->dataType(), c.type);
            if (zero) {
                const auto* bytes = static_cast<const std::uint8_t*>(a->dataPointer());
                for (std::size_t i = 0; i < c.bytes; ++i) ASSERT_EQ(bytes[i], 0);
            }
        }
    }
    EXPECT_EQ(ANEMemoryUtils::elementSize(MLMultiArrayDataType::float16), 2u);
    EXPECT_EQ(ANEMemoryUtils::elementSize(MLMultiArrayDataType::float64), 8u);
    EXPECT_EQ(ANEMemoryUtils::elementSize(MLMultiArrayDataType::int32), 4u);
}

TEST(ANEMemoryUtilsTest, ImpossibleSizesFailAsAllocationErrors) {
    const Shape huge = {INT64_MAX / 2, 3};
    try {
        ANEMemoryUtils::createAlignedArray(huge, MLMultiArrayDataType::float32, false);
        FAIL();
    } catch (const ANEMemoryError& e) {
        EXPECT_EQ(e.kind(), ANEMemoryError::Kind::allocationFailed);
    }
    try {
        ANEOptimizer::createAlignedArray(huge, MLMultiArrayDataType::float32);
        FAIL();
    } catch (const NSError& e) {
        EXPECT_EQ(e.domain(), "ANEOptimizer");
        EXPECT_EQ(e.code(), -1);
        EXPECT_EQ(e.localizedDescription(), "Failed to allocate ANE-aligned memory");
    }
    ANEMemoryOptimizer pool;
    EXPECT_THROW(pool.getPooledBuffer("huge", huge, MLMultiArrayDataType::float32), DiarizerError);
    EXPECT_EQ(pool.pooledBufferCount(), 0u);
}

TEST(ANEMemoryUtilsTest, ViewsStayInsideTheirSource) {
    auto source = ANEMemoryUtils::createAlignedArray({100}, MLMultiArrayDataType::float32, true);
    EXPECT_THROW(ANEMemoryUtils::createZeroCopyView(source, 95, {10}), ANEMemoryError);
    auto view = ANEMemoryUtils::createZeroCopyView(source, 90, {10});
    view->setValue(9, 4.5);
    EXPECT_EQ((*source)[99], 4.5);

    try {
        ANEOptimizer::createZeroCopyView(source, {10}, 95);
        FAIL();
    } catch (const NSError& e) {
        EXPECT_EQ(e.code(), -2);
        EXPECT_EQ(e.localizedDescription(), "View exceeds source array bounds");
    }
    ANEMemoryOptimizer pool;
    EXPECT_THROW(pool.createZeroCopyView(source, {10}, 95), DiarizerError);
}

TEST(ANEMemoryUtilsTest, PaddedViewsAreCheckedAgainstTheSourcesMemoryNotItsElementCount) {
    // 64 contiguous floats: a [4, 3] view fits by element count (12) but its padded rows
    // (stride 16) reach 3·16 + 3 = 51 elements past the offset.
    auto source = ANEMemoryUtils::createAlignedArray({64}, MLMultiArrayDataType::float32, true);
    EXPECT_NO_THROW(ANEOptimizer::createZeroCopyView(source, {4, 3}, 13));
    EXPECT_THROW(ANEOptimizer::createZeroCopyView(source, {4, 3}, 14), NSError);
    // With explicit contiguous strides the same view fits further in.
    EXPECT_NO_THROW(ANEMemoryUtils::createZeroCopyView(source, 52, {4, 3}, Shape{3, 1}));
}

TEST(ANEMemoryUtilsTest, ViewBoundsHoldForHugeOffsetsAndKeepOutOfPadding) {
    // [2, 50] pads each row to 64 elements: 50..63 and 114..127 are padding.
    auto padded = ANEMemoryUtils::createAlignedArray({2, 50}, MLMultiArrayDataType::float32, true);
    // 100 contiguous elements in an allocation rounded up to 112.
    auto contiguous = ANEMemoryUtils::createAlignedArray({100}, MLMultiArrayDataType::float32, true);
    constexpr std::int64_t max = INT64_MAX;
    struct Case {
        const char* name;
        const MLMultiArrayPtr& source;
        std::int64_t offset;
        Shape shape;
        std::optional<Shape> strides;
        bool fits;
    };
    const std::vector<Case> cases{
        {"2^62", contiguous, std::int64_t{1} << 62, {10}, std::nullopt, false},
        {"2^63 - 6", contiguous, max - 5, {10}, std::nullopt, false},
        {"2^63 - 1", contiguous, max, {1}, std::nullopt, false},
        {"negative", contiguous, -1, {10}, std::nullopt, false},
        {"shape product overflows", contiguous, 0, {max, 4}, Shape{4, 1}, false},
        {"stride reach overflows", contiguous, 0, {3, 1}, Shape{max / 2, 1}, false},
        {"last ten", contiguous, 90, {10}, std::nullopt, true},
        {"padded view rows into the allocation's rounding", contiguous, 85, {2, 3}, Shape{16, 1}, false},
        {"first row", padded, 0, {50}, std::nullopt, true},
        {"second row", padded, 64, {36}, std::nullopt, true},
        {"both rows with the source's layout", padded, 0, {2, 50}, std::nullopt, true},
        {"into the first row's padding", padded, 45, {10}, std::nullopt, false},
        {"starting in padding", padded, 60, {2}, std::nullopt, false},
        {"a column over both rows", padded, 49, {2, 1}, Shape{64, 1}, true},
        {"a column one past the rows", padded, 50, {2, 1}, Shape{64, 1}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.fits) {
            auto view = ANEMemoryUtils::createZeroCopyView(c.source, c.offset, c.shape, c.strides);
            EXPECT_EQ(view->dataPointer(), c.source->data<float>() + c.offset);
        } else {
            EXPECT_THROW(ANEMemoryUtils::createZeroCopyView(c.source, c.offset, c.shape, c.strides), ANEMemoryError);
        }
    }
    // The other two entry points answer a huge offset with their own errors.
    EXPECT_THROW(ANEOptimizer::createZeroCopyView(contiguous, {10}, std::int64_t{1} << 62), NSError);
    ANEMemoryOptimizer pool;
    EXPECT_THROW(pool.createZeroCopyView(contiguous, {10}, max - 5), DiarizerError);
}

TEST(ANEMemoryUtilsTest, ViewsKeepTheirSourceAlive) {
    auto source = ANEMemoryUtils::createAlignedArray({32}, MLMultiArrayDataType::float32, true);
    source->setValue(20, 7);
    auto view = ANEOptimizer::createZeroCopyView(source, {16}, 16);
    source.reset();
    EXPECT_EQ((*view)[4], 7.0);
}

TEST(ANEOptimizerTest, Float16ConversionCoversEveryPaddedRow) {
    auto source = ANEOptimizer::createAlignedArray({3, 17}, MLMultiArrayDataType::float32);
    for (int i = 0; i < 51; ++i) source->setValue(i, i - 25.5);
    auto half = ANEOptimizer::convertToFloat16(*source);
    EXPECT_EQ(half->dataType(), MLMultiArrayDataType::float16);
    EXPECT_EQ(half->shape(), source->shape());
    EXPECT_EQ(half->strides(), (Shape{32, 1}));
    for (int i = 0; i < 51; ++i) EXPECT_EQ((*half)[i], i - 25.5) << i;

    auto ints = MLMultiArray::create({4}, MLMultiArrayDataType::int32);
    try {
        ANEOptimizer::convertToFloat16(*ints);
        FAIL();
    } catch (const NSError& e) {
        EXPECT_EQ(e.code(), -3);
        EXPECT_EQ(e.localizedDescription(), "Input must be float32");
    }
}

TEST(ANEMemoryOptimizerTest, PoolHandsOutOneArrayPerKeyUntilTheShapeOrTypeChanges) {
    ANEMemoryOptimizer pool;
    auto a = pool.getPooledBuffer("mask", {1, 589}, MLMultiArrayDataType::float32);
    auto b = pool.getPooledBuffer("mask", {1, 589}, MLMultiArrayDataType::float32);
    EXPECT_EQ(a.get(), b.get());
    auto c = pool.getPooledBuffer("mask", {1, 590}, MLMultiArrayDataType::float32);
    EXPECT_NE(c.get(), a.get());
    auto d = pool.getPooledBuffer("mask", {1, 590}, MLMultiArrayDataType::float16);
    EXPECT_NE(d.get(), c.get());
    EXPECT_EQ(pool.getPooledBuffer("mask", {1, 590}, MLMultiArrayDataType::float16).get(), d.get());
    pool.getPooledBuffer("waveform", {1, 160000}, MLMultiArrayDataType::float32);
    EXPECT_EQ(pool.pooledBufferCount(), 2u);
    pool.clearBufferPool();
    EXPECT_EQ(pool.pooledBufferCount(), 0u);
    EXPECT_NE(pool.getPooledBuffer("mask", {1, 590}, MLMultiArrayDataType::float16).get(), d.get());
}

TEST(ANEMemoryOptimizerTest, OptimizedCopyFillsPaddedRowsAndLeavesOtherTypesAlone) {
    ANEMemoryOptimizer pool;
    auto padded = pool.createAlignedBuffer({3, 5}, MLMultiArrayDataType::float32);  // rows of 16
    std::vector<float> values(20);
    for (int i = 0; i < 20; ++i) values[i] = i + 1.0f;
    pool.optimizedCopy(values, *padded, 2);  // 13 of the 20 fit from element 2 on
    for (int i = 0; i < 15; ++i) EXPECT_EQ((*padded)[i], i < 2 ? 0.0 : i - 1.0) << i;
    // The padding between rows stays untouched.
    EXPECT_EQ(padded->data<float>()[5], 0.0f);

    auto half = pool.createAlignedBuffer({4}, MLMultiArrayDataType::float16);
    pool.optimizedCopy(values, *half, 0);
    for (int i = 0; i < 4; ++i) EXPECT_EQ((*half)[i], 0.0);

    auto flat = pool.createAlignedBuffer({4}, MLMultiArrayDataType::float32);
    pool.optimizedCopy(values, *flat, 4);  // offset at the end: nothing to copy
    pool.optimizedCopy(values, *flat, 9);  // offset past the end: ignored
    for (int i = 0; i < 4; ++i) EXPECT_EQ((*flat)[i], 0.0);
}

}  // namespace
}  // namespace rarivoredu
