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

TEST(SpeedChangeTest, SpeedsNearOneLeaveTheSamplesAndOthersAreClampedToTheRange) {
    const std::vector<float> tone = testsupport::sine(300, 24000, 4800);
    EXPECT_EQ(applySpeed(tone, 1.005f), tone);
    EXPECT_EQ(applySpeed(tone, 0.995f), tone);
    EXPECT_TRUE(applySpeed({}, 2.0f).empty());
    // 0.05 and 0 are as slow as allowed, 9 as fast.
    EXPECT_EQ(applySpeed(tone, 0.05f).size(), 9600u);
    EXPECT_EQ(applySpeed(tone, 0.0f).size(), 9600u);
    EXPECT_EQ(applySpeed(tone, 9.0f).size(), 2400u);
    EXPECT_FLOAT_EQ(checkedSpeed(0.05f), 0.5f);
    EXPECT_FLOAT_EQ(checkedSpeed(-3.0f), 0.5f);
    EXPECT_FLOAT_EQ(checkedSpeed(1.25f), 1.25f);
    EXPECT_FLOAT_EQ(checkedSpeed(1e30f), 2.0f);
}

TEST(SpeedChangeTest, ASpeedThatIsNoNumberIsRefused) {
    for (const float speed : {std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                              std::numeric_limits<float>::quiet_NaN()}) {
        try {
            checkedSpeed(speed);
            ADD_FAILURE() << "accepted " << speed;
        } catch (const TTSError& error) {
            EXPECT_STREQ(error.what(), "Processing failed: Speed must be a finite number");
        }
    }
}

}  // namespace
}  // namespace rarivoredu::KokoroSynthesizer
