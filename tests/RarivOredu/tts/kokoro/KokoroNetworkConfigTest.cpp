#include "RarivOredu/tts/kokoro/KokoroNetworkConfig.h"

#include <gtest/gtest.h>

#include <string>

#include "RarivOredu/checkpoint/CheckpointError.h"
#include "RarivOredu/tts/kokoro/KokoroBundleWriter.h"

namespace rarivoredu {
namespace {

using Variant = ModelNames::TTS::Variant;

TEST(KokoroNetworkConfigTest, AFrameMakesTheSamplesOfHopAndUpsampling) {
    const auto config = KokoroNetworkConfig::fromJSON(
        R"({"istftnet": {"upsample_rates": [10, 6], "gen_istft_hop_size": 5, "gen_istft_n_fft": 20}})");
    EXPECT_EQ(config.samplesPerFrame(), 600);
    EXPECT_EQ(KokoroBundleWriter::frameBudget(Variant::fiveSecond, config), 200);
    // One second a frame is the most: the five-second bundle still voices five frames.
    const auto widest = KokoroNetworkConfig::fromJSON(R"({"istftnet": {"upsample_rates": [60, 10], "gen_istft_hop_size": 20}})");
    EXPECT_EQ(widest.samplesPerFrame(), KokoroNetworkConfig::maxSamplesPerFrame);
    EXPECT_EQ(KokoroBundleWriter::frameBudget(Variant::fiveSecond, widest), 5);
}

// Before, a product past 32 bits wrapped to 0 samples a frame, and the bundle's frame budget
// divided by it: the import from the hub died of SIGFPE.
TEST(KokoroNetworkConfigTest, VocodersOfMoreThanASecondAFrameAreRefused) {
    const struct {
        const char* label;
        const char* json;
        const char* member;
    } cases[] = {
        {"a product wrapping to 0", R"({"istftnet": {"upsample_rates": [64, 64, 64, 64, 64, 64], "gen_istft_hop_size": 4096}})",
         "istftnet.gen_istft_hop_size and istftnet.upsample_rates"},
        {"two seconds a frame", R"({"istftnet": {"upsample_rates": [60, 20], "gen_istft_hop_size": 20}})",
         "istftnet.gen_istft_hop_size and istftnet.upsample_rates"},
        {"seventeen stages", R"({"istftnet": {"upsample_rates": [1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1]}})",
         "istftnet.upsample_rates"},
    };
    for (const auto& c : cases) {
        try {
            KokoroNetworkConfig::fromJSON(c.json);
            ADD_FAILURE() << c.label << ": accepted";
        } catch (const CheckpointError& error) {
            EXPECT_EQ(error.kind(), CheckpointError::Kind::malformed) << c.label;
            EXPECT_NE(std::string(error.what()).find(c.member), std::string::npos) << c.label << ": " << error.what();
        }
    }
}

}  // namespace
}  // namespace rarivoredu
