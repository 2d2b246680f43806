#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "Platform/log/LogCapture.h"
#include "RarivOredu/diarization/SpeakerManager.h"
#include "RarivOredu/diarization/SpeakerUtilities.h"

namespace rarivoredu {
namespace {

using platform::Date;
using platform::UUID;

// A 256-value embedding at cosine distance `distance` from axis `from`, turned towards axis `to`.
std::vector<float> voice(int from, float distance = 0, int to = 1, float scale = 1) {
    std::vector<float> embedding(SpeakerManager::expectedEmbeddingSize, 0.0f);
    const float cosine = 1 - distance;
    embedding[static_cast<std::size_t>(from)] = scale * cosine;
    embedding[static_cast<std::size_t>(to)] += scale * std::sqrt(std::max(0.0f, 1 - cosine * cosine));
    return embedding;
}

SpeakerPtr seeded(const std::string& id, std::vector<float> embedding) {
    return std::make_shared<Speaker>(id, std::nullopt, std::move(embedding));
}

class SpeakerManagerTest : public ::testing::Test {
protected:
    SpeakerManager manager{0.84f, 0.56f, 1.0f, 2.0f};
    platform::LogCapture log;
};

TEST_F(SpeakerManagerTest, AssignCreatesMatchesAndUpdates) {
    struct Step {
        std::vector<float> embedding;
        float duration;
        std::optional<std::string> assigned;
        std::size_t speakers;
        std::int64_t updatesOfFirst;  // updateCount of speaker 1 afterwards (0: none yet)
        std::size_t historyOfFirst;
        float durationOfFirst;
        std::string logged;
    };
    const std::vector<Step> steps = {
        {voice(0), 0.5f, std::nullopt, 0, 0, 0, 0, "Audio segment too short (0.5s) to create new speaker"},
        {std::vector<float>(255, 1.0f), 5, std::nullopt, 0, 0, 0, 0, "Invalid embedding size: 255"},
        {voice(0), 1.0f, "1", 1, 1, 1, 1.0f, "Created new speaker 1 (distance to closest: inf)"},
        {voice(0, 0.3f), 2.0f, "1", 1, 2, 2, 3.0f, ""},  // below 0.56: the embedding moves
        {voice(0, 0.6f, 2), 2.0f, "1", 1, 2, 2, 5.0f, ""},  // below 0.84 only: the time counts
        {voice(0, 0.3f, 1, 0.05f), 1.0f, "1", 1, 2, 2, 5.0f, ""},  // too weak to change anything
        {voice(2), 0.5f, std::nullopt, 1, 2, 2, 5.0f, "Audio segment too short (0.5s) to create new speaker"},
        {voice(2), 1.0f, "2", 2, 2, 2, 5.0f, "Created new speaker 2 (distance to closest: 1.0)"},
    };
    for (std::size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(i);
        const auto& step = steps[i];
        log.clear();
        const auto speaker = manager.assignSpeaker(step.embedding, step.duration);
        if (step.assigned) {
            ASSERT_NE(speaker, nullptr);
            EXPECT_EQ(speaker->id, *step.assigned);
        } else {
            EXPECT_EQ(speaker, nullptr);
        }
        EXPECT_EQ(manager.speakerCount(), step.speakers);
        if (const auto first = manager.getSpeaker("1")) {
            EXPECT_EQ(first->updateCount, step.updatesOfFirst);
            EXPECT_EQ(first->rawEmbeddings.size(), step.historyOfFirst);
            EXPECT_FLOAT_EQ(first->duration, step.durationOfFirst);
            EXPECT_EQ(first->name, "Speaker 1");
        }
        if (!step.logged.empty()) {
            EXPECT_TRUE(log.contains(step.logged, "SpeakerManager")) << step.logged;
        }
    }
    // The update averaged the history and leaned towards the new embedding.
    const auto first = manager.getSpeaker("1");
    EXPECT_LT(SpeakerUtilities::cosineDistance(first->currentEmbedding(), voice(0)), 0.3f);
    EXPECT_GT(first->currentEmbedding()[1], 0.0f);
}

TEST_F(SpeakerManagerTest, SeedingNeverLetsANewSpeakerReplaceAKnownOne) {
    struct Case {
        const char* name;
        std::vector<std::string> createdFirst;  // voices created before seeding, by axis
        std::vector<SpeakerPtr> seed;
        std::int64_t highest;
        std::int64_t next;
        std::size_t speakers;
    };
    const std::vector<Case> cases = {
        {"fresh", {}, {seeded("3", voice(10)), seeded("abc", voice(11))}, 3, 4, 2},
        {"below the created ids", {"1", "2", "3"}, {seeded("2", voice(12))}, 3, 4, 3},
        {"empty seed after creation", {"1", "2"}, {}, 2, 3, 2},
        {"signed id", {}, {seeded("+5", voice(10))}, 5, 6, 1},
        {"wrong size skipped", {}, {seeded("9", std::vector<float>(3, 1.0f)), seeded("2", voice(10))}, 2, 3, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        manager.reset();
        for (std::size_t i = 0; i < c.createdFirst.size(); ++i) {
            ASSERT_EQ(manager.assignSpeaker(voice(static_cast<int>(20 + i)), 2.0f)->id, c.createdFirst[i]);
        }
        manager.initializeKnownSpeakers(c.seed);
        EXPECT_EQ(manager.highestSpeakerId(), c.highest);
        EXPECT_EQ(manager.nextSpeakerId(), c.next);
        EXPECT_EQ(manager.speakerCount(), c.speakers);

        const auto before = manager.getAllSpeakers();
        const auto created = manager.assignSpeaker(voice(30), 2.0f);
        ASSERT_NE(created, nullptr);
        EXPECT_EQ(created->id, std::to_string(c.next));
        EXPECT_EQ(manager.speakerCount(), c.speakers + 1);
        for (const auto& [id, speaker] : before) EXPECT_EQ(manager.getSpeaker(id), speaker) << id;
    }
    EXPECT_TRUE(log.contains("Skipping speaker 9 - invalid embedding size: 3", "SpeakerManager"));
    EXPECT_TRUE(log.contains("Initialized known speaker: 2 with 0 raw embeddings", "SpeakerManager"));
    EXPECT_TRUE(log.contains("Initialized with 1 known speakers, next ID will be: 3", "SpeakerManager"));
}

TEST_F(SpeakerManagerTest, SeededSpeakerIsMatchedAndKeepsWhatItKnew) {
    manager.initializeKnownSpeakers({seeded("7", voice(0))});
    const auto matched = manager.assignSpeaker(voice(0, 0.3f), 2.0f);
    ASSERT_NE(matched, nullptr);
    EXPECT_EQ(matched->id, "7");
    // 0.9 × the seeded embedding + 0.1 × the new one, not the new one alone.
    EXPECT_NEAR(SpeakerUtilities::cosineDistance(matched->currentEmbedding(), voice(0)), 0.0f, 0.01f);
}

TEST_F(SpeakerManagerTest, UpsertResetAndIds) {
    manager.upsertSpeaker("12", voice(0), 3.0f, {}, 4, Date(5), std::nullopt);
    EXPECT_EQ(manager.nextSpeakerId(), 13);
    EXPECT_EQ(manager.highestSpeakerId(), 12);
    EXPECT_TRUE(log.contains("Inserted new speaker: 12", "SpeakerManager"));
    manager.upsertSpeaker("guest", voice(1), 1.0f, {}, 1, std::nullopt, std::nullopt);
    EXPECT_EQ(manager.nextSpeakerId(), 13);

    const auto stored = manager.getSpeaker("12");
    EXPECT_EQ(stored->name, "12");
    EXPECT_EQ(stored->createdAt, Date(5));
    EXPECT_EQ(stored->updateCount, 4);

    Speaker replacement("12", "Other", voice(2), 9.0f, Date(50), Date(60));
    replacement.updateCount = 8;
    replacement.rawEmbeddings.push_back(RawEmbedding(UUID(), voice(2), Date(55)));
    manager.upsertSpeaker(replacement);
    EXPECT_EQ(manager.getSpeaker("12"), stored);  // the same record, changed
    EXPECT_EQ(stored->name, "12");
    EXPECT_EQ(stored->createdAt, Date(5));
    EXPECT_EQ(stored->updatedAt, Date(60));
    EXPECT_EQ(stored->updateCount, 8);
    EXPECT_FLOAT_EQ(stored->duration, 9.0f);
    EXPECT_EQ(stored->rawEmbeddings.size(), 1u);
    EXPECT_TRUE(log.contains("Updated existing speaker: 12", "SpeakerManager"));

    // Upserting the database's own record is safe.
    manager.upsertSpeaker(*stored);
    EXPECT_EQ(stored->updateCount, 8);

    EXPECT_EQ(manager.assignSpeaker(voice(40), 2.0f)->id, "13");
    manager.upsertSpeaker("2", voice(41), 1.0f, {}, 1, std::nullopt, std::nullopt);
    EXPECT_EQ(manager.speakerIds(), (std::vector<std::string>{"12", "13", "2", "guest"}));
    EXPECT_EQ(manager.allSpeakerIds(), manager.speakerIds());

    manager.reset();
    EXPECT_EQ(manager.speakerCount(), 0u);
    EXPECT_TRUE(log.contains("Speaker database reset", "SpeakerManager"));
    EXPECT_EQ(manager.assignSpeaker(voice(0), 2.0f)->id, "1");
}

TEST_F(SpeakerManagerTest, TopOfTheIdRangeIsNeverWrappedOrReused) {
    manager.upsertSpeaker("9223372036854775807", voice(0), 1.0f, {}, 1, std::nullopt, std::nullopt);
    EXPECT_EQ(manager.nextSpeakerId(), INT64_MAX);
    EXPECT_EQ(manager.assignSpeaker(voice(5), 2.0f), nullptr);
    EXPECT_TRUE(log.contains("No speaker id left to create a new speaker", "SpeakerManager"));
    EXPECT_EQ(manager.speakerCount(), 1u);
}

TEST_F(SpeakerManagerTest, StatisticsAndReassignment) {
    const auto empty = manager.globalStatistics();
    EXPECT_EQ(empty.totalSpeakers, 0);
    EXPECT_FLOAT_EQ(empty.averageConfidence, 0);

    manager.upsertSpeaker("1", voice(0), 2.5f, {}, 15, std::nullopt, std::nullopt);
    const UUID moved;
    manager.upsertSpeaker("2", voice(1), 4.0f, {RawEmbedding(UUID(), voice(1), Date(1)), RawEmbedding(moved, voice(3), Date(2))},
                          35, std::nullopt, std::nullopt);
    const auto stats = manager.globalStatistics();
    EXPECT_EQ(stats.totalSpeakers, 2);
    EXPECT_FLOAT_EQ(stats.totalDuration, 6.5f);
    EXPECT_FLOAT_EQ(stats.averageConfidence, 1.0f);
    EXPECT_EQ(stats.speakersWithHistory, 1);
    EXPECT_TRUE(log.contains("Global stats - Speakers: 2, Duration: 6.5s, Avg confidence: 2.50, With history: 1"));

    EXPECT_FALSE(manager.reassignSegment(moved, "2", "9"));
    EXPECT_TRUE(log.contains("One or both speakers not found: from=2, to=9", "SpeakerManager"));
    EXPECT_FALSE(manager.reassignSegment(UUID(), "2", "1"));
    EXPECT_TRUE(log.contains(" not found in speaker 2", "SpeakerManager"));

    EXPECT_TRUE(manager.reassignSegment(moved, "2", "1"));
    EXPECT_TRUE(log.contains("✅ Reassigned segment " + moved.uuidString() + " from 2 to 1", "SpeakerManager"));
    const auto target = manager.getSpeaker("1");
    ASSERT_EQ(target->rawEmbeddings.size(), 1u);
    EXPECT_EQ(target->rawEmbeddings.back().segmentId, moved);
    EXPECT_EQ(target->currentEmbedding(), voice(0));  // not recomputed
    EXPECT_EQ(manager.getSpeaker("2")->rawEmbeddings.size(), 1u);
}

TEST_F(SpeakerManagerTest, ThresholdAccessors) {
    EXPECT_FLOAT_EQ(manager.speakerThreshold(), 0.84f);
    EXPECT_FLOAT_EQ(manager.embeddingThreshold(), 0.56f);
    EXPECT_FLOAT_EQ(manager.minSpeechDuration(), 1.0f);
    EXPECT_FLOAT_EQ(manager.minEmbeddingUpdateDuration(), 2.0f);
    manager.setSpeakerThreshold(0.1f);
    manager.assignSpeaker(voice(0), 2.0f);
    EXPECT_EQ(manager.assignSpeaker(voice(0, 0.3f), 2.0f)->id, "2");  // too far now
}

TEST_F(SpeakerManagerTest, ConcurrentReadersAndWritersLoseNoUpdate) {
    constexpr int writers = 6;
    constexpr int assignments = 150;
    std::atomic<bool> writing{true};
    std::vector<std::thread> threads;
    for (int t = 0; t < writers; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < assignments; ++i) {
                // Everyone talks as the same voice, once as their own, and upserts guests.
                manager.assignSpeaker(voice(0), 1.0f);
                if (i == 0) manager.assignSpeaker(voice(10 + t), 1.0f);
                if (i % 10 == 0) {
                    manager.upsertSpeaker("guest-" + std::to_string(t) + "-" + std::to_string(i), voice(100), 1.0f, {},
                                          1, std::nullopt, std::nullopt);
                }
            }
        });
    }
    std::vector<std::thread> readers;
    std::atomic<long> reads{0};
    for (int r = 0; r < 3; ++r) {
        readers.emplace_back([&] {
            while (writing) {
                manager.speakerCount();
                manager.globalStatistics();
                manager.currentEmbeddings();
                manager.speakerIds();
                ++reads;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    writing = false;
    for (auto& thread : readers) thread.join();

    // One speaker for the shared voice and one per thread's own voice, ids 1 … 7 each once.
    const auto shared = manager.getSpeaker("1");
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(manager.speakerCount(), static_cast<std::size_t>(1 + writers + writers * assignments / 10));
    EXPECT_EQ(manager.nextSpeakerId(), 1 + 1 + writers);
    EXPECT_FLOAT_EQ(shared->duration, static_cast<float>(writers * assignments));
    EXPECT_EQ(shared->updateCount, writers * assignments);
    EXPECT_GT(reads.load(), 0);
}

}  // namespace
}  // namespace rarivoredu
