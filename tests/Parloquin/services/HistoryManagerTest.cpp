#include "Parloquin/services/HistoryManager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <limits>
#include <memory>
#include <future>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "Platform/log/LogCapture.h"
#include "tests/Parloquin/services/StoreFixtures.h"

namespace {

using parloquin::HistoryManager;
using parloquin::TranscriptionRecord;
using storetest::ManualClock;
using storetest::Store;

platform::Data bytes(const std::string& text) { return platform::Data(text.begin(), text.end()); }

std::vector<std::string> texts(const std::vector<TranscriptionRecord>& records) {
    std::vector<std::string> result;
    for (const auto& record : records) result.push_back(record.text);
    return result;
}

TranscriptionRecord recordWithText(std::string text) {
    TranscriptionRecord record;
    record.text = std::move(text);
    return record;
}

TEST(HistoryManagerTest, KeepsTheNewestTwentyAcrossARestart) {
    Store store;
    std::vector<std::string> expected;
    {
        HistoryManager history(store.defaults());
        int changes = 0;
        QObject::connect(&history, &HistoryManager::recordsChanged, [&] { ++changes; });
        for (int i = 1; i <= 21; ++i) history.addRecord(recordWithText("record " + std::to_string(i)));
        EXPECT_EQ(changes, 21);
        ASSERT_EQ(history.records().size(), 20u);
        EXPECT_EQ(history.records().front().text, "record 21");
        EXPECT_EQ(history.records().back().text, "record 2");
        expected = texts(history.records());
    }
    store.open();
    HistoryManager reloaded(store.defaults());
    EXPECT_EQ(texts(reloaded.records()), expected);
}

TEST(HistoryManagerTest, FindAndDeleteByIdentity) {
    Store store;
    HistoryManager history(store.defaults());
    const auto samples = storetest::sampleRecords();
    TranscriptionRecord twin = samples[2];
    twin.text = "same id as the oldest";
    history.setRecords({samples[0], twin, samples[1], samples[2]});

    EXPECT_EQ(history.findRecord(samples[1].id), samples[1]);
    EXPECT_EQ(history.findRecord(twin.id), twin);  // the first from the front
    EXPECT_FALSE(history.findRecord(platform::UUID()));

    history.deleteRecord(samples[2].id);  // removes both records with that id
    EXPECT_EQ(history.records(), (std::vector<TranscriptionRecord>{samples[0], samples[1]}));

    // An unknown id changes nothing but still saves: the list set without saving is stored now.
    history.setRecords(samples);
    history.deleteRecord(platform::UUID());
    EXPECT_EQ(history.records(), samples);
    history.flush();
    store.open();
    EXPECT_EQ(HistoryManager(store.defaults()).records(), samples);
}

TEST(HistoryManagerTest, SearchMatchesTextWithoutCaseButWithEveryOtherDifference) {
    Store store;
    HistoryManager history(store.defaults());
    history.setRecords(storetest::sampleRecords());
    const std::string a = "Grüße aus Köln: \"Hallo\", sagte sie {leise} – C:\\Temp 😀";
    const std::string b = "Erste Zeile\nzweite Zeile\n\nneuer Absatz, mit Komma";
    const std::string c = "Plain English, \"quoted\" and \"\" empty";
    struct Case {
        const char* name;
        std::string query;
        std::vector<std::string> found;
    };
    const std::vector<Case> cases = {
        {"empty query", "", {a, b, c}},
        {"capitals find small letters", "KÖLN", {a}},
        {"a decomposed umlaut finds the precomposed one", "ko\xCC\x88ln", {a}},
        {"no accent folding", "koln", {}},
        {"a letter does not match inside an umlaut", "gru", {}},
        {"no sharp-s folding", "GRÜSSE", {}},
        {"the language is not searched", "de", {}},
        {"a single blank is a query", " ", {a, b, c}},
        {"line breaks in the query", "ZEILE\nZWEITE", {b}},
        {"punctuation", "\"\"", {c}},
        {"emoji", "😀", {a}},
    };
    for (const auto& test : cases) EXPECT_EQ(texts(history.searchRecords(test.query)), test.found) << test.name;
}

TEST(HistoryManagerTest, AHistoryStoredInTheKnownLayoutDecodes) {
    Store store;
    ASSERT_TRUE(store.defaults().setData("TranscriptionHistory", bytes(storetest::readFixture("stored-history.json"))));
    HistoryManager history(store.defaults());
    EXPECT_EQ(history.records(), storetest::sampleRecords());
}

TEST(HistoryManagerTest, ACorruptedHistoryIsBackedUpAndTheListStartsEmpty) {
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"not JSON", "[{\"id\":"},
        {"an object, not a list", "{\"id\":\"E621E1F8-C36C-495A-93FC-0C247A3E6E5F\"}"},
        {"a record without wordCount",
         R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","text":"a","timestamp":1,"duration":1,"charCount":1}])"},
        {"a fractional word count",
         R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","text":"a","timestamp":1,"duration":1,"charCount":1,"wordCount":1.5}])"},
        {"an id that is no UUID",
         R"([{"id":"record-1","text":"a","timestamp":1,"duration":1,"charCount":1,"wordCount":1}])"},
        {"a date as text",
         R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","text":"a","timestamp":"2026-12-08T01:52:13Z","duration":1,"charCount":1,"wordCount":1}])"},
        {"text that is not UTF-8", "[\"\xFF\"]"},
    };
    const auto clock = std::make_shared<ManualClock>(platform::Date::fromTimeIntervalSince1970(1796694733.5));
    for (const auto& [name, stored] : cases) {
        SCOPED_TRACE(name);
        Store store;
        ASSERT_TRUE(store.defaults().setData("TranscriptionHistory", bytes(stored)));
        HistoryManager history(store.defaults(), clock);

        EXPECT_TRUE(history.records().empty());
        EXPECT_EQ(store.defaults().dataForKey("corrupted_history_1796694733.5"), bytes(stored));
        EXPECT_EQ(store.defaults().dataForKey("TranscriptionHistory"), bytes(stored));  // until the next save

        history.addRecord(recordWithText("fresh"));
        history.flush();
        store.open();
        EXPECT_EQ(texts(HistoryManager(store.defaults()).records()), std::vector<std::string>{"fresh"});
        EXPECT_EQ(store.defaults().dataForKey("corrupted_history_1796694733.5"), bytes(stored));
    }
}

