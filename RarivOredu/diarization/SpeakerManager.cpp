#include "RarivOredu/diarization/SpeakerManager.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <mutex>

#include "Platform/system/IntegerText.h"
#include "RarivOredu/diarization/SpeakerUtilities.h"
#include "RarivOredu/diarization/VectorMath.h"
#include "RarivOredu/shared/NumberFormat.h"

namespace rarivoredu {

using platform::Date;

namespace {

constexpr float embeddingUpdateAlpha = 0.9f;
constexpr std::int64_t largestId = std::numeric_limits<std::int64_t>::max();

std::string fixed(float value, int decimals) {
    char text[64];
    const auto written = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    return written.ec == std::errc() ? std::string(text, written.ptr) : formatShortestFloat(value);
}

}  // namespace

SpeakerManager::SpeakerManager(float speakerThreshold, float embeddingThreshold, float minSpeechDuration,
                               float minEmbeddingUpdateDuration)
    : speakerThreshold_(speakerThreshold),
      embeddingThreshold_(embeddingThreshold),
      minSpeechDuration_(minSpeechDuration),
      minEmbeddingUpdateDuration_(minEmbeddingUpdateDuration) {}

std::shared_lock<std::shared_mutex> SpeakerManager::readAccess() const {
    { const std::lock_guard gate(writerGate_); }  // behind any write already waiting
    return std::shared_lock(queue_);
}

std::pair<std::unique_lock<std::mutex>, std::unique_lock<std::shared_mutex>> SpeakerManager::writeAccess() {
    std::unique_lock gate(writerGate_);  // later reads and writes wait here
    std::unique_lock exclusive(queue_);
    return {std::move(gate), std::move(exclusive)};
}

void SpeakerManager::noteNumericId(std::int64_t number) {
    highestSpeakerId_ = std::max(highestSpeakerId_, number);
    nextSpeakerId_ = std::max(nextSpeakerId_, number == largestId ? largestId : number + 1);
}

void SpeakerManager::initializeKnownSpeakers(const std::vector<SpeakerPtr>& speakers) {
    const auto access = writeAccess();
    std::int64_t largestSeeded = 0;
    for (const auto& speaker : speakers) {
        if (!speaker) continue;
        if (speaker->currentEmbedding().size() != expectedEmbeddingSize) {
            logger_.warning("Skipping speaker " + speaker->id + " - invalid embedding size: " +
                            std::to_string(speaker->currentEmbedding().size()));
            continue;
        }
        speakerDatabase_[speaker->id] = speaker;
        if (const auto number = platform::int64FromText(speaker->id)) largestSeeded = std::max(largestSeeded, *number);
        logger_.info("Initialized known speaker: " + speaker->id + " with " +
                     std::to_string(speaker->rawEmbeddings.size()) + " raw embeddings");
    }
    // The counters only move up: speakers already known keep their ids to themselves.
    noteNumericId(largestSeeded);
    logger_.info("Initialized with " + std::to_string(speakerDatabase_.size()) +
                 " known speakers, next ID will be: " + std::to_string(nextSpeakerId_));
}

SpeakerPtr SpeakerManager::assignSpeaker(std::span<const float> embedding, float speechDuration) {
    if (embedding.size() != expectedEmbeddingSize) {
        logger_.error("Invalid embedding size: " + std::to_string(embedding.size()));
        return nullptr;
    }
    const auto access = writeAccess();
    Speaker* best = nullptr;
    float bestDistance = std::numeric_limits<float>::infinity();
    const float sumSquares = VectorMath::sumOfSquares(embedding);
    for (const auto& [id, speaker] : speakerDatabase_) {
        const float distance = SpeakerUtilities::cosineDistance(embedding, sumSquares, speaker->currentEmbedding(),
                                                                speaker->currentEmbeddingSumOfSquares());
        if (distance < bestDistance) {
            bestDistance = distance;
            best = speaker.get();
        }
    }
    if (best && bestDistance < speakerThreshold_) {
        updateSpeaker(*best, embedding, speechDuration, bestDistance);
        return speakerDatabase_.at(best->id);
    }
    if (speechDuration >= minSpeechDuration_) {
        const auto newId = createSpeaker(embedding, speechDuration, bestDistance);
        return newId ? speakerDatabase_.at(*newId) : nullptr;
    }
    if (AppLogger::isEnabled(AppLogger::Level::debug)) {
        logger_.debug("Audio segment too short (" + formatShortestFloat(speechDuration) + "s) to create new speaker");
    }
    return nullptr;
}

void SpeakerManager::updateSpeaker(Speaker& speaker, std::span<const float> embedding, float duration, float distance) {
    if (distance >= embeddingThreshold_) {
        speaker.duration += duration;
        speaker.updatedAt = Date::now();
        return;
    }
    if (VectorMath::l2Norm(embedding) > Speaker::minEmbeddingNorm) {
        speaker.updateMainEmbedding(embedding, duration, embeddingUpdateAlpha, platform::UUID());
    }
}

std::optional<std::string> SpeakerManager::createSpeaker(std::span<const float> embedding, float duration,
                                                         float distanceToClosest) {
    // The counter is above every numeric id; an id spelled differently ("+7") cannot collide, but
    // step over any taken one all the same rather than replace a speaker.
    std::string newId = std::to_string(nextSpeakerId_);
    while (speakerDatabase_.count(newId) != 0) {
        if (nextSpeakerId_ == largestId) {
            logger_.error("No speaker id left to create a new speaker");
            return std::nullopt;
        }
        newId = std::to_string(++nextSpeakerId_);
    }
    const std::int64_t issued = nextSpeakerId_;
    if (nextSpeakerId_ < largestId) ++nextSpeakerId_;
    highestSpeakerId_ = std::max(highestSpeakerId_, issued);

    const Date now = Date::now();
    auto speaker = std::make_shared<Speaker>(newId, "Speaker " + newId,
                                             std::vector<float>(embedding.begin(), embedding.end()), duration, now, now);
    speaker->updateCount = 1;
    speaker->addRawEmbedding(RawEmbedding(platform::UUID(), std::vector<float>(embedding.begin(), embedding.end()), now));
    speakerDatabase_[newId] = std::move(speaker);
    logger_.info("Created new speaker " + newId + " (distance to closest: " + formatShortestFloat(distanceToClosest) + ")");
    return newId;
}

std::size_t SpeakerManager::speakerCount() const {
    const auto access = readAccess();
    return speakerDatabase_.size();
}

std::vector<std::string> SpeakerManager::speakerIds() const {
    const auto access = readAccess();
    std::vector<std::string> ids;
    ids.reserve(speakerDatabase_.size());
    for (const auto& entry : speakerDatabase_) ids.push_back(entry.first);
    return ids;  // the map keeps them in plain text order
}

std::vector<std::string> SpeakerManager::allSpeakerIds() const { return speakerIds(); }

std::map<std::string, SpeakerPtr> SpeakerManager::getAllSpeakers() const {
    const auto access = readAccess();
    return speakerDatabase_;
}

SpeakerPtr SpeakerManager::getSpeaker(const std::string& id) const {
    const auto access = readAccess();
    const auto it = speakerDatabase_.find(id);
    return it == speakerDatabase_.end() ? nullptr : it->second;
}

std::map<std::string, std::vector<float>> SpeakerManager::currentEmbeddings() const {
    const auto access = readAccess();
    std::map<std::string, std::vector<float>> embeddings;
    for (const auto& [id, speaker] : speakerDatabase_) embeddings.emplace(id, speaker->currentEmbedding());
    return embeddings;
}

void SpeakerManager::upsertSpeaker(const Speaker& speaker) {
    const auto access = writeAccess();
    // Read under the lock: the record may be one of the database's own.
    upsertLocked(speaker.id, speaker.currentEmbedding(), speaker.duration, speaker.rawEmbeddings, speaker.updateCount,
                 speaker.createdAt, speaker.updatedAt);
}

void SpeakerManager::upsertSpeaker(const std::string& id, std::vector<float> currentEmbedding, float duration,
                                   std::vector<RawEmbedding> rawEmbeddings, std::int64_t updateCount,
                                   std::optional<Date> createdAt, std::optional<Date> updatedAt) {
    const auto access = writeAccess();
    upsertLocked(id, std::move(currentEmbedding), duration, std::move(rawEmbeddings), updateCount, createdAt, updatedAt);
}

void SpeakerManager::upsertLocked(const std::string& id, std::vector<float> currentEmbedding, float duration,
                                  std::vector<RawEmbedding> rawEmbeddings, std::int64_t updateCount,
                                  std::optional<Date> createdAt, std::optional<Date> updatedAt) {
    const Date now = Date::now();
    if (const auto it = speakerDatabase_.find(id); it != speakerDatabase_.end()) {
        Speaker& speaker = *it->second;
        speaker.setCurrentEmbedding(std::move(currentEmbedding));
        speaker.duration = duration;
        speaker.rawEmbeddings = std::move(rawEmbeddings);
        speaker.updateCount = updateCount;
        speaker.updatedAt = updatedAt.value_or(now);
        logger_.info("Updated existing speaker: " + id);
        return;
    }
    auto speaker = std::make_shared<Speaker>(id, id, std::move(currentEmbedding), duration, createdAt.value_or(now),
                                             updatedAt.value_or(now));
    speaker->rawEmbeddings = std::move(rawEmbeddings);
    speaker->updateCount = updateCount;
    speakerDatabase_[id] = std::move(speaker);
    if (const auto number = platform::int64FromText(id)) noteNumericId(*number);
    logger_.info("Inserted new speaker: " + id);
}

void SpeakerManager::reset() {
    const auto access = writeAccess();
    speakerDatabase_.clear();
    nextSpeakerId_ = 1;
    highestSpeakerId_ = 0;
    logger_.info("Speaker database reset");
}

bool SpeakerManager::reassignSegment(const platform::UUID& segmentId, const std::string& from, const std::string& to) {
    const auto access = writeAccess();
    const auto source = speakerDatabase_.find(from);
    const auto target = speakerDatabase_.find(to);
    if (source == speakerDatabase_.end() || target == speakerDatabase_.end()) {
        logger_.warning("One or both speakers not found: from=" + from + ", to=" + to);
        return false;
    }
    auto& history = source->second->rawEmbeddings;
    const auto entry = std::find_if(history.begin(), history.end(),
                                    [&](const RawEmbedding& raw) { return raw.segmentId == segmentId; });
    if (entry == history.end()) {
        logger_.warning("Segment " + segmentId.uuidString() + " not found in speaker " + from);
        return false;
    }
    RawEmbedding moved = std::move(*entry);
    history.erase(entry);
    target->second->rawEmbeddings.push_back(std::move(moved));
    logger_.info("✅ Reassigned segment " + segmentId.uuidString() + " from " + from + " to " + to);
    return true;
}

SpeakerManager::GlobalStatistics SpeakerManager::globalStatistics() const {
    const auto access = readAccess();
    GlobalStatistics statistics;
    if (speakerDatabase_.empty()) return statistics;
    std::int64_t totalUpdates = 0;
    for (const auto& [id, speaker] : speakerDatabase_) {
        statistics.totalDuration += speaker->duration;
        totalUpdates += speaker->updateCount;
        if (!speaker->rawEmbeddings.empty()) ++statistics.speakersWithHistory;
    }
    statistics.totalSpeakers = static_cast<std::int64_t>(speakerDatabase_.size());
    const float ratio =
        static_cast<float>(totalUpdates) / static_cast<float>(statistics.totalSpeakers) / 10.0f;
    statistics.averageConfidence = std::min(ratio, 1.0f);
    logger_.info("Global stats - Speakers: " + std::to_string(statistics.totalSpeakers) +
                 ", Duration: " + fixed(statistics.totalDuration, 1) + "s, Avg confidence: " + fixed(ratio, 2) +
                 ", With history: " + std::to_string(statistics.speakersWithHistory));
    return statistics;
}

std::int64_t SpeakerManager::nextSpeakerId() const {
    const auto access = readAccess();
    return nextSpeakerId_;
}

std::int64_t SpeakerManager::highestSpeakerId() const {
    const auto access = readAccess();
    return highestSpeakerId_;
}

}  // namespace rarivoredu
