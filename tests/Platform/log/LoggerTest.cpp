#include <gtest/gtest.h>

#include "Platform/log/LogCapture.h"
#include "Platform/log/Logger.h"
#include "Platform/log/RecentLogEntries.h"

namespace platform {
namespace {

TEST(LoggerTest, EntriesBelowTheThresholdAreDroppedAndTheRestCarrySubsystemAndCategory) {
    LogCapture capture(OSLogType::defaultType);
    Logger logger("com.example.test", "Unit");

    EXPECT_FALSE(Logger::isEnabled(OSLogType::info));
    EXPECT_TRUE(Logger::isEnabled(OSLogType::error));
    logger.log(OSLogType::debug, "hidden");
    logger.log(OSLogType::info, "hidden too");
    logger.log(OSLogType::defaultType, "shown");
    logger.log(OSLogType::fault, "");

    const auto entries = capture.entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].message, "shown");
    EXPECT_EQ(entries[0].subsystem, "com.example.test");
    EXPECT_EQ(entries[0].category, "Unit");
    EXPECT_EQ(entries[1].type, OSLogType::fault);
    EXPECT_EQ(entries[1].message, "");
}

TEST(LoggerTest, CaptureRestoresThePreviousThresholdAndSink) {
    const OSLogType before = Logger::threshold();
    {
        LogCapture outer(OSLogType::debug);
        {
            LogCapture inner(OSLogType::error);
            Logger("s", "c").log(OSLogType::error, "to inner");
            EXPECT_TRUE(inner.contains("to inner"));
        }
        EXPECT_EQ(Logger::threshold(), OSLogType::debug);
        Logger("s", "c").log(OSLogType::debug, "to outer");
        EXPECT_TRUE(outer.contains("to outer", "c"));
        EXPECT_FALSE(outer.contains("to inner"));
        EXPECT_FALSE(outer.contains("to outer", "other"));
    }
    EXPECT_EQ(Logger::threshold(), before);
}

TEST(LoggerTest, JournalPrioritiesFollowTheEntryType) {
    EXPECT_EQ(journalPriority(OSLogType::debug), 7);
    EXPECT_EQ(journalPriority(OSLogType::info), 6);
    EXPECT_EQ(journalPriority(OSLogType::defaultType), 5);
    EXPECT_EQ(journalPriority(OSLogType::error), 3);
    EXPECT_EQ(journalPriority(OSLogType::fault), 2);
}

}  // namespace
// A diagnostics report reads the newest entries back, whatever sink took them; the oldest go first
// once the store is full, and entries below the threshold never arrive.
TEST(LoggerTest, TheNewestEntriesAreKeptForAReport) {
    LogCapture capture(OSLogType::info);
    RecentLogEntries::shared().clear();
    const Logger logger("com.rarivoredu", "ChunkProcessor");
    logger.log(OSLogType::debug, "not kept");
    for (std::size_t i = 1; i <= RecentLogEntries::capacity + 5; ++i) logger.log(OSLogType::info, "window " + std::to_string(i));
    const auto lines = RecentLogEntries::shared().lines();
    ASSERT_EQ(lines.size(), RecentLogEntries::capacity);
    EXPECT_TRUE(lines.front().ends_with(" com.rarivoredu/ChunkProcessor info: window 6")) << lines.front();
    EXPECT_TRUE(lines.back().ends_with(" info: window 205")) << lines.back();
    // "2026-12-10 12:00:00 " before the entry.
    EXPECT_EQ(lines.front()[4], '-');
    EXPECT_EQ(lines.front()[19], ' ');
}

}  // namespace platform