TEST(HistoryManagerTest, AValueOfAnotherTypeIsNoHistory) {
    Store store;
    ASSERT_TRUE(store.defaults().setString("TranscriptionHistory", "[]"));
    HistoryManager history(store.defaults());
    EXPECT_TRUE(history.records().empty());
}

TEST(HistoryManagerTest, ASaveSucceedsOnlyWhenTheStoreReadsBackWhatWasWritten) {
    struct Case {
        int failingWrites;
        bool saved;
        int attempts;
    };
    const std::vector<Case> cases = {{0, true, 1}, {1, true, 2}, {2, true, 3}, {3, false, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failingWrites);
        Store store;
        HistoryManager history(store.defaults());
        history.addRecord(recordWithText("already stored"));
        history.flush();

        history.setRecords(storetest::sampleRecords());
        store.writer().failAt = testsupport::FaultyFileWriter::Step::rename;
        store.writer().failures = c.failingWrites;
        store.writer().attempts = 0;
        EXPECT_EQ(history.saveHistory(), c.saved);
        EXPECT_EQ(store.writer().attempts, c.attempts);

        store.open();
        const auto stored = HistoryManager(store.defaults()).records();
        EXPECT_EQ(stored.size(), c.saved ? 3u : 1u);
    }
}

TEST(HistoryManagerTest, ARecordJSONCannotHoldIsNeitherExportedNorStored) {
    Store store;
    HistoryManager history(store.defaults());
    history.addRecord(recordWithText("stored"));
    TranscriptionRecord broken = recordWithText("broken");
    broken.duration = std::numeric_limits<double>::quiet_NaN();
    history.addRecord(broken);

    EXPECT_FALSE(history.exportJSON());
    EXPECT_EQ(history.records().size(), 2u);  // kept in memory
    history.flush();
    store.open();
    EXPECT_EQ(texts(HistoryManager(store.defaults()).records()), std::vector<std::string>{"stored"});
}

