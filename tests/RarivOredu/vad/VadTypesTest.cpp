#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "RarivOredu/vad/VadError.h"
#include "RarivOredu/vad/VadSampleCount.h"
#include "RarivOredu/vad/VadSegment.h"
#include "RarivOredu/vad/VadSegmentationConfig.h"

namespace rarivoredu {
namespace {

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

TEST(VadSegmentationConfigTest, NegativeThresholdIsDerivedFromTheThresholdOrGiven) {
    struct Case {
        float threshold;
        float offset;
        std::optional<float> negative;
        float expected;
    };
    for (const Case c : {Case{0.85f, 0.15f, {}, 0.85f - 0.15f}, Case{0.1f, 0.15f, {}, 0.01f},
                         Case{0.16f, 0.15f, {}, 0.01f}, Case{0.9f, 0.15f, 0.2f, 0.2f}, Case{0.05f, 0.15f, 0.2f, 0.2f}}) {
        VadSegmentationConfig config;
        config.negativeThresholdOffset = c.offset;
        config.negativeThreshold = c.negative;
        EXPECT_FLOAT_EQ(config.effectiveNegativeThreshold(c.threshold), c.expected) << c.threshold;
    }
    EXPECT_FLOAT_EQ(VadSegmentationConfig::defaultConfig().effectiveNegativeThreshold(0.85f), 0.7f);
}

TEST(VadSegmentationConfigTest, ValuesOutsideTheLimitsAreRefusedByName) {
    using C = VadSegmentationConfig;
    struct Case {
        const char* text;  // expected in the message; empty when accepted
        C (*make)();
    };
    const Case cases[] = {
        {"maxSpeechDuration is 0.0; it must be above 0", [] { return C(0.15, 0.75, 0.0); }},
        {"silenceThresholdForSplit is 1.5; it must be within 0 to 1", [] { return C(0.15, 0.75, 14, 0.1, 1.5f); }},
        {"negativeThreshold is -0.1; it must be within 0 to 1", [] { return C(0.15, 0.75, 14, 0.1, 0.3f, -0.1f); }},
        {"minSpeechDuration is -1.0; it must be 0 or more", [] { return C(-1.0); }},
        {"minSilenceDuration is nan; it must be 0 or more", [] { return C(0.15, nan); }},
        {"speechPadding is -0.5", [] { return C(0.15, 0.75, 14, -0.5); }},
        {"negativeThresholdOffset is -0.1", [] { return C(0.15, 0.75, 14, 0.1, 0.3f, std::nullopt, -0.1f); }},
        {"minSilenceAtMaxSpeech is -1.0", [] { return C(0.15, 0.75, 14, 0.1, 0.3f, std::nullopt, 0.15f, -1.0); }},
        {"", [] { return C(0.15, 0.75, inf); }},
        {"", [] { return C(inf, inf, inf, inf, 1.0f, 0.0f, 0.0f, inf, false); }},
    };
    for (const auto& c : cases) {
        if (std::string(c.text).empty()) {
            EXPECT_NO_THROW(c.make());
            continue;
        }
        try {
            c.make();
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const VadError& error) {
            EXPECT_EQ(error.kind(), VadError::Kind::invalidConfiguration);
            EXPECT_NE(std::string(error.what()).find(c.text), std::string::npos) << error.what();
        }
    }
    // A field changed after construction is caught where the configuration is used.
    VadSegmentationConfig changed;
    changed.minSpeechDuration = -0.1;
    EXPECT_THROW(changed.validate(), VadError);
    EXPECT_NO_THROW(VadSegmentationConfig().validate());
}

TEST(VadSegmentTest, SamplePositionsAreTruncatedAndSaturate) {
    const VadSegment segment{1.0, 2.5};
    EXPECT_EQ(segment.startSample(16000), 16000);
    EXPECT_EQ(segment.endSample(16000), 40000);
    EXPECT_EQ(segment.sampleCount(16000), 24000);
    EXPECT_DOUBLE_EQ(segment.duration(), 1.5);
    EXPECT_EQ((VadSegment{0.00009, 0.0}.startSample(16000)), 1);  // 1.44 samples
    EXPECT_EQ((VadSegment{-0.00009, 0.0}.startSample(16000)), -1);
    EXPECT_EQ((VadSegment{1.5 / 16000, 0.0}.startSample(16000)), 1);
    // A position in seconds made from a sample position gives that position back.
    for (std::int64_t n = 0; n < 20000; ++n) {
        const double time = static_cast<double>(n) / 16000;
        ASSERT_EQ((VadSegment{time, time}.startSample(16000)), n);
    }

    const VadSegment huge{-inf, inf};
    EXPECT_EQ(huge.startSample(16000), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(huge.endSample(16000), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(huge.sampleCount(16000), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ((VadSegment{nan, nan}.sampleCount(16000)), 0);
    EXPECT_EQ(VadSampleCount::fromSeconds(inf), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(VadSampleCount::fromSeconds(0.098), 1568);
}

TEST(VadErrorTest, DescriptionsAreTheFixedTexts) {
    EXPECT_STREQ(VadError::notInitialized().what(), "VAD system not initialized");
    EXPECT_STREQ(VadError::modelLoadingFailed().what(), "Failed to load VAD model");
    const auto failed = VadError::modelProcessingFailed("No VAD output");
    EXPECT_STREQ(failed.what(), "Model processing failed: No VAD output");
    EXPECT_EQ(failed.message(), "No VAD output");
    EXPECT_EQ(failed.kind(), VadError::Kind::modelProcessingFailed);
}

}  // namespace
}  // namespace rarivoredu
