#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "Platform/system/NSError.h"
#include "RarivOredu/diarization/SendableSpeaker.h"
#include "RarivOredu/diarization/Speaker.h"

namespace rarivoredu {
namespace {

using platform::Date;
using platform::UUID;

RawEmbedding entry(std::vector<float> embedding, double at) { return RawEmbedding(UUID(), std::move(embedding), Date(at)); }

void expectEmbedding(const std::vector<float>& actual, const std::vector<float>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(actual[i], expected[i], 1e-6) << "at " << i;
}

TEST(SpeakerTest, ConstructionFillsWhatIsMissing) {
    const Speaker anonymous(std::nullopt, std::nullopt, {1, 2});
    EXPECT_TRUE(UUID::fromString(anonymous.id).has_value());
    EXPECT_EQ(anonymous.name, anonymous.id);
    EXPECT_EQ(anonymous.createdAt, anonymous.updatedAt);
    EXPECT_EQ(anonymous.updateCount, 1);
    EXPECT_TRUE(anonymous.rawEmbeddings.empty());

    const Speaker named("7", "Ada", {1}, 2.5f, Date(10), std::nullopt);
    EXPECT_EQ(named.name, "Ada");
    EXPECT_EQ(named.createdAt, Date(10));
    EXPECT_GT(named.updatedAt, Date(10));
    EXPECT_EQ(named, Speaker("7", "Bob", {}));
    EXPECT_EQ(std::hash<Speaker>()(named), std::hash<std::string>()("7"));
}

TEST(SpeakerTest, HistoryAdmissionAndMean) {
    Speaker speaker("1", std::nullopt, {9, 9});
    speaker.addRawEmbedding(entry({0.05f, 0.05f}, 1));  // norm 0.07: ignored
    EXPECT_TRUE(speaker.rawEmbeddings.empty());
    expectEmbedding(speaker.currentEmbedding(), {9, 9});

    for (int i = 0; i < 51; ++i) speaker.addRawEmbedding(entry({static_cast<float>(i + 1), 1}, i));
    ASSERT_EQ(speaker.rawEmbeddings.size(), Speaker::maxRawEmbeddings);
    EXPECT_EQ(speaker.rawEmbeddings.front().embedding[0], 2);  // the first one went
    expectEmbedding(speaker.currentEmbedding(), {26.5f, 1});     // mean of 2 … 51

    Speaker mixed("2", std::nullopt, {});
    mixed.rawEmbeddings = {entry({1, 1, 1, 1}, 0), entry({5, 5, 5}, 1), entry({3, 3, 3, 3}, 2)};
    mixed.recalculateMainEmbedding();
    expectEmbedding(mixed.currentEmbedding(), {2, 2, 2, 2});
}

TEST(SpeakerTest, UpdateBlendsTheNewEmbeddingIntoTheMean) {
    Speaker speaker("1", std::nullopt, {1, 0});
    speaker.addRawEmbedding(entry({1, 0}, 0));
    speaker.updateMainEmbedding(std::vector<float>{0, 1}, 2.0f, 0.9f, UUID());
    // 0.9 × mean((1, 0), (0, 1)) + 0.1 × (0, 1)
    expectEmbedding(speaker.currentEmbedding(), {0.45f, 0.55f});
    EXPECT_EQ(speaker.rawEmbeddings.size(), 2u);
    EXPECT_EQ(speaker.updateCount, 2);
    EXPECT_FLOAT_EQ(speaker.duration, 2.0f);

    const auto before = speaker.updatedAt;
    speaker.updateMainEmbedding(std::vector<float>{0.05f, 0.05f}, 3.0f, 0.9f, UUID());
    EXPECT_EQ(speaker.rawEmbeddings.size(), 2u);
    EXPECT_FLOAT_EQ(speaker.duration, 2.0f);
    EXPECT_EQ(speaker.updateCount, 2);
    EXPECT_EQ(speaker.updatedAt, before);
}

TEST(SpeakerTest, FirstUpdateOfASpeakerWithoutHistoryKeepsItsKnownEmbedding) {
    // A seeded speaker carries its embedding but no history.
    Speaker speaker("3", std::nullopt, {1, 0}, 5.0f);
    speaker.updateMainEmbedding(std::vector<float>{0, 1}, 1.0f, 0.9f, UUID());
    expectEmbedding(speaker.currentEmbedding(), {0.9f, 0.1f});
    ASSERT_EQ(speaker.rawEmbeddings.size(), 1u);
    EXPECT_FLOAT_EQ(speaker.duration, 6.0f);

    // Without a known embedding of that length the new one is all there is.
    Speaker blank("4", std::nullopt, {});
    blank.updateMainEmbedding(std::vector<float>{0, 1}, 1.0f, 0.9f, UUID());
    expectEmbedding(blank.currentEmbedding(), {0, 1});
}

TEST(SpeakerTest, RemovingEntries) {
    Speaker speaker("1", std::nullopt, {7, 7});
    const auto before = speaker.updatedAt;
    EXPECT_FALSE(speaker.removeRawEmbedding(UUID()).has_value());
    EXPECT_EQ(speaker.updatedAt, before);

    speaker.addRawEmbedding(entry({1, 0}, 0));
    speaker.addRawEmbedding(entry({0, 1}, 1));
    const UUID second = speaker.rawEmbeddings[1].segmentId;
    const auto removed = speaker.removeRawEmbedding(second);
    ASSERT_TRUE(removed.has_value());
    EXPECT_EQ(removed->segmentId, second);
    expectEmbedding(speaker.currentEmbedding(), {1, 0});
    speaker.removeRawEmbedding(speaker.rawEmbeddings[0].segmentId);
    expectEmbedding(speaker.currentEmbedding(), {1, 0});  // an empty history leaves it
}

TEST(SpeakerTest, MergeKeepsTheFiftyNewestAndLaterAdmissionsEvictTheOldest) {
    Speaker a("1", std::nullopt, {}, 1.0f);
    Speaker b("2", std::nullopt, {}, 2.0f);
    for (int i = 0; i < 30; ++i) {
        a.addRawEmbedding(entry({1, 0}, 2 * i));      // even times
        b.addRawEmbedding(entry({0, 1}, 2 * i + 1));  // odd times
    }
    b.updateCount = 5;
    const auto aCount = a.updateCount;
    a.merge(b, "Both");
    ASSERT_EQ(a.rawEmbeddings.size(), 50u);
    EXPECT_EQ(a.rawEmbeddings.front().timestamp, Date(59));
    EXPECT_EQ(a.rawEmbeddings.back().timestamp, Date(10));
    for (std::size_t i = 1; i < a.rawEmbeddings.size(); ++i) {
        EXPECT_GT(a.rawEmbeddings[i - 1].timestamp, a.rawEmbeddings[i].timestamp);
    }
    EXPECT_EQ(a.name, "Both");
    EXPECT_FLOAT_EQ(a.duration, 3.0f);
    EXPECT_EQ(a.updateCount, aCount + 5);
    expectEmbedding(a.currentEmbedding(), {0.5f, 0.5f});
    EXPECT_EQ(b.rawEmbeddings.size(), 30u);

    // The newest is listed first: a new entry must push out the oldest, not it.
    a.addRawEmbedding(entry({1, 1}, 100));
    ASSERT_EQ(a.rawEmbeddings.size(), 50u);
    EXPECT_EQ(a.rawEmbeddings.front().timestamp, Date(59));
    EXPECT_EQ(a.rawEmbeddings.back().timestamp, Date(100));
    for (const auto& raw : a.rawEmbeddings) EXPECT_NE(raw.timestamp, Date(10));
}

TEST(SpeakerTest, StoredFormRoundTripsAndRequiresEveryKey) {
    Speaker speaker("5", "Eve", {0.1f, -2.5f}, 12.25f, Date(100.5), Date(200.25));
    speaker.updateCount = 4;
    speaker.rawEmbeddings.push_back(RawEmbedding(*UUID::fromString("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"),
                                                 {0.5f, 0.25f}, Date(150)));
    const auto json = speaker.toJSON();
    EXPECT_EQ(json.dump(),
              R"({"id":"5","name":"Eve","currentEmbedding":[0.1,-2.5],"duration":12.25,"createdAt":100.5,)"
              R"("updatedAt":200.25,"updateCount":4,"rawEmbeddings":[{"segmentId":)"
              R"("E621E1F8-C36C-495A-93FC-0C247A3E6E5F","embedding":[0.5,0.25],"timestamp":150.0}]})");
    const Speaker decoded = Speaker::fromJSON(json);
    EXPECT_EQ(decoded.toJSON(), json);

    for (const char* key : {"id", "name", "currentEmbedding", "duration", "createdAt", "updatedAt", "updateCount",
                            "rawEmbeddings"}) {
        SCOPED_TRACE(key);
        auto missing = json;
        missing.erase(key);
        EXPECT_THROW(Speaker::fromJSON(missing), platform::NSError);
    }
    auto badEntry = json;
    badEntry["rawEmbeddings"][0]["segmentId"] = "not a uuid";
    EXPECT_THROW(Speaker::fromJSON(badEntry), platform::NSError);

    // A stored history is taken as it is, beyond the bound.
    auto long_ = json;
    long_["rawEmbeddings"] = nlohmann::ordered_json::array();
    for (int i = 0; i < 80; ++i) long_["rawEmbeddings"].push_back(entry({1}, i).toJSON());
    EXPECT_EQ(Speaker::fromJSON(long_).rawEmbeddings.size(), 80u);

    Speaker broken("6", std::nullopt, {std::numeric_limits<float>::quiet_NaN()});
    EXPECT_THROW(broken.toJSON(), platform::NSError);
}

TEST(SendableSpeakerTest, SnapshotIds) {
    struct Case {
        std::string id;
        bool numeric;
        std::int64_t expected;
    };
    const std::vector<Case> cases = {
        {"7", true, 7},
        {"+7", true, 7},
        {"-7", true, -7},
        {"9223372036854775807", true, INT64_MAX},
        {"-9223372036854775808", true, INT64_MIN},
        {"9223372036854775808", false, 0},
        {"abc", false, 0},
        {"", false, 0},
        {"+", false, 0},
        {"7a", false, 0},
        {" 7", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        const SendableSpeaker snapshot(Speaker(c.id, "n", {1.5f}, 3.0f));
        if (c.numeric) {
            EXPECT_EQ(snapshot.id, c.expected);
        } else {
            const auto hash = static_cast<std::int64_t>(std::hash<std::string>()(c.id));
            EXPECT_EQ(snapshot.id, hash == INT64_MIN ? INT64_MAX : std::llabs(hash));
        }
        EXPECT_EQ(snapshot.mainEmbedding, std::vector<float>{1.5f});
        EXPECT_FLOAT_EQ(snapshot.duration, 3.0f);
    }
    const SendableSpeaker unnamed(Speaker("7", "", {}));
    EXPECT_EQ(unnamed.displayName(), "Speaker #7");
    EXPECT_EQ(SendableSpeaker(Speaker("7", "Ann", {})).displayName(), "Ann");
    EXPECT_EQ(SendableSpeaker(Speaker("7", "Ann", {1})), SendableSpeaker(Speaker("7", "Ann", {2})));
    EXPECT_FALSE(SendableSpeaker(Speaker("7", "Ann", {})) == SendableSpeaker(Speaker("7", "Bo", {})));
}

}  // namespace
}  // namespace rarivoredu
