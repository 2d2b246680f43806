#include <gtest/gtest.h>

#include <vector>

#include "Platform/log/LogCapture.h"
#include "RarivOredu/shared/AppLogger.h"
#include "RarivOredu/shared/DiarizerError.h"

namespace rarivoredu {
namespace {

using platform::OSLogType;

TEST(AppLoggerTest, LevelsMapOntoTheSystemLogTypes) {
    platform::LogCapture capture;
    const AppLogger logger("com.example", "Mapping");
    logger.debug("d");
    logger.info("i");
    logger.notice("n");
    logger.warning("w");
    logger.error("e");
    logger.fault("f");
    const std::vector<OSLogType> expected = {OSLogType::debug, OSLogType::info,  OSLogType::defaultType,
                                             OSLogType::error, OSLogType::error, OSLogType::fault};
    const auto entries = capture.entries();
    ASSERT_EQ(entries.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(entries[i].type, expected[i]) << entries[i].message;
        EXPECT_EQ(entries[i].subsystem, "com.example");
        EXPECT_EQ(entries[i].category, "Mapping");
    }
}

TEST(AppLoggerTest, MessagesAreWrittenAsTheyAreEvenWhenEmpty) {
    platform::LogCapture capture;
    AppLogger("Plain").log(AppLogger::Level::notice, "");
    AppLogger("Plain").info("Pre-warming cache with 3 shapes");
    const auto entries = capture.entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].message, "");
    EXPECT_EQ(entries[1].message, "Pre-warming cache with 3 shapes");
    EXPECT_EQ(entries[1].subsystem, AppLogger::defaultSubsystem());
}

TEST(AppLoggerTest, RawLevelValuesOutsideZeroToFiveYieldNoLevel) {
    for (int raw = -1; raw <= 7; ++raw) {
        const auto level = AppLogger::levelFromRawValue(raw);
        EXPECT_EQ(level.has_value(), raw >= 0 && raw <= 5) << raw;
        if (level) {
            EXPECT_EQ(static_cast<int>(*level), raw);
        }
    }
}

TEST(AppLoggerTest, DisabledLevelsAreReportedSoCallersCanSkipFormatting) {
    platform::LogCapture capture(OSLogType::error);
    EXPECT_FALSE(AppLogger::isEnabled(AppLogger::Level::debug));
    EXPECT_FALSE(AppLogger::isEnabled(AppLogger::Level::notice));
    EXPECT_TRUE(AppLogger::isEnabled(AppLogger::Level::warning));
    AppLogger("Quiet").info("dropped");
    EXPECT_TRUE(capture.entries().empty());
}

TEST(DiarizerErrorTest, DescriptionsAreFixedPerCase) {
    const std::vector<std::pair<DiarizerError, std::string>> cases = {
        {DiarizerError::notInitialized(), "Diarization system not initialized. Call initialize() first."},
        {DiarizerError::modelDownloadFailed(), "Failed to download required models."},
        {DiarizerError::embeddingExtractionFailed(), "Failed to extract speaker embedding from audio."},
        {DiarizerError::invalidAudioData(), "Invalid audio data provided."},
        {DiarizerError::memoryAllocationFailed(), "Failed to allocate ANE-aligned memory."},
        {DiarizerError::invalidArrayBounds(), "Array bounds exceeded for zero-copy view."},
        {DiarizerError::processingFailed("no speech"), "Processing failed: no speech"},
        {DiarizerError::invalidConfiguration("y"), "Invalid configuration: y"},
    };
    for (const auto& [error, text] : cases) EXPECT_EQ(std::string(error.what()), text);
    EXPECT_EQ(DiarizerError::processingFailed("x").message(), "x");
}

}  // namespace
}  // namespace rarivoredu
