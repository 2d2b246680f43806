#pragma once

#include <cmath>
#include <cstddef>
#include <span>
#include <vector>

namespace rarivoredu {

// Single-precision sums over float vectors, shared by the embedding checks and the speaker
// records. Every sum runs in one fixed order, so the same vectors always give the same value.
struct VectorMath {
    VectorMath() = delete;

    static float sumOfSquares(std::span<const float> values) noexcept;
    static float l2Norm(std::span<const float> values) noexcept { return std::sqrt(sumOfSquares(values)); }
    // False when any value is an infinity or NaN.
    static bool allFinite(std::span<const float> values) noexcept;

    // Over the first min(|a|, |b|) values.
    static float dot(std::span<const float> a, std::span<const float> b) noexcept;
    // sum[i] += values[i] for i < n.
    static void accumulate(float* sum, const float* values, std::size_t n) noexcept;

    // Writes into `out` the element-wise mean of the items whose embedding has the length of the
    // first item's; items of another length are skipped. Leaves `out` alone and answers false
    // when there are no items or the first embedding is empty.
    template <class Items, class EmbeddingOf>
    static bool mean(const Items& items, EmbeddingOf embeddingOf, std::vector<float>& out) {
        if (items.empty()) return false;
        const std::size_t dimension = embeddingOf(*items.begin()).size();
        if (dimension == 0) return false;
        out.assign(dimension, 0.0f);
        std::size_t counted = 0;
        for (const auto& item : items) {
            const auto& embedding = embeddingOf(item);
            if (embedding.size() != dimension) continue;
            accumulate(out.data(), embedding.data(), dimension);
            ++counted;
        }
        const float count = static_cast<float>(counted);
        for (auto& value : out) value /= count;
        return true;
    }
};

}  // namespace rarivoredu
