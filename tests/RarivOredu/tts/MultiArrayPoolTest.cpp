#include "RarivOredu/tts/MultiArrayPool.h"

#include <gtest/gtest.h>

namespace rarivoredu::KokoroSynthesizer {
namespace {

using platform::MLMultiArrayDataType;
using Shape = MultiArrayPool::Shape;

TEST(MultiArrayPoolTest, HandsBackTheLastRecycledArrayThenMakesNewOnes) {
    MultiArrayPool pool;
    auto first = pool.rent(Shape{1, 4}, MLMultiArrayDataType::int32, false);
    first->data<std::int32_t>()[2] = 7;
    pool.recycle(first, false);
    const auto again = pool.rent(Shape{1, 4}, MLMultiArrayDataType::int32, false);
    EXPECT_EQ(again, first);
    EXPECT_EQ(again->data<std::int32_t>()[2], 7);  // as it was given back
    const auto fresh = pool.rent(Shape{1, 4}, MLMultiArrayDataType::int32, false);
    EXPECT_NE(fresh, first);
    EXPECT_EQ(fresh->data<std::int32_t>()[2], 0);
}

TEST(MultiArrayPoolTest, ZeroFillClearsOnTheWayInOrOut) {
    for (const bool onRecycle : {true, false}) {
        MultiArrayPool pool;
        auto array = pool.rent(Shape{1, 9}, MLMultiArrayDataType::float32, false);
        array->fill(3.5);
        pool.recycle(array, onRecycle);
        const auto rented = pool.rent(Shape{1, 9}, MLMultiArrayDataType::float32, !onRecycle);
        for (std::int64_t i = 0; i < 9; ++i) EXPECT_EQ((*rented)[i], 0.0) << "element " << i;
    }
}

TEST(MultiArrayPoolTest, PreallocateTopsUpToTheCountAndKeysHoldTheirTypeAndShape) {
    MultiArrayPool pool;
    pool.recycle(platform::MLMultiArray::create({1, 8}, MLMultiArrayDataType::int32), false);
    pool.preallocate({1, 8}, MLMultiArrayDataType::int32, 3, false);
    EXPECT_EQ(pool.availableCount({1, 8}, MLMultiArrayDataType::int32), 3u);
    pool.preallocate({1, 8}, MLMultiArrayDataType::int32, 1, false);
    pool.preallocate({1, 8}, MLMultiArrayDataType::int32, 0, false);
    EXPECT_EQ(pool.availableCount({1, 8}, MLMultiArrayDataType::int32), 3u);
    EXPECT_EQ(pool.availableCount({1, 8}, MLMultiArrayDataType::float32), 0u);
    EXPECT_EQ(pool.availableCount({8, 1}, MLMultiArrayDataType::int32), 0u);
    EXPECT_EQ(pool.rent(Shape{1, 8}, MLMultiArrayDataType::float32, false)->dataType(), MLMultiArrayDataType::float32);
}

TEST(MultiArrayPoolTest, ZeroFillCoversEveryElementTypeAndLeavesEmptyArraysAlone) {
    for (const auto type : {MLMultiArrayDataType::float16, MLMultiArrayDataType::float32, MLMultiArrayDataType::float64,
                            MLMultiArrayDataType::int32}) {
        auto array = platform::MLMultiArray::create({2, 3}, type);
        array->fill(1.0);
        zeroFill(*array);
        for (std::int64_t i = 0; i < array->count(); ++i) EXPECT_EQ((*array)[i], 0.0) << platform::name(type);
    }
    auto empty = platform::MLMultiArray::create({0, 3}, MLMultiArrayDataType::float32);
    zeroFill(*empty);
    EXPECT_EQ(empty->count(), 0);
}

}  // namespace
}  // namespace rarivoredu::KokoroSynthesizer
