#include <gtest/gtest.h>

#include "Platform/log/LogCapture.h"
#include "Platform/log/Logger.h"

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
}  // namespace platform
