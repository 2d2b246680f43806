#include "RarivOredu/tts/SynthesizerResources.h"

#include <gtest/gtest.h>

#include <fstream>

#include "RarivOredu/tts/LexiconCache.h"
#include "tests/RarivOredu/tts/TtsEngineTestSupport.h"
#include "tests/RarivOredu/tts/TtsTestSupport.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TemporaryDirectory.h"

namespace rarivoredu::KokoroSynthesizer {
namespace {

namespace fs = std::filesystem;

// The failure of a text whose words the fixture lexicon lacks, while eSpeak NG has no data.
std::string missingG2PFailure(const std::string& sample) {
    return "Processing failed: G2P (eSpeak NG) unavailable but required for OOV words (" + sample +
           "): espeak-ng-data.bundle is missing from the ESpeakNG framework resources.";
}

TEST(SynthesizerResourcesTest, WordsOutsideTheLexiconNeedESpeakAndAreNamedWhenItIsMissing) {
    lexiconCache().ensureLoaded(ttstest::fixturePath(""), ttstest::fixtureSymbols());
    testsupport::TemporaryDirectory folder;
    testsupport::ScopedEnvironment environment;
    environment.set("ESPEAK_DATA_PATH", (folder / "nowhere").string());
    struct Case {
        const char* text;
        std::string failure;
    };
    const Case cases[] = {
        {"Hello, World! (the cat)", "no failure"},  // case and punctuation aside, every word is known
        {"-- ... !", "no failure"},                 // no letters, no words
        {"zyx abc hello abc", missingG2PFailure("abc, zyx")},
        {"Don’t ‘cat’ 42", missingG2PFailure("'cat', 42, don't")},
        {"q p o n m l k", missingG2PFailure("k, l, m, n, o")},  // five named of seven
        {"b b b b b b b b a", missingG2PFailure("b")},          // eight words looked at, repeats too
        {"z y x w v u t s b", missingG2PFailure("s, t, u, v, w")},
    };
    for (const Case& c : cases) EXPECT_EQ(ttstest::failureOf([&] { validateLexiconCoverage(c.text); }), c.failure) << c.text;

    environment.unset("ESPEAK_DATA_PATH");
    EXPECT_EQ(ttstest::failureOf([] { validateLexiconCoverage("zyx abc"); }), "no failure");
}

TEST(SynthesizerResourcesTest, TheSizeOfAFolderIsThatOfTheFilesBelowIt) {
    testsupport::TemporaryDirectory folder;
    const fs::path model = folder / "model";
    fs::create_directories(model / "weights" / "empty");
    std::ofstream(model / "coremldata.bin") << std::string(100, 'x');
    std::ofstream(model / "weights" / "weight.bin") << std::string(1000, 'y');
    fs::create_symlink(model / "gone.bin", model / "weights" / "dangling");
    struct Case {
        fs::path path;
        std::int64_t size;
    };
    for (const Case& c : {Case{model, 1100}, Case{model / "weights", 1000}, Case{model / "weights" / "empty", 0},
                          Case{model / "coremldata.bin", 0}, Case{folder / "missing", 0}}) {
        EXPECT_EQ(directorySize(c.path), c.size) << c.path;
    }
}

}  // namespace
}  // namespace rarivoredu::KokoroSynthesizer
