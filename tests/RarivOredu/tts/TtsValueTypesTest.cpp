#include <gtest/gtest.h>

#include <string>

#include "RarivOredu/tts/Diagnostics.h"
#include "RarivOredu/tts/TTSError.h"
#include "RarivOredu/tts/TokenCapacities.h"
#include "RarivOredu/tts/TtsConstants.h"

namespace rarivoredu {
namespace {

using Variant = ModelNames::TTS::Variant;

TEST(TtsValueTypesTest, CapacityFollowsTheVariant) {
    const KokoroSynthesizer::TokenCapacities capacities{124, 249};
    EXPECT_EQ(capacities.capacity(Variant::fiveSecond), 124);
    EXPECT_EQ(capacities.capacity(Variant::fifteenSecond), 249);
}

TEST(TtsValueTypesTest, DiagnosticsReplaceOnlyTheAudioSizes) {
    const KokoroSynthesizer::Diagnostics diagnostics{{{Variant::fiveSecond, 1000}}, 17, 340, 8, 52};
    const auto updated = diagnostics.updatingAudioSizes(16, 60);
    EXPECT_EQ(updated.variantFootprints, diagnostics.variantFootprints);
    EXPECT_EQ(updated.lexiconEntryCount, 17);
    EXPECT_EQ(updated.lexiconEstimatedBytes, 340);
    EXPECT_EQ(updated.audioSampleBytes, 16);
    EXPECT_EQ(updated.outputWavBytes, 60);
}

TEST(TtsValueTypesTest, ErrorsDescribeThemselves) {
    EXPECT_STREQ(TTSError::downloadFailed("x").what(), "Download failed: x");
    EXPECT_STREQ(TTSError::corruptedModel("m").what(), "Model m is corrupted");
    EXPECT_STREQ(TTSError::modelNotFound("Kokoro model not initialized").what(),
                 "Model Kokoro model not initialized not found");
    EXPECT_STREQ(TTSError::processingFailed("y").what(), "Processing failed: y");
}

TEST(TtsValueTypesTest, ConstantsHoldTheVoicesAndTextCleaningValues) {
    ASSERT_EQ(TtsConstants::availableVoices().size(), 54u);
    EXPECT_EQ(TtsConstants::availableVoices()[3], TtsConstants::defaultVoice);
    EXPECT_EQ(TtsConstants::availableVoices().back(), "zm_yunyang");
    EXPECT_EQ(TtsConstants::parentheticalDelimiters(), (std::set<char32_t>{U'(', U')', U'[', U']', U'{', U'}'}));
    EXPECT_EQ(TtsConstants::whitespaceRegex().stringByReplacingMatches("a \t\n b  c", " "), "a b c");
}

}  // namespace
}  // namespace rarivoredu
