#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Platform/system/Date.h"
#include "Platform/system/UUID.h"
#include "RarivOredu/diarization/RawEmbedding.h"

namespace rarivoredu {

// One known speaker: the main embedding used for matching, the speech time attributed to it and
// a bounded history of the embeddings it was built from. Shared by reference (SpeakerPtr): the
// speaker database and every caller that received a record see the same object. A record has no
// lock of its own; the speaker manager changes the ones it holds only under its own lock.
class Speaker {
public:
    static constexpr std::size_t maxRawEmbeddings = 50;
    // An embedding enters the history only when its L2 norm is above this.
    static constexpr float minEmbeddingNorm = 0.1f;

    // A missing id becomes the text of a fresh UUID, a missing name the id, and missing times the
    // one clock reading taken here. updateCount starts at 1, the history empty.
    Speaker(std::optional<std::string> id, std::optional<std::string> name, std::vector<float> currentEmbedding,
            float duration = 0, std::optional<platform::Date> createdAt = std::nullopt,
            std::optional<platform::Date> updatedAt = std::nullopt);

    const std::string id;
    std::string name;
    float duration = 0;  // seconds
    platform::Date createdAt;
    platform::Date updatedAt;
    std::int64_t updateCount = 1;
    std::vector<RawEmbedding> rawEmbeddings;

    // The main embedding, used for matching, with its sum of squares kept beside it so that a
    // scan over many speakers does not sum them again.
    const std::vector<float>& currentEmbedding() const noexcept { return currentEmbedding_; }
    float currentEmbeddingSumOfSquares() const noexcept { return currentSumOfSquares_; }
    void setCurrentEmbedding(std::vector<float> embedding);

    // Admits an entry whose embedding's norm is above 0.1, evicting the oldest entry when the
    // history already holds 50, then recomputes the main embedding. Others are ignored.
    void addRawEmbedding(RawEmbedding raw);
    // The main embedding becomes the mean of the history entries of the first entry's length, and
    // updatedAt now; an empty history, or a first entry of length 0, changes nothing.
    void recalculateMainEmbedding();
    // Records a segment's embedding (norm above 0.1, else nothing changes): it enters the
    // history, and the main embedding becomes alpha × base + (1 − alpha) × embedding, where base
    // is the mean of the history, or the main embedding the speaker had when its history was
    // empty, so that a known embedding is not thrown away. Adds the duration and counts the update.
    void updateMainEmbedding(std::span<const float> embedding, float duration, float alpha,
                             const platform::UUID& segmentId);
    // Removes the first history entry of the segment and recomputes the main embedding; nothing
    // when the segment is not in the history.
    std::optional<RawEmbedding> removeRawEmbedding(const platform::UUID& segmentId);
    // Absorbs another speaker's history (keeping the 50 newest), duration and update count; the
    // other speaker is not changed.
    void merge(const Speaker& other, std::optional<std::string> newName = std::nullopt);

    // Two records are the same speaker when their ids are equal.
    bool operator==(const Speaker& other) const noexcept { return id == other.id; }

    // Keys "id", "name", "currentEmbedding", "duration", "createdAt", "updatedAt", "updateCount",
    // "rawEmbeddings". Decoding takes the stored history as it is. Throws NSError (Cocoa domain):
    // coderReadCorrupt for a missing or mistyped key, coderInvalidValue when encoding a NaN or
    // an infinity.
    nlohmann::ordered_json toJSON() const;
    static Speaker fromJSON(const nlohmann::ordered_json& json);

private:
    void currentEmbeddingChanged() noexcept;

    std::vector<float> currentEmbedding_;
    float currentSumOfSquares_ = 0;
};

using SpeakerPtr = std::shared_ptr<Speaker>;

}  // namespace rarivoredu

template <>
struct std::hash<rarivoredu::Speaker> {
    std::size_t operator()(const rarivoredu::Speaker& speaker) const noexcept {
        return std::hash<std::string>()(speaker.id);
    }
};
