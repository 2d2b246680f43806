#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "Platform/system/Date.h"
#include "Platform/system/UUID.h"
#include "RarivOredu/diarization/RawEmbedding.h"
#include "RarivOredu/diarization/Speaker.h"
#include "RarivOredu/shared/AppLogger.h"

namespace rarivoredu {

// Stateless functions on embeddings and speaker records: distance, checks, moving average, the
// assignment decision, and history updates that return new values instead of changing a
// Speaker. Safe from any thread. Floats in messages are in their shortest form (0.45, 4.0, inf).
class SpeakerUtilities {
public:
    SpeakerUtilities() = delete;

    struct AssignmentConfig {
        float maxDistanceForAssignment = 0.65f;
        float maxDistanceForUpdate = 0.45f;
        float minSpeakerDuration = 4.0f;   // seconds: shortest segment that may update or create
        float minSegmentDuration = 1.0f;   // seconds: shortest segment that may be assigned at all

        static AssignmentConfig defaultConfig() { return {0.65f, 0.45f, 4.0f, 1.0f}; }
        static AssignmentConfig strict() { return {0.55f, 0.45f, 4.0f, 1.0f}; }
    };

    struct AssignmentDecision {
        bool shouldAssign = false;
        bool shouldUpdate = false;
        float confidence = 0;  // 1 − distance
        std::string reason;
    };

    struct SpeakerCreationParams {
        std::string id;
        std::string name;  // "Speaker <id>" when none was given
        float duration = 0;
        std::vector<float> embedding;
        platform::Date createdAt;
        platform::Date updatedAt;

        SpeakerCreationParams(std::string id, std::optional<std::string> name, float duration,
                              std::vector<float> embedding, platform::Date createdAt, platform::Date updatedAt);
    };

    // Either the parameters of a speaker that may be created, or why not.
    class SpeakerCreationResult {
    public:
        static SpeakerCreationResult success(SpeakerCreationParams params) { return SpeakerCreationResult(std::move(params)); }
        static SpeakerCreationResult failure(std::string reason) { return SpeakerCreationResult(std::move(reason)); }

        bool isSuccess() const noexcept { return std::holds_alternative<SpeakerCreationParams>(value_); }
        // Null on failure.
        const SpeakerCreationParams* params() const noexcept { return std::get_if<SpeakerCreationParams>(&value_); }
        // Empty on success.
        std::string reason() const { return isSuccess() ? std::string() : std::get<std::string>(value_); }

    private:
        explicit SpeakerCreationResult(SpeakerCreationParams params) : value_(std::move(params)) {}
        explicit SpeakerCreationResult(std::string reason) : value_(std::move(reason)) {}
        std::variant<SpeakerCreationParams, std::string> value_;
    };

    struct SpeakerUpdateResult {
        std::vector<float> updatedMainEmbedding;
        std::vector<RawEmbedding> updatedRawEmbeddings;
        float updatedDuration = 0;
        bool shouldRecalculate = false;  // the new history holds more than 2 entries
    };

    struct RawEmbeddingRemoval {
        std::optional<RawEmbedding> removed;
        std::vector<RawEmbedding> remaining;
        bool hasRemaining = false;  // false also when nothing was removed
    };

    struct RawEmbeddingMerge {
        std::vector<RawEmbedding> merged;
        std::optional<std::vector<float>> meanEmbedding;
    };

    static const AppLogger& logger();

    // 1 − cos(a, b): 0 for one direction, 2 for opposite ones. +infinity, logged, when a is empty,
    // the lengths differ or either vector has no magnitude.
    static float cosineDistance(std::span<const float> a, std::span<const float> b);
    // The same with both sums of squares (VectorMath::sumOfSquares) given, for one embedding
    // compared with many speakers.
    static float cosineDistance(std::span<const float> a, float sumSquaresOfA, std::span<const float> b,
                                float sumSquaresOfB);
    // Not empty, L2 norm above `minimumMagnitude`, every value finite.
    static bool validateEmbedding(std::span<const float> embedding, float minimumMagnitude);
    // alpha × current + (1 − alpha) × new; nothing when current is empty, the lengths differ or
    // the new embedding fails validateEmbedding(·, 0.1).
    static std::optional<std::vector<float>> updateEmbedding(std::span<const float> current,
                                                             std::span<const float> newEmbedding, float alpha);
    static AssignmentDecision decideAssignment(float distance, float duration, const AssignmentConfig& config);
    // The speaker nearest by cosine distance (the earliest of equal ones) and its distance; no
    // speaker and +infinity when none can be measured.
    static std::pair<SpeakerPtr, float> findClosestSpeaker(std::span<const float> embedding,
                                                           const std::vector<SpeakerPtr>& speakers);
    static SpeakerCreationResult validateSpeakerCreation(const std::string& id, const std::optional<std::string>& name,
                                                         std::span<const float> embedding, float duration,
                                                         const AssignmentConfig& config);
    // A new speaker when validateSpeakerCreation allows it; otherwise nothing, logged.
    static SpeakerPtr createSpeaker(const std::string& id, const std::optional<std::string>& name,
                                    std::span<const float> embedding, float duration, const AssignmentConfig& config);
    // The history with the entry appended (the oldest evicted at maxCount; a maximum below 1
    // counts as 1), and whether it now holds more than 2 entries. Nothing for an invalid embedding.
    static std::optional<std::pair<std::vector<RawEmbedding>, bool>> appendRawEmbedding(
        const std::vector<RawEmbedding>& history, const platform::UUID& segmentId, std::span<const float> embedding,
        platform::Date timestamp, int maxCount);
    static RawEmbeddingRemoval removeRawEmbedding(const std::vector<RawEmbedding>& history,
                                                  const platform::UUID& segmentId);
    static std::optional<SpeakerUpdateResult> updateSpeakerEmbedding(
        std::span<const float> currentMainEmbedding, const std::vector<RawEmbedding>& history,
        std::span<const float> newEmbedding, const platform::UUID& segmentId, float currentDuration,
        float segmentDuration, float alpha, float minSegmentDuration);
    // Both histories, cut to the maxCount newest (newest first) when longer; a negative maximum
    // keeps nothing. The mean is that of the kept entries.
    static RawEmbeddingMerge mergeRawEmbeddings(const std::vector<RawEmbedding>& existing,
                                                const std::vector<RawEmbedding>& additional, int maxCount);
    // The element-wise mean of the embeddings of the first one's length; nothing when the list is
    // empty or its first embedding is.
    static std::optional<std::vector<float>> averageEmbeddings(const std::vector<std::vector<float>>& embeddings);
};

}  // namespace rarivoredu
