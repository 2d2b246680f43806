#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "RarivOredu/diarization/AudioValidation.h"

namespace rarivoredu {
namespace {

TEST(AudioValidationTest, IssuesInOrder) {
    struct Case {
        std::size_t count;
        float value;
        std::vector<std::string> issues;
    };
    const std::string tooShort = "Audio too short (minimum 1 second)";
    const std::string quiet = "Audio too quiet or silent";
    const std::vector<Case> cases = {
        {0, 0.0f, {tooShort, "No audio data", quiet}},
        {15999, 0.5f, {tooShort}},
        {16000, 0.5f, {}},
        {16000, 0.009f, {quiet}},
        {16000, 0.02f, {}},
        {8000, 0.0f, {tooShort, quiet}},
    };
    const AudioValidation validation;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << " × " << c.value);
        const std::vector<float> samples(c.count, c.value);
        const auto result = validation.validateAudio(samples);
        EXPECT_EQ(result.issues, c.issues);
        EXPECT_EQ(result.isValid, c.issues.empty());
        EXPECT_FLOAT_EQ(result.durationSeconds, static_cast<float>(c.count) / 16000);
    }
    EXPECT_FLOAT_EQ(validation.calculateRMS(std::vector<float>{3, -4}), std::sqrt(12.5f));
}

TEST(AudioValidationTest, Embeddings) {
    const AudioValidation validation;
    EXPECT_FALSE(validation.validateEmbedding(std::vector<float>{}));
    EXPECT_FALSE(validation.validateEmbedding(std::vector<float>(256, 0.005f)));  // norm 0.08
    EXPECT_TRUE(validation.validateEmbedding(std::vector<float>(256, 0.007f)));   // norm 0.112
    for (const float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        std::vector<float> embedding(256, 1.0f);
        embedding[200] = bad;
        EXPECT_FALSE(validation.validateEmbedding(embedding));
    }
}

}  // namespace
}  // namespace rarivoredu
