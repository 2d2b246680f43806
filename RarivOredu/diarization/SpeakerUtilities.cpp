#include "RarivOredu/diarization/SpeakerUtilities.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "RarivOredu/diarization/VectorMath.h"
#include "RarivOredu/shared/NumberFormat.h"

namespace rarivoredu {

using platform::Date;
using platform::UUID;

namespace {

constexpr float infinity = std::numeric_limits<float>::infinity();
constexpr float minimumMagnitude = 0.1f;
constexpr float veryHighConfidenceDistance = 0.2f;

}  // namespace

SpeakerUtilities::SpeakerCreationParams::SpeakerCreationParams(std::string id, std::optional<std::string> name,
                                                               float duration, std::vector<float> embedding,
                                                               Date createdAt, Date updatedAt)
    : id(std::move(id)),
      name(name ? std::move(*name) : "Speaker " + this->id),
      duration(duration),
      embedding(std::move(embedding)),
      createdAt(createdAt),
      updatedAt(updatedAt) {}

const AppLogger& SpeakerUtilities::logger() {
    static const AppLogger instance("SpeakerUtilities");
    return instance;
}

float SpeakerUtilities::cosineDistance(std::span<const float> a, std::span<const float> b) {
    return cosineDistance(a, VectorMath::sumOfSquares(a), b, VectorMath::sumOfSquares(b));
}

float SpeakerUtilities::cosineDistance(std::span<const float> a, float sumSquaresOfA, std::span<const float> b,
                                       float sumSquaresOfB) {
    if (a.empty() || a.size() != b.size()) {
        if (AppLogger::isEnabled(AppLogger::Level::error)) {
            logger().error("Invalid embeddings: a.count=" + std::to_string(a.size()) +
                           ", b.count=" + std::to_string(b.size()));
        }
        return infinity;
    }
    if (sumSquaresOfA > 0 && sumSquaresOfB > 0) {
        return 1 - VectorMath::dot(a, b) / (std::sqrt(sumSquaresOfA) * std::sqrt(sumSquaresOfB));
    }
    logger().warning("Zero magnitude embedding detected");
    return infinity;
}

bool SpeakerUtilities::validateEmbedding(std::span<const float> embedding, float minimum) {
    if (embedding.empty()) {
        logger().error("Empty embedding");
        return false;
    }
    const float norm = VectorMath::l2Norm(embedding);
    if (norm <= minimum) {  // a NaN norm passes here and is caught below
        logger().warning("Low magnitude embedding: " + formatShortestFloat(norm));
        return false;
    }
    if (!VectorMath::allFinite(embedding)) {
        logger().error("Embedding contains NaN or Inf");
        return false;
    }
    return true;
}

std::optional<std::vector<float>> SpeakerUtilities::updateEmbedding(std::span<const float> current,
                                                                    std::span<const float> newEmbedding, float alpha) {
    if (current.empty() || current.size() != newEmbedding.size() || !validateEmbedding(newEmbedding, minimumMagnitude)) {
        logger().error("Invalid embeddings for update");
        return std::nullopt;
    }
    std::vector<float> result(current.size());
    for (std::size_t i = 0; i < current.size(); ++i) result[i] = alpha * current[i] + (1 - alpha) * newEmbedding[i];
    return result;
}

SpeakerUtilities::AssignmentDecision SpeakerUtilities::decideAssignment(float distance, float duration,
                                                                        const AssignmentConfig& config) {
    AssignmentDecision decision;
    decision.confidence = 1 - distance;
    if (distance < veryHighConfidenceDistance) {
        decision.shouldAssign = true;
        decision.shouldUpdate = duration >= config.minSpeakerDuration;
        decision.reason = "Very high confidence match";
    } else if (distance < config.maxDistanceForAssignment && duration >= config.minSegmentDuration) {
        decision.shouldAssign = true;
        decision.shouldUpdate = duration >= config.minSpeakerDuration && distance <= config.maxDistanceForUpdate;
        decision.reason = "Sufficient confidence and duration";
    } else {
        decision.reason = distance < config.maxDistanceForAssignment ? "Duration too short" : "Distance too far";
    }
    return decision;
}

std::pair<SpeakerPtr, float> SpeakerUtilities::findClosestSpeaker(std::span<const float> embedding,
                                                                  const std::vector<SpeakerPtr>& speakers) {
    SpeakerPtr best;
    float bestDistance = infinity;
    const float sumSquares = VectorMath::sumOfSquares(embedding);
    for (const auto& speaker : speakers) {
        const float distance = cosineDistance(embedding, sumSquares, speaker->currentEmbedding(),
                                              speaker->currentEmbeddingSumOfSquares());
        if (distance < bestDistance) {
            bestDistance = distance;
            best = speaker;
        }
    }
    return {best, bestDistance};
}

SpeakerUtilities::SpeakerCreationResult SpeakerUtilities::validateSpeakerCreation(
    const std::string& id, const std::optional<std::string>& name, std::span<const float> embedding, float duration,
    const AssignmentConfig& config) {
    if (duration < config.minSpeakerDuration) {
        return SpeakerCreationResult::failure("Duration " + formatShortestFloat(duration) + " < minimum " +
                                              formatShortestFloat(config.minSpeakerDuration));
    }
    if (!validateEmbedding(embedding, minimumMagnitude)) {
        return SpeakerCreationResult::failure("Invalid embedding: failed quality checks");
    }
    const Date createdAt = Date::now();
    return SpeakerCreationResult::success(SpeakerCreationParams(
        id, name, duration, std::vector<float>(embedding.begin(), embedding.end()), createdAt, Date::now()));
}

SpeakerPtr SpeakerUtilities::createSpeaker(const std::string& id, const std::optional<std::string>& name,
                                           std::span<const float> embedding, float duration,
                                           const AssignmentConfig& config) {
    const auto result = validateSpeakerCreation(id, name, embedding, duration, config);
    const auto* params = result.params();
    if (!params) {
        logger().error("Failed to create speaker: " + result.reason());
        return nullptr;
    }
    const Date now = Date::now();
    return std::make_shared<Speaker>(params->id, params->name, params->embedding, params->duration, now, now);
}

std::optional<std::pair<std::vector<RawEmbedding>, bool>> SpeakerUtilities::appendRawEmbedding(
    const std::vector<RawEmbedding>& history, const UUID& segmentId, std::span<const float> embedding, Date timestamp,
    int maxCount) {
    if (!validateEmbedding(embedding, minimumMagnitude)) {
        logger().warning("Invalid embedding for segment " + segmentId.uuidString());
        return std::nullopt;
    }
    std::vector<RawEmbedding> updated = history;
    const auto bound = static_cast<std::size_t>(std::max(maxCount, 1));
    if (updated.size() >= bound) RawEmbedding::removeOldest(updated);
    updated.emplace_back(segmentId, std::vector<float>(embedding.begin(), embedding.end()), timestamp);
    const bool shouldRecalculate = updated.size() > 2;
    return std::make_pair(std::move(updated), shouldRecalculate);
}

SpeakerUtilities::RawEmbeddingRemoval SpeakerUtilities::removeRawEmbedding(const std::vector<RawEmbedding>& history,
                                                                           const UUID& segmentId) {
    RawEmbeddingRemoval result;
    result.remaining = history;
    const auto it = std::find_if(result.remaining.begin(), result.remaining.end(),
                                 [&](const RawEmbedding& raw) { return raw.segmentId == segmentId; });
    if (it == result.remaining.end()) return result;
    result.removed = std::move(*it);
    result.remaining.erase(it);
    result.hasRemaining = !result.remaining.empty();
    return result;
}

std::optional<SpeakerUtilities::SpeakerUpdateResult> SpeakerUtilities::updateSpeakerEmbedding(
    std::span<const float> currentMainEmbedding, const std::vector<RawEmbedding>& history,
    std::span<const float> newEmbedding, const UUID& segmentId, float currentDuration, float segmentDuration,
    float alpha, float minSegmentDuration) {
    if (segmentDuration < minSegmentDuration) return std::nullopt;
    if (!validateEmbedding(newEmbedding, minimumMagnitude)) {
        logger().warning("Invalid embedding for segment " + segmentId.uuidString());
        return std::nullopt;
    }
    SpeakerUpdateResult result;
    result.updatedRawEmbeddings = history;
    if (result.updatedRawEmbeddings.size() >= Speaker::maxRawEmbeddings) {
        RawEmbedding::removeOldest(result.updatedRawEmbeddings);
    }
    result.updatedRawEmbeddings.emplace_back(segmentId, std::vector<float>(newEmbedding.begin(), newEmbedding.end()),
                                             Date::now());
    auto average = updateEmbedding(currentMainEmbedding, newEmbedding, alpha);
    if (!average) return std::nullopt;
    result.updatedMainEmbedding = std::move(*average);
    result.updatedDuration = currentDuration + segmentDuration;
    result.shouldRecalculate = result.updatedRawEmbeddings.size() > 2;
    return result;
}

SpeakerUtilities::RawEmbeddingMerge SpeakerUtilities::mergeRawEmbeddings(const std::vector<RawEmbedding>& existing,
                                                                         const std::vector<RawEmbedding>& additional,
                                                                         int maxCount) {
    RawEmbeddingMerge result;
    result.merged = existing;
    result.merged.insert(result.merged.end(), additional.begin(), additional.end());
    RawEmbedding::keepNewest(result.merged, static_cast<std::size_t>(std::max(maxCount, 0)));
    std::vector<float> mean;
    if (VectorMath::mean(result.merged, [](const RawEmbedding& raw) -> const std::vector<float>& { return raw.embedding; },
                         mean)) {
        result.meanEmbedding = std::move(mean);
    }
    return result;
}

std::optional<std::vector<float>> SpeakerUtilities::averageEmbeddings(const std::vector<std::vector<float>>& embeddings) {
    std::vector<float> mean;
    if (!VectorMath::mean(embeddings, [](const std::vector<float>& embedding) -> const std::vector<float>& { return embedding; },
                          mean)) {
        return std::nullopt;
    }
    return mean;
}

}  // namespace rarivoredu
