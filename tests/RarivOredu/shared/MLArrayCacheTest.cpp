#include <gtest/gtest.h>

#include <vector>

#include "Platform/log/LogCapture.h"
#include "RarivOredu/shared/ANEMemoryUtils.h"
#include "RarivOredu/shared/MLArrayCache.h"

namespace rarivoredu {
namespace {

using platform::MLMultiArrayDataType;
using platform::MLMultiArrayPtr;
using Shape = MLArrayCache::Shape;

TEST(MLArrayCacheTest, PrewarmedArraysComeBackLastInFirstOutThenFreshOnes) {
    MLArrayCache cache;
    cache.prewarm({{{1, 240000}, MLMultiArrayDataType::float32}});
    ASSERT_EQ(cache.cachedCount({1, 240000}, MLMultiArrayDataType::float32), 5u);

    std::vector<MLMultiArrayPtr> handedOut;
    for (int i = 0; i < 6; ++i) handedOut.push_back(cache.getArray({1, 240000}, MLMultiArrayDataType::float32));
    EXPECT_EQ(cache.cachedCount({1, 240000}, MLMultiArrayDataType::float32), 0u);
    for (const auto& a : handedOut) {
        EXPECT_TRUE(ANEMemoryUtils::isAligned(*a));
        EXPECT_EQ(a->shape(), (Shape{1, 240000}));
    }
    // The pre-warmed five are distinct arrays; the sixth is new.
    for (int i = 0; i < 6; ++i) {
        for (int j = i + 1; j < 6; ++j) EXPECT_NE(handedOut[i].get(), handedOut[j].get());
    }
}

TEST(MLArrayCacheTest, KeysDistinguishShapeOrderAndType) {
    MLArrayCache cache;
    cache.prewarm({{{1, 240000}, MLMultiArrayDataType::float32}, {{1}, MLMultiArrayDataType::int32}});
    EXPECT_EQ(cache.cachedCount({240000, 1}, MLMultiArrayDataType::float32), 0u);
    EXPECT_EQ(cache.cachedCount({1, 240000}, MLMultiArrayDataType::int32), 0u);
    EXPECT_EQ(cache.cachedCount({1}, MLMultiArrayDataType::int32), 5u);
    auto fresh = cache.getArray({240000, 1}, MLMultiArrayDataType::float32);
    EXPECT_EQ(fresh->shape(), (Shape{240000, 1}));
    EXPECT_EQ(cache.cachedCount({240000, 1}, MLMultiArrayDataType::float32), 0u);
    EXPECT_EQ(cache.cachedCount({1, 240000}, MLMultiArrayDataType::float32), 5u);

    MLArrayCache::CacheKeyHash hash;
    EXPECT_NE(hash({{1, 2}, MLMultiArrayDataType::float32}), hash({{2, 1}, MLMultiArrayDataType::float32}));
}

TEST(MLArrayCacheTest, ArraysPerShapeShrinkWithTheNumberOfShapes) {
    const std::vector<std::pair<int, std::size_t>> cases = {{1, 5}, {2, 5}, {20, 5}, {21, 4}, {25, 4},
                                                            {26, 3}, {34, 2}, {50, 2}, {51, 1}, {101, 0}};
    for (const auto& [n, perShape] : cases) {
        MLArrayCache cache;
        std::vector<std::pair<Shape, MLMultiArrayDataType>> shapes;
        for (int i = 0; i < n; ++i) shapes.push_back({{1, i + 1}, MLMultiArrayDataType::int32});
        cache.prewarm(shapes);
        EXPECT_EQ(cache.cachedCount({1, 1}, MLMultiArrayDataType::int32), perShape) << n;
        EXPECT_EQ(cache.cachedCount({1, n}, MLMultiArrayDataType::int32), perShape) << n;
    }
}

TEST(MLArrayCacheTest, ASecondPrewarmReplacesTheRemainingList) {
    MLArrayCache cache;
    cache.prewarm({{{2, 1, 640}, MLMultiArrayDataType::float32}});
    cache.getArray({2, 1, 640}, MLMultiArrayDataType::float32);
    cache.getArray({2, 1, 640}, MLMultiArrayDataType::float32);
    EXPECT_EQ(cache.cachedCount({2, 1, 640}, MLMultiArrayDataType::float32), 3u);
    cache.prewarm({{{2, 1, 640}, MLMultiArrayDataType::float32}});
    EXPECT_EQ(cache.cachedCount({2, 1, 640}, MLMultiArrayDataType::float32), 5u);
}

TEST(MLArrayCacheTest, PrewarmLogsItsSizeAndSkipsShapesThatCannotBeAllocated) {
    platform::LogCapture capture;
    MLArrayCache cache;
    cache.prewarm({});
    EXPECT_TRUE(capture.contains("Pre-warming cache with 0 shapes", "MLArrayCache"));

    cache.prewarm({{{INT64_MAX / 4, 8}, MLMultiArrayDataType::float32}, {{1}, MLMultiArrayDataType::int32}});
    EXPECT_TRUE(capture.contains("Pre-warming cache with 2 shapes"));
    const auto failures = capture.matching("Failed to pre-warm shape [");
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].message, "Failed to pre-warm shape [" + std::to_string(INT64_MAX / 4) +
                                       ", 8]: Failed to allocate ANE-aligned memory");
    EXPECT_EQ(failures[0].type, platform::OSLogType::error);
    EXPECT_EQ(cache.cachedCount({1}, MLMultiArrayDataType::int32), 5u);
}

}  // namespace
}  // namespace rarivoredu
