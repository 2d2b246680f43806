#include "RarivOredu/tts/SpeedChange.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "RarivOredu/tts/TTSError.h"
#include "tests/support/AudioSignals.h"
#include "tests/support/tts/KokoroFixtureModels.h"

namespace rarivoredu::KokoroSynthesizer {
namespace {

TEST(SpeedChangeTest, TheLengthFollowsTheSpeedAndThePitchStays) {
    // One second of the tone the fixture model makes for id 30.
    const double frequency = testsupport::KokoroFixtureModels::toneFrequency(30);
    const std::vector<float> tone = testsupport::sine(frequency, 24000, 24000);
    for (const float speed : {0.75f, 1.5f, 2.0f}) {
        SCOPED_TRACE(testing::Message() << "speed " << speed);
        const std::vector<float> changed = applySpeed(tone, speed);
        EXPECT_NEAR(static_cast<double>(changed.size()), 24000.0 / speed, 24000.0 / speed * 0.02);
        // Measured away from the ends, where the stretcher starts and the flush pads.
        const std::size_t margin = changed.size() / 10;
        const std::span<const float> middle(changed.data() + margin, changed.size() - 2 * margin);
        EXPECT_NEAR(testsupport::zeroCrossingFrequency(middle, 24000), frequency, frequency * 0.02);
    }
}

TEST(SpeedChangeTest, SpeedsNearOneLeaveTheSamplesAndTheRangeEndsAreVoiced) {
    const std::vector<float> tone = testsupport::sine(300, 24000, 4800);
    EXPECT_EQ(applySpeed(tone, 1.005f), tone);
    EXPECT_EQ(applySpeed(tone, 0.995f), tone);
    EXPECT_TRUE(applySpeed({}, 2.0f).empty());
    EXPECT_EQ(applySpeed(tone, 0.5f).size(), 9600u);
    EXPECT_EQ(applySpeed(tone, 2.0f).size(), 2400u);
    EXPECT_FLOAT_EQ(checkedSpeed(1.25f), 1.25f);
}

TEST(SpeedChangeTest, ASpeedOutsideTheRangeIsRefusedNotChanged) {
    const float infinity = std::numeric_limits<float>::infinity();
    const struct {
        float speed;
        const char* description;
    } cases[] = {
        {3.7f, "Processing failed: Speed 3.7 is outside the supported range 0.5 to 2"},
        {0.05f, "Processing failed: Speed 0.05 is outside the supported range 0.5 to 2"},
        {0.0f, "Processing failed: Speed 0 is outside the supported range 0.5 to 2"},
        {-3.0f, "Processing failed: Speed -3 is outside the supported range 0.5 to 2"},
        {2.001f, "Processing failed: Speed 2.001 is outside the supported range 0.5 to 2"},
        {1e30f, "Processing failed: Speed 1e+30 is outside the supported range 0.5 to 2"},
        {infinity, "Processing failed: Speed must be a finite number"},
        {-infinity, "Processing failed: Speed must be a finite number"},
        {std::numeric_limits<float>::quiet_NaN(), "Processing failed: Speed must be a finite number"},
    };
    const std::vector<float> tone = testsupport::sine(300, 24000, 480);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "speed " << c.speed);
        for (const bool throughApply : {false, true}) {
            try {
                if (throughApply) applySpeed(tone, c.speed);
                else checkedSpeed(c.speed);
                ADD_FAILURE() << "accepted";
            } catch (const TTSError& error) {
                EXPECT_EQ(error.kind(), TTSError::Kind::processingFailed);
                EXPECT_STREQ(error.what(), c.description);
            }
        }
    }
}

}  // namespace
}  // namespace rarivoredu::KokoroSynthesizer
