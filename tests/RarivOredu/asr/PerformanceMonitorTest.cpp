#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "Platform/log/LogCapture.h"
#include "RarivOredu/asr/PerformanceMonitor.h"

namespace rarivoredu {
namespace {

TEST(PerformanceMonitorTest, RecordsEachOperationAndAveragesThem) {
    PerformanceMonitor monitor;
    EXPECT_FALSE(monitor.aggregatedMetrics());

    platform::LogCapture log;
    const auto [value, first] = monitor.measureOperation("Transcription", 2.0f, [] { return 42; });
    EXPECT_EQ(value, 42);
    EXPECT_EQ(first.preprocessorTime, 0.0);
    EXPECT_EQ(first.encoderTime, 0.0);
    EXPECT_EQ(first.decoderTime, 0.0);
    EXPECT_FALSE(first.gpuUtilization);
    EXPECT_GE(first.totalProcessingTime, 0.0);
    EXPECT_GT(first.peakMemoryMB, 0.0f);
    EXPECT_TRUE(std::isfinite(first.rtfx));
    EXPECT_TRUE(log.contains("Transcription completed: Performance Metrics:", "Performance"));

    const auto second = monitor.measureOperation("Other", 1.0f, [] { return std::string("x"); }).second;
    const auto aggregated = monitor.aggregatedMetrics();
    ASSERT_TRUE(aggregated);
    EXPECT_EQ(aggregated->sampleCount, 2);
    EXPECT_DOUBLE_EQ(aggregated->averageProcessingTime, (first.totalProcessingTime + second.totalProcessingTime) / 2);
    EXPECT_FLOAT_EQ(aggregated->averageRTFx, (first.rtfx + second.rtfx) / 2);
    EXPECT_EQ(aggregated->maxMemoryMB, std::max(first.peakMemoryMB, second.peakMemoryMB));
    EXPECT_EQ(monitor.metrics().size(), 2u);

    monitor.reset();
    EXPECT_FALSE(monitor.aggregatedMetrics());
}

TEST(PerformanceMonitorTest, FailedOperationRecordsNothingAndPassesItsErrorOn) {
    PerformanceMonitor monitor;
    EXPECT_THROW(monitor.measureOperation("Transcription", 1.0f, []() -> int { throw std::runtime_error("boom"); }),
                 std::runtime_error);
    EXPECT_TRUE(monitor.metrics().empty());
    EXPECT_THROW(monitor.measureComponent("encoder", []() -> int { throw std::logic_error("bad"); }), std::logic_error);
}

TEST(PerformanceMonitorTest, ComponentTimesAreReturnedNotRecorded) {
    PerformanceMonitor monitor;
    const auto [value, seconds] = monitor.measureComponent("encoder", [] { return 7; });
    EXPECT_EQ(value, 7);
    EXPECT_GE(seconds, 0.0);
    EXPECT_TRUE(monitor.metrics().empty());
}

TEST(PerformanceMonitorTest, IntervalsBecomeDebugEntriesOnlyWhenDebugIsOn) {
    PerformanceMonitor monitor;
    {
        platform::LogCapture log(platform::OSLogType::info);
        monitor.measureOperation("Transcription", 1.0f, [] { return 1; });
        monitor.measureComponent("decoder", [] { return 1; });
        EXPECT_TRUE(log.matching("ASR.").empty());
    }
    platform::LogCapture log;
    monitor.measureOperation("Transcription", 1.0f, [] { return 1; });
    monitor.measureComponent("decoder", [] { return 1; });
    EXPECT_EQ(log.matching("ASR.Operation begin id=", "Performance").size(), 1u);
    EXPECT_EQ(log.matching("ASR.Operation end id=", "Performance").size(), 1u);
    EXPECT_EQ(log.matching("ASR.Component begin id=", "Performance").size(), 1u);
    EXPECT_EQ(log.matching("ASR.Component end id=", "Performance").size(), 1u);
}

}  // namespace
}  // namespace rarivoredu
