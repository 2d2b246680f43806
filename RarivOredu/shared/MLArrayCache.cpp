#include "RarivOredu/shared/MLArrayCache.h"

#include <algorithm>
#include <functional>
#include <string>

#include "RarivOredu/shared/ANEMemoryUtils.h"
#include "RarivOredu/shared/ANEOptimizer.h"

namespace rarivoredu {

using platform::MLMultiArrayDataType;
using platform::MLMultiArrayPtr;

namespace {

std::string shapeText(const MLArrayCache::Shape& shape) {
    std::string s = "[";
    for (std::size_t i = 0; i < shape.size(); ++i) s += (i ? ", " : "") + std::to_string(shape[i]);
    return s + "]";
}

}  // namespace

std::size_t MLArrayCache::CacheKeyHash::operator()(const CacheKey& key) const noexcept {
    std::size_t h = std::hash<std::size_t>{}(key.shape.size());
    auto mix = [&h](std::size_t v) { h ^= v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2); };
    for (auto d : key.shape) mix(std::hash<std::int64_t>{}(d));
    mix(std::hash<int>{}(static_cast<int>(key.dataType)));
    return h;
}

MLArrayCache& MLArrayCache::shared() {
    static MLArrayCache instance;
    return instance;
}

MLArrayCache::MLArrayCache() : logger_("MLArrayCache") {}

MLMultiArrayPtr MLArrayCache::getArray(const Shape& shape, MLMultiArrayDataType type) {
    {
        std::lock_guard lock(mutex_);
        const auto it = cache_.find(CacheKey{shape, type});
        if (it != cache_.end() && !it->second.empty()) {
            auto array = std::move(it->second.back());
            it->second.pop_back();
            return array;
        }
    }
    return ANEOptimizer::createAlignedArray(shape, type);
}

void MLArrayCache::prewarm(const std::vector<std::pair<Shape, MLMultiArrayDataType>>& shapes) {
    std::lock_guard lock(mutex_);
    const std::size_t n = shapes.size();
    logger_.info("Pre-warming cache with " + std::to_string(n) + " shapes");
    const std::size_t perShape = n == 1 ? 5 : (n == 0 ? 0 : std::min<std::size_t>(maxCacheSize / n, 5));
    for (const auto& [shape, type] : shapes) {
        const CacheKey key{shape, type};
        if (perShape == 0) {
            cache_[key] = {};
            continue;
        }
        std::vector<MLMultiArrayPtr> arrays;
        arrays.reserve(perShape);
        try {
            for (std::size_t i = 0; i < perShape; ++i) {
                arrays.push_back(ANEMemoryUtils::createAlignedArray(shape, type, false));
            }
        } catch (const std::exception& e) {
            const auto error = ANEOptimizer::allocationError(e);
            logger_.error("Failed to pre-warm shape " + shapeText(shape) + ": " + error.localizedDescription());
            continue;
        }
        cache_[key] = std::move(arrays);
    }
}

std::size_t MLArrayCache::cachedCount(const Shape& shape, MLMultiArrayDataType type) const {
    std::lock_guard lock(mutex_);
    const auto it = cache_.find(CacheKey{shape, type});
    return it == cache_.end() ? 0 : it->second.size();
}

}  // namespace rarivoredu
