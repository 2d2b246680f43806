#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "Platform/ml/MLModel.h"
#include "RarivOredu/tts/TtSManager.h"
#include "RarivOredu/tts/kokoro/KokoroBundleWriter.h"
#include "RarivOredu/tts/kokoro/KokoroWeightNorm.h"
#include "tests/RarivOredu/tts/TtsEngineTestSupport.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TemporaryDirectory.h"
#include "tests/support/tts/KokoroRandomWeights.h"

namespace rarivoredu {
namespace {

namespace fs = std::filesystem;
using Variant = ModelNames::TTS::Variant;

// Both bundles at the real size (random weights in the upstream layout) under TtSManager: the
// sentence comes out as a 24 kHz mono WAV whose length is whole duration frames of 600 samples
// (less the five-second variant's 100 ms tail trim), and the noise is not silence.
TEST(KokoroRealSizeTest, ASentenceBecomesAWavOfWholeFramesAtTheModelsRate) {
    testsupport::TemporaryDirectory folder;
    testsupport::ScopedEnvironment environment;
    environment.set("XDG_CACHE_HOME", folder.path().string());
    const fs::path kokoro = folder.path() / "rarivoredu" / "Models" / "kokoro";
    fs::create_directories(kokoro / "voices");
    for (const char* name : {"vocab_index.json", "us_lexicon_cache.json"}) {
        fs::copy_file(fs::path(PARLOQUIN_SOURCE_DIR) / "tests/fixtures/tts" / name, kokoro / name);
    }
    {
        std::ofstream voice(kokoro / "voices" / "af_heart.json");
        voice << "{\"embedding\": [";
        for (int i = 0; i < 256; ++i) voice << (i ? ", " : "") << (i % 7 - 3) * 0.05;
        voice << "]}";
    }
    const StateDict weights = testsupport::KokoroRandomWeights::realSize();
    EXPECT_EQ(weights.elementCount(), 81810022);  // the upstream model's parameters
    const StateDict folded = KokoroWeightNorm::fold(weights, folder.path() / "fold");
    TtsModels models;
    for (const Variant variant : ModelNames::TTS::allVariants) {
        const fs::path bundle = folder.path() / "bundles" / ModelNames::TTS::fileName(variant);
        KokoroBundleWriter::write(bundle, variant, folded, KokoroNetworkConfig{});
        models.kokoroModels[variant] = platform::MLModel::modelWithContentsOfURL(bundle);
    }
    TtSManager manager;
    manager.initializeWithModels(models);
    for (const Variant variant : ModelNames::TTS::allVariants) {
        SCOPED_TRACE(ModelNames::TTS::fileName(variant));
        const auto result = manager.synthesizeDetailed("The cat sat on the mat and said hello world now.", std::nullopt,
                                                       0, 1.0f, variant);
        ASSERT_EQ(result.chunks.size(), 1u);
        const std::size_t samples = result.chunks[0].samples.size();
        const std::size_t trim = variant == Variant::fiveSecond ? 2400 : 0;
        EXPECT_GT(samples, 0u);
        EXPECT_EQ((samples + trim) % 600, 0u) << samples;
        const auto wav = ttstest::WavFile::parse(result.audio);
        EXPECT_EQ(wav.sampleRate, 24000u);
        EXPECT_EQ(wav.channels, 1u);
        EXPECT_EQ(wav.samples.size(), samples);
        const auto [low, high] = std::minmax_element(wav.samples.begin(), wav.samples.end());
        EXPECT_LT(*low, -1000);
        EXPECT_GT(*high, 1000);
    }
}

}  // namespace
}  // namespace rarivoredu