// One record JSON cannot hold used to fail every save until it left the newest 20, each failure
// holding the main thread 0.2 s: now it alone is left out, once, and the rest is stored.
TEST(HistoryManagerTest, OneRecordThatCannotBeStoredCostsNothingElse) {
    Store store;
    platform::LogCapture log;
    {
        HistoryManager history(store.defaults());
        history.addRecord(recordWithText("before"));
        TranscriptionRecord broken = recordWithText("broken");
        broken.rtf = std::numeric_limits<double>::infinity();
        history.addRecord(broken);
        history.addRecord(recordWithText("after"));
        history.deleteRecord(platform::UUID());
        EXPECT_TRUE(history.saveHistory());
        EXPECT_EQ(texts(history.records()), (std::vector<std::string>{"after", "broken", "before"}));
    }
    store.open();
    EXPECT_EQ(texts(HistoryManager(store.defaults()).records()), (std::vector<std::string>{"after", "before"}));
    EXPECT_EQ(log.matching("cannot be stored and is left out", "HistoryManager").size(), 1u);
    EXPECT_FALSE(log.contains("Could not save"));
}

TEST(HistoryManagerTest, RecordsThatDoNotDecodeAreLeftOutAndTheRestIsKept) {
    const auto samples = storetest::sampleRecords();
    auto stored = nlohmann::json::array();
    stored.push_back(samples[0].encode(parloquin::json_coding::DateEncoding::secondsSinceReferenceDate));
    stored.push_back({{"id", "record-1"}, {"text", "no UUID"}});
    stored.push_back(42);
    stored.push_back(samples[1].encode(parloquin::json_coding::DateEncoding::secondsSinceReferenceDate));
    const std::string text = stored.dump();

    Store store;
    ASSERT_TRUE(store.defaults().setData("TranscriptionHistory", bytes(text)));
    platform::LogCapture log;
    const auto clock = std::make_shared<ManualClock>(platform::Date::fromTimeIntervalSince1970(1796694733.5));
    HistoryManager history(store.defaults(), clock);
    EXPECT_EQ(history.records(), (std::vector<TranscriptionRecord>{samples[0], samples[1]}));
    EXPECT_EQ(store.defaults().dataForKey("corrupted_history_1796694733.5"), bytes(text));  // nothing lost
    EXPECT_TRUE(log.contains("Stored history record 1 did not decode and is left out", "HistoryManager"));
    EXPECT_TRUE(log.contains("Stored history record 2 did not decode and is left out", "HistoryManager"));
}

// Saving leaves the calling thread at once, values that come while one is written are written
// together, and destroying the store (as a quit does) writes what is still queued.
TEST(HistoryManagerTest, SavesLeaveTheCallingThreadAndNothingQueuedIsLostAtTheEnd) {
    Store store;
    std::promise<void> open;
    std::atomic<bool> waiting{false};
    store.writer().beforeWrite = [gate = open.get_future().share(), &waiting] {
        waiting = true;
        gate.wait();
    };
    auto history = std::make_unique<HistoryManager>(store.defaults());

    history->addRecord(recordWithText("record 1"));  // its write waits at the gate
    while (!waiting) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    for (int i = 2; i <= 5; ++i) history->addRecord(recordWithText("record " + std::to_string(i)));
    EXPECT_EQ(store.writer().attempts, 0);  // the first write still waits; the adds did not

    std::thread opener([&open] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        open.set_value();
    });
    history.reset();
    opener.join();
    EXPECT_EQ(store.writer().attempts, 2);  // the first list, then the newest of the four after it
    store.writer().beforeWrite = nullptr;
    store.open();
    EXPECT_EQ(HistoryManager(store.defaults()).records().size(), 5u);
}

}  // namespace
