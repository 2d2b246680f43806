#pragma once

#include <cstddef>
#include <vector>

#include <nlohmann/json.hpp>

#include "Platform/system/Date.h"
#include "Platform/system/UUID.h"

namespace rarivoredu {

// One entry of a speaker's embedding history: the embedding of one segment and when it came.
struct RawEmbedding {
    platform::UUID segmentId;
    std::vector<float> embedding;
    platform::Date timestamp;

    RawEmbedding(platform::UUID segmentId, std::vector<float> embedding, platform::Date timestamp)
        : segmentId(segmentId), embedding(std::move(embedding)), timestamp(timestamp) {}

    // Keys "segmentId" (canonical text), "embedding", "timestamp" (seconds since 2001).
    nlohmann::ordered_json toJSON() const;
    // Throws NSError (Cocoa domain, coderReadCorrupt) for a missing or mistyped key.
    static RawEmbedding fromJSON(const nlohmann::ordered_json& json);

    // Histories are bounded by evicting the entry with the earliest timestamp (the first of equal
    // ones), whatever order the history is in: a merged history lists the newest first.
    static void removeOldest(std::vector<RawEmbedding>& history);
    // Keeps the `maxCount` newest entries: a longer history is sorted newest first (stable) and
    // cut; a history within the bound keeps its order.
    static void keepNewest(std::vector<RawEmbedding>& history, std::size_t maxCount);
};

}  // namespace rarivoredu
