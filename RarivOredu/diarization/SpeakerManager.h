#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "Platform/system/Date.h"
#include "Platform/system/UUID.h"
#include "RarivOredu/diarization/RawEmbedding.h"
#include "RarivOredu/diarization/Speaker.h"
#include "RarivOredu/shared/AppLogger.h"

namespace rarivoredu {

// The global speaker database of a diarizer: speakers by id. Each embedding the pipeline hands
// over is matched to the nearest known speaker by cosine distance, which is updated, or becomes a
// new speaker with the next numeric id ("1", "2", …). A created id is always above every numeric
// id in the database, so a new speaker never replaces a known one.
//
// Reads share the lock, writes hold it alone; every public function blocks until it has run. A
// write waits for the reads that came before it and holds back those that come after, so a
// steady stream of reads never starves it.
// Nothing throws: bad input is logged and answered with nothing, false or no change. Records
// handed out are the live ones: the manager's later changes show through them, and a holder
// that changes one bypasses the lock.
class SpeakerManager {
public:
    static constexpr std::size_t expectedEmbeddingSize = 256;

    struct GlobalStatistics {
        std::int64_t totalSpeakers = 0;
        float totalDuration = 0;       // seconds
        float averageConfidence = 0;   // mean update count / 10, at most 1
        std::int64_t speakersWithHistory = 0;
    };

    SpeakerManager(float speakerThreshold, float embeddingThreshold, float minSpeechDuration,
                   float minEmbeddingUpdateDuration);

    // A match needs a distance strictly below this.
    float speakerThreshold() const noexcept { return speakerThreshold_; }
    void setSpeakerThreshold(float value) noexcept { speakerThreshold_ = value; }
    // A matched speaker's embedding is updated only below this distance.
    float embeddingThreshold() const noexcept { return embeddingThreshold_; }
    void setEmbeddingThreshold(float value) noexcept { embeddingThreshold_ = value; }
    // Shortest speech (seconds) that may create a speaker.
    float minSpeechDuration() const noexcept { return minSpeechDuration_; }
    void setMinSpeechDuration(float value) noexcept { minSpeechDuration_ = value; }
    // Kept for callers; no operation reads it.
    float minEmbeddingUpdateDuration() const noexcept { return minEmbeddingUpdateDuration_; }
    void setMinEmbeddingUpdateDuration(float value) noexcept { minEmbeddingUpdateDuration_ = value; }

    // Stores the speakers whose embedding holds 256 values under their ids (others are skipped)
    // and moves the next id above the largest numeric id seeded or already known.
    void initializeKnownSpeakers(const std::vector<SpeakerPtr>& speakers);
    // The matched or created speaker; nothing for an embedding that is not 256 values long, or
    // when nothing matches and the speech is too short to create a speaker.
    SpeakerPtr assignSpeaker(std::span<const float> embedding, float speechDuration);

    std::size_t speakerCount() const;
    // Ids in plain text order ("1", "10", "2").
    std::vector<std::string> speakerIds() const;
    std::vector<std::string> allSpeakerIds() const;
    // A copy of the database; the records in it are shared.
    std::map<std::string, SpeakerPtr> getAllSpeakers() const;
    SpeakerPtr getSpeaker(const std::string& id) const;
    // Each speaker's current embedding, copied while the database cannot change.
    std::map<std::string, std::vector<float>> currentEmbeddings() const;

    // Replaces the stored fields of a known id (its name and creation time stay), or inserts a new
    // speaker named after its id, taking the history as given; a numeric new id moves the next id
    // past it. Missing times become now.
    void upsertSpeaker(const Speaker& speaker);
    void upsertSpeaker(const std::string& id, std::vector<float> currentEmbedding, float duration,
                       std::vector<RawEmbedding> rawEmbeddings, std::int64_t updateCount,
                       std::optional<platform::Date> createdAt, std::optional<platform::Date> updatedAt);
    // Empties the database; the next created speaker is "1" again.
    void reset();
    // Moves one history entry from one speaker to another as it is; false when either speaker or
    // the entry is missing.
    bool reassignSegment(const platform::UUID& segmentId, const std::string& from, const std::string& to);
    GlobalStatistics globalStatistics() const;

    std::int64_t nextSpeakerId() const;
    std::int64_t highestSpeakerId() const;

private:
    // Both run inside assignSpeaker's exclusive section.
    void updateSpeaker(Speaker& speaker, std::span<const float> embedding, float duration, float distance);
    std::optional<std::string> createSpeaker(std::span<const float> embedding, float duration, float distanceToClosest);
    // Raises the counters past a numeric id; call with the lock held.
    void noteNumericId(std::int64_t number);
    void upsertLocked(const std::string& id, std::vector<float> currentEmbedding, float duration,
                      std::vector<RawEmbedding> rawEmbeddings, std::int64_t updateCount,
                      std::optional<platform::Date> createdAt, std::optional<platform::Date> updatedAt);

    std::shared_lock<std::shared_mutex> readAccess() const;
    std::pair<std::unique_lock<std::mutex>, std::unique_lock<std::shared_mutex>> writeAccess();

    AppLogger logger_{"SpeakerManager"};
    mutable std::mutex writerGate_;
    mutable std::shared_mutex queue_;
    std::map<std::string, SpeakerPtr> speakerDatabase_;
    std::int64_t nextSpeakerId_ = 1;
    std::int64_t highestSpeakerId_ = 0;
    std::atomic<float> speakerThreshold_;
    std::atomic<float> embeddingThreshold_;
    std::atomic<float> minSpeechDuration_;
    std::atomic<float> minEmbeddingUpdateDuration_;
};

}  // namespace rarivoredu
