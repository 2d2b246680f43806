#pragma once

#include <cmath>
#include <cstddef>
#include <span>
#include <vector>

namespace rarivoredu {

// Single-precision sums over float vectors, shared by the embedding checks and the speaker
// records. Every sum runs in index order so that the same vector always gives the same value.
struct VectorMath {
    VectorMath() = delete;

    static float sumOfSquares(std::span<const float> values) noexcept;
    static float l2Norm(std::span<const float> values) noexcept { return std::sqrt(sumOfSquares(values)); }
    // False when any value is an infinity or NaN.
    static bool allFinite(std::span<const float> values) noexcept;

    // The dot product of a and b and both sums of squares, accumulated in one pass over the first
    // n = min(|a|, |b|) values.
    struct CosineSums {
        float dot = 0;
        float sumSquaresA = 0;
        float sumSquaresB = 0;
    };
    static CosineSums cosineSums(std::span<const float> a, std::span<const float> b) noexcept;

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
            for (std::size_t i = 0; i < dimension; ++i) out[i] += embedding[i];
            ++counted;
        }
        const float count = static_cast<float>(counted);
        for (auto& value : out) value /= count;
        return true;
    }
};

}  // namespace rarivoredu
