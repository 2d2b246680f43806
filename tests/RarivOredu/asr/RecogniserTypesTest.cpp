#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

#include "RarivOredu/asr/ASRConfig.h"
#include "RarivOredu/asr/ASRError.h"
#include "RarivOredu/asr/ASRPerformanceMetrics.h"
#include "RarivOredu/asr/ASRResult.h"
#include "RarivOredu/asr/AggregatedMetrics.h"

namespace rarivoredu {
namespace {

TEST(RecogniserTypesTest, ErrorsDescribeThemselves) {
    struct Case {
        ASRError error;
        ASRError::Kind kind;
        const char* description;
    };
    const Case cases[] = {
        {ASRError::processingFailed("boom"), ASRError::Kind::processingFailed, "ASR processing failed: boom"},
        {ASRError::processingFailed(""), ASRError::Kind::processingFailed, "ASR processing failed: "},
        {ASRError::notInitialized(), ASRError::Kind::notInitialized,
         "AsrManager not initialized. Call initialize() first."},
        {ASRError::invalidAudioData(), ASRError::Kind::invalidAudioData,
         "Invalid audio data provided. Must be at least 1 second of 16kHz audio."},
        {ASRError::modelLoadFailed(), ASRError::Kind::modelLoadFailed, "Failed to load Parakeet TorchScript models."},
        {ASRError::modelCompilationFailed(), ASRError::Kind::modelCompilationFailed,
         "TorchScript model compilation failed after recovery attempts."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.error.kind(), c.kind);
        EXPECT_EQ(std::string(c.error.what()), c.description);
        EXPECT_EQ(c.error.errorDescription(), c.description);
    }
}

TEST(RecogniserTypesTest, DefaultConfigurationAndItsCheck) {
    const auto& config = ASRConfig::defaultConfig();
    EXPECT_EQ(&config, &ASRConfig::defaultConfig());
    EXPECT_EQ(config.sampleRate, 16000);
    EXPECT_EQ(config.tdtConfig, TdtConfig::defaultConfig());
    const auto& tdt = config.tdtConfig;
    EXPECT_TRUE(tdt.includeTokenDuration);
    EXPECT_EQ(tdt.maxSymbolsPerStep, 10);
    EXPECT_EQ(tdt.durationBins, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(tdt.blankId, 8192);
    EXPECT_EQ(tdt.boundarySearchFrames, 20);
    EXPECT_EQ(tdt.maxTokensPerChunk, 150);
    EXPECT_EQ(tdt.consecutiveBlankLimit, 5);
    EXPECT_NO_THROW(config.validate());

    for (const std::int64_t rate : {0, -16000}) {
        ASRConfig bad = config;
        bad.sampleRate = rate;
        EXPECT_THROW(bad.validate(), std::invalid_argument) << rate;
    }
}

TEST(RecogniserTypesTest, RealTimeFactorIsFiniteWhateverTheProcessingTime) {
    struct Case {
        double duration;
        double processingTime;
        float expected;
    };
    const Case cases[] = {{2.0, 0.5, 4.0f},
                          {2.0, 0.0, 0.0f},
                          {0.0, 0.0, 0.0f},
                          {2.0, -1.0, 0.0f},
                          {2.0, std::numeric_limits<double>::quiet_NaN(), 0.0f},
                          {2.0, 1e-300, 0.0f}};
    for (const auto& c : cases) {
        ASRResult result;
        result.duration = c.duration;
        result.processingTime = c.processingTime;
        EXPECT_EQ(result.rtfx(), c.expected) << c.duration << " / " << c.processingTime;
    }
}

TEST(RecogniserTypesTest, MetricsSummaries) {
    ASRPerformanceMetrics metrics{0, 0, 0, 2.0, 7.5f, 300.0f, std::nullopt};
    EXPECT_EQ(metrics.summary(),
              "Performance Metrics:\n- Preprocessor: 0.000s\n- Encoder: 0.000s\n- Decoder: 0.000s\n- Total: 2.000s\n"
              "- RTFx: 7.5x real-time\n- Peak Memory: 300.0 MB\n- GPU Utilization: N/A");
    metrics.gpuUtilization = 12.5f;
    EXPECT_TRUE(metrics.summary().ends_with("- GPU Utilization: 12.5%"));
    // A factor that is not finite is shown as not measured.
    metrics.rtfx = std::numeric_limits<float>::infinity();
    EXPECT_NE(metrics.summary().find("- RTFx: 0.0x real-time"), std::string::npos);

    const AggregatedMetrics aggregated{15.0f, 2.0, 200.0f, 2};
    EXPECT_EQ(aggregated.summary(),
              "Aggregated Metrics (2 samples):\n- Average RTFx: 15.0x real-time\n- Average Processing Time: 2.000s\n"
              "- Max Memory Usage: 200.0 MB");
}

}  // namespace
}  // namespace rarivoredu
