#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Platform/ml/MLMultiArray.h"
#include "RarivOredu/shared/AppLogger.h"

namespace rarivoredu {

// Ready-made aligned arrays per shape and type, so that the first transcriptions after start-up
// do not pay for allocation. Arrays handed out belong to the caller; none come back.
class MLArrayCache {
public:
    using Shape = platform::MLMultiArray::Shape;

    struct CacheKey {
        Shape shape;
        platform::MLMultiArrayDataType dataType;
        bool operator==(const CacheKey&) const = default;
    };
    struct CacheKeyHash {
        std::size_t operator()(const CacheKey& key) const noexcept;
    };

    static MLArrayCache& shared();
    MLArrayCache();

    static constexpr int maxCacheSize = 100;

    // The last pre-warmed array for the key, or a new aligned (not zeroed) one. Throws the
    // allocator's NSError (domain "ANEOptimizer", code −1).
    platform::MLMultiArrayPtr getArray(const Shape& shape, platform::MLMultiArrayDataType type);
    // Creates min(100 ÷ n, 5) arrays (5 for a single pair) for each pair, replacing what the
    // cache held for it. A failing shape is logged and skipped.
    void prewarm(const std::vector<std::pair<Shape, platform::MLMultiArrayDataType>>& shapes);

    std::size_t cachedCount(const Shape& shape, platform::MLMultiArrayDataType type) const;

private:
    mutable std::mutex mutex_;
    std::unordered_map<CacheKey, std::vector<platform::MLMultiArrayPtr>, CacheKeyHash> cache_;
    AppLogger logger_;
};

}  // namespace rarivoredu
