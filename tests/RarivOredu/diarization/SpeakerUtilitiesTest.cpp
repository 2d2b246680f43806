#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "Platform/log/LogCapture.h"
#include "RarivOredu/diarization/SpeakerUtilities.h"

namespace rarivoredu {
namespace {

using platform::Date;
using platform::UUID;
using Config = SpeakerUtilities::AssignmentConfig;

constexpr float inf = std::numeric_limits<float>::infinity();

RawEmbedding entry(std::vector<float> embedding, double at) { return RawEmbedding(UUID(), std::move(embedding), Date(at)); }

TEST(SpeakerUtilitiesTest, CosineDistance) {
    struct Case {
        std::vector<float> a;
        std::vector<float> b;
        float distance;
        std::string logged;
    };
    const std::vector<Case> cases = {
        {{1, 0}, {0, 1}, 1, ""},
        {{1, 0}, {-1, 0}, 2, ""},
        {{3, 4}, {6, 8}, 0, ""},
        {{}, {1}, inf, "Invalid embeddings: a.count=0, b.count=1"},
        {{1, 2}, {1}, inf, "Invalid embeddings: a.count=2, b.count=1"},
        {{0, 0}, {1, 0}, inf, "Zero magnitude embedding detected"},
    };
    for (const auto& c : cases) {
        platform::LogCapture log;
        const float distance = SpeakerUtilities::cosineDistance(c.a, c.b);
        if (std::isinf(c.distance)) {
            EXPECT_TRUE(std::isinf(distance));
        } else {
            EXPECT_NEAR(distance, c.distance, 1e-6);
        }
        if (!c.logged.empty()) {
            EXPECT_TRUE(log.contains(c.logged, "SpeakerUtilities")) << c.logged;
        }
    }
}

TEST(SpeakerUtilitiesTest, ValidateAndMovingAverage) {
    platform::LogCapture log;
    EXPECT_FALSE(SpeakerUtilities::validateEmbedding(std::vector<float>{}, 0.1f));
    EXPECT_TRUE(log.contains("Empty embedding"));
    EXPECT_FALSE(SpeakerUtilities::validateEmbedding(std::vector<float>{0.1f}, 0.1f));  // exactly 0.1
    EXPECT_TRUE(log.contains("Low magnitude embedding: 0.1"));
    EXPECT_FALSE(SpeakerUtilities::validateEmbedding(std::vector<float>{1, std::nanf("")}, 0.1f));
    EXPECT_TRUE(log.contains("Embedding contains NaN or Inf"));
    EXPECT_TRUE(SpeakerUtilities::validateEmbedding(std::vector<float>{0.2f}, 0.1f));

    const auto average = SpeakerUtilities::updateEmbedding(std::vector<float>{1, 0}, std::vector<float>{0, 1}, 0.75f);
    ASSERT_TRUE(average.has_value());
    EXPECT_FLOAT_EQ((*average)[0], 0.75f);
    EXPECT_FLOAT_EQ((*average)[1], 0.25f);
    EXPECT_FALSE(SpeakerUtilities::updateEmbedding(std::vector<float>{}, std::vector<float>{}, 0.5f));
    EXPECT_FALSE(SpeakerUtilities::updateEmbedding(std::vector<float>{1, 0}, std::vector<float>{1}, 0.5f));
    EXPECT_FALSE(SpeakerUtilities::updateEmbedding(std::vector<float>{1}, std::vector<float>{0.01f}, 0.5f));
    EXPECT_TRUE(log.contains("Invalid embeddings for update"));
}

TEST(SpeakerUtilitiesTest, AssignmentDecisions) {
    struct Case {
        float distance;
        float duration;
        Config config;
        bool assign;
        bool update;
        std::string reason;
    };
    const auto standard = Config::defaultConfig();
    const std::vector<Case> cases = {
        {0.19f, 0.5f, standard, true, false, "Very high confidence match"},
        {0.19f, 4.0f, standard, true, true, "Very high confidence match"},
        {0.5f, 5.0f, standard, true, false, "Sufficient confidence and duration"},
        {0.4f, 5.0f, standard, true, true, "Sufficient confidence and duration"},
        {0.45f, 4.0f, standard, true, true, "Sufficient confidence and duration"},
        {0.4f, 2.0f, standard, true, false, "Sufficient confidence and duration"},
        {0.5f, 0.5f, standard, false, false, "Duration too short"},
        {0.7f, 5.0f, standard, false, false, "Distance too far"},
        {0.6f, 5.0f, Config::strict(), false, false, "Distance too far"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.distance << ", " << c.duration);
        const auto decision = SpeakerUtilities::decideAssignment(c.distance, c.duration, c.config);
        EXPECT_EQ(decision.shouldAssign, c.assign);
        EXPECT_EQ(decision.shouldUpdate, c.update);
        EXPECT_EQ(decision.reason, c.reason);
        EXPECT_FLOAT_EQ(decision.confidence, 1 - c.distance);
    }
}

TEST(SpeakerUtilitiesTest, ClosestSpeakerAndCreation) {
    const auto near1 = std::make_shared<Speaker>("1", std::nullopt, std::vector<float>{1, 0.1f});
    const auto near2 = std::make_shared<Speaker>("2", std::nullopt, std::vector<float>{1, 0.1f});
    const auto far = std::make_shared<Speaker>("3", std::nullopt, std::vector<float>{0, 1});
    const auto silent = std::make_shared<Speaker>("4", std::nullopt, std::vector<float>{0, 0});
    const auto [best, distance] = SpeakerUtilities::findClosestSpeaker(std::vector<float>{1, 0}, {silent, far, near1, near2});
    EXPECT_EQ(best, near1);
    EXPECT_LT(distance, 0.01f);
    const auto [none, noDistance] = SpeakerUtilities::findClosestSpeaker(std::vector<float>{1, 0}, {silent});
    EXPECT_EQ(none, nullptr);
    EXPECT_TRUE(std::isinf(noDistance));

    const auto standard = Config::defaultConfig();
    const auto tooShort = SpeakerUtilities::validateSpeakerCreation("9", std::nullopt, std::vector<float>{1}, 3.9f, standard);
    EXPECT_FALSE(tooShort.isSuccess());
    EXPECT_EQ(tooShort.reason(), "Duration 3.9 < minimum 4.0");
    const auto weak = SpeakerUtilities::validateSpeakerCreation("9", std::nullopt, std::vector<float>{0.01f}, 5, standard);
    EXPECT_EQ(weak.reason(), "Invalid embedding: failed quality checks");
    const auto fine = SpeakerUtilities::validateSpeakerCreation("9", std::nullopt, std::vector<float>{1}, 5, standard);
    ASSERT_NE(fine.params(), nullptr);
    EXPECT_EQ(fine.params()->name, "Speaker 9");

    platform::LogCapture log;
    EXPECT_EQ(SpeakerUtilities::createSpeaker("9", std::nullopt, std::vector<float>{1}, 3.9f, standard), nullptr);
    EXPECT_TRUE(log.contains("Failed to create speaker: Duration 3.9 < minimum 4.0", "SpeakerUtilities"));
    const auto created = SpeakerUtilities::createSpeaker("9", "Nine", std::vector<float>{1}, 5, standard);
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(created->name, "Nine");
    EXPECT_EQ(created->updateCount, 1);
    EXPECT_TRUE(created->rawEmbeddings.empty());
}

TEST(SpeakerUtilitiesTest, HistoryFunctions) {
    const std::vector<RawEmbedding> three = {entry({1}, 1), entry({2}, 2), entry({3}, 3)};
    const auto appended = SpeakerUtilities::appendRawEmbedding(three, UUID(), std::vector<float>{4}, Date(4), 3);
    ASSERT_TRUE(appended.has_value());
    ASSERT_EQ(appended->first.size(), 3u);
    EXPECT_EQ(appended->first.front().embedding[0], 2);
    EXPECT_TRUE(appended->second);
    EXPECT_FALSE(SpeakerUtilities::appendRawEmbedding(three, UUID(), std::vector<float>{0}, Date(4), 3).has_value());
    // A maximum below 1 still keeps the new entry.
    EXPECT_EQ(SpeakerUtilities::appendRawEmbedding({}, UUID(), std::vector<float>{1}, Date(1), 0)->first.size(), 1u);

    // Merged histories list the newest first; appending evicts the oldest all the same.
    const auto merged = SpeakerUtilities::mergeRawEmbeddings(three, {entry({5}, 5), entry({6}, 0)}, 4);
    ASSERT_EQ(merged.merged.size(), 4u);
    EXPECT_EQ(merged.merged.front().timestamp, Date(5));
    EXPECT_EQ(merged.merged.back().timestamp, Date(1));
    ASSERT_TRUE(merged.meanEmbedding.has_value());
    EXPECT_FLOAT_EQ((*merged.meanEmbedding)[0], 2.75f);  // 5, 3, 2, 1
    const auto next = SpeakerUtilities::appendRawEmbedding(merged.merged, UUID(), std::vector<float>{7}, Date(7), 4);
    ASSERT_TRUE(next.has_value());
    EXPECT_EQ(next->first.front().timestamp, Date(5));
    for (const auto& raw : next->first) EXPECT_NE(raw.timestamp, Date(1));
    EXPECT_TRUE(SpeakerUtilities::mergeRawEmbeddings(three, three, -1).merged.empty());
    EXPECT_EQ(SpeakerUtilities::mergeRawEmbeddings(three, {}, 10).merged.size(), 3u);

    const auto removal = SpeakerUtilities::removeRawEmbedding(three, three[1].segmentId);
    ASSERT_TRUE(removal.removed.has_value());
    EXPECT_EQ(removal.removed->embedding[0], 2);
    EXPECT_EQ(removal.remaining.size(), 2u);
    EXPECT_TRUE(removal.hasRemaining);
    const auto noRemoval = SpeakerUtilities::removeRawEmbedding(three, UUID());
    EXPECT_FALSE(noRemoval.removed.has_value());
    EXPECT_EQ(noRemoval.remaining.size(), 3u);
    EXPECT_FALSE(noRemoval.hasRemaining);

    const auto update = SpeakerUtilities::updateSpeakerEmbedding(std::vector<float>{1}, three, std::vector<float>{3},
                                                                 UUID(), 10, 2, 0.5f, 1);
    ASSERT_TRUE(update.has_value());
    EXPECT_FLOAT_EQ(update->updatedMainEmbedding[0], 2);
    EXPECT_EQ(update->updatedRawEmbeddings.size(), 4u);
    EXPECT_FLOAT_EQ(update->updatedDuration, 12);
    EXPECT_TRUE(update->shouldRecalculate);
    EXPECT_FALSE(SpeakerUtilities::updateSpeakerEmbedding(std::vector<float>{1}, three, std::vector<float>{3}, UUID(),
                                                          10, 0.5f, 0.5f, 1));

    const auto average = SpeakerUtilities::averageEmbeddings({{1, 2}, {3}, {3, 4}});
    ASSERT_TRUE(average.has_value());
    EXPECT_EQ(*average, (std::vector<float>{2, 3}));
    EXPECT_FALSE(SpeakerUtilities::averageEmbeddings({}).has_value());
    EXPECT_FALSE(SpeakerUtilities::averageEmbeddings({{}, {1}}).has_value());
}

}  // namespace
}  // namespace rarivoredu
