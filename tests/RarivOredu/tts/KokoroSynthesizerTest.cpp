#include "RarivOredu/tts/KokoroSynthesizer.h"

#include <gtest/gtest.h>

#include "RarivOredu/tts/KokoroModelCache.h"
#include "RarivOredu/tts/LexiconAssetManager.h"
#include "tests/RarivOredu/tts/TtsEngineTestSupport.h"
#include "tests/support/ScopedEnvironment.h"

namespace rarivoredu::KokoroSynthesizer {
namespace {

TEST(KokoroSynthesizerTest, ARequestWithoutItsResourcesOrWordsFailsWithItsReasonAndVoicesNothing) {
    ttstest::SynthesisSandbox synthesis;
    // No eSpeak NG data: texts of lexicon words need none.
    testsupport::ScopedEnvironment environment;
    environment.set("ESPEAK_DATA_PATH", (synthesis.sandbox.root() / "no-espeak").string());
    auto modelCache = std::make_shared<KokoroModelCache>();
    modelCache->registerPreloadedModels(synthesis.models.ttsModels());
    const SynthesizerContext none;
    const SynthesizerContext assetsOnly = none.withLexiconAssets(std::make_shared<LexiconAssetManager>());
    const SynthesizerContext complete = assetsOnly.withModelCache(modelCache);
    struct Case {
        const char* name;
        const SynthesizerContext& context;
        const char* text;
        std::string failure;
    };
    const Case cases[] = {
        {"no context", none, "Hello world.",
         "Processing failed: KokoroSynthesizer requires lexicon assets context. Use TtSManager or "
         "withLexiconAssets(_:operation:)."},
        {"no model cache", assetsOnly, "Hello world.",
         "Processing failed: KokoroSynthesizer requires a model cache context. Use TtSManager or "
         "withModelCache(_:operation:)."},
        {"a word without sounds", complete, "unsayable", "Processing failed: No valid words found in text"},
        {"no word", complete, "-", "Processing failed: No valid words found in text"},
        {"a word outside the lexicon", complete, "Hello zyx.",
         "Processing failed: G2P (eSpeak NG) unavailable but required for OOV words (zyx): espeak-ng-data.bundle is "
         "missing from the ESpeakNG framework resources."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ttstest::failureOf([&] { synthesizeDetailed(c.context, c.text, "af_heart", std::nullopt, {}, 1.0f); }),
                  c.failure)
            << c.name;
        if (&c.context == &none) {
            EXPECT_TRUE(synthesis.hub().requests().empty());
        }
    }
    EXPECT_TRUE(synthesis.models.idsSeen().empty());
    EXPECT_EQ(ttstest::failureOf([&] { synthesizeDetailed(complete, "Hello world.", "af_heart", std::nullopt, {}, 1.0f); }),
              "no failure");
}

}  // namespace
}  // namespace rarivoredu::KokoroSynthesizer
