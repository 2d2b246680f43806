#include <gtest/gtest.h>

#include <algorithm>

#include "Platform/log/LogCapture.h"
#include "Platform/system/SHA256.h"
#include "RarivOredu/tts/LexiconAssetManager.h"
#include "RarivOredu/tts/TtSManager.h"
#include "RarivOredu/tts/misaki/MisakiLexicon.h"
#include "RarivOredu/tts/misaki/MisakiLexiconImport.h"
#include "tests/RarivOredu/tts/TtsEngineTestSupport.h"
#include "tests/RarivOredu/tts/TtsTestSupport.h"
#include "tests/support/FileBytes.h"

namespace rarivoredu {
namespace {

namespace fs = std::filesystem;
using testsupport::KokoroFixtureModels;

constexpr const char* kRepo = "hexgrad/misaki";

std::string fixture(const std::string& name) { return testsupport::readBytes(ttstest::fixturePath("misaki/" + name)); }

// The synthesis repository on a loopback hub, with misaki's two word lists beside it.
struct WordListSandbox {
    WordListSandbox() {
        synthesis.hub().addFile(kRepo, "misaki/data/us_gold.json", fixture("us_gold.json"));
        synthesis.hub().addFile(kRepo, "misaki/data/us_silver.json", fixture("us_silver.json"));
    }
    std::string wordListsURL() { return synthesis.hub().baseURL() + "/" + kRepo + "/resolve/main/misaki/data"; }
    fs::path lexiconFile() const { return synthesis.kokoroFolder() / "us_lexicon_cache.json"; }

    ttstest::SynthesisSandbox synthesis;
};

// The only test of this program that loads the process's lexicon.
TEST(MisakiLexiconSynthesisTest, TheSynthesiserSpeaksAWordAsTheConvertedLexiconHasIt) {
    WordListSandbox sandbox;
    sandbox.synthesis.hub().removeFile(KokoroFixtureModels::repoId, "us_lexicon_cache.json");
    MisakiLexiconImport::importFromURL(
        sandbox.wordListsURL(),
        {platform::SHA256::hexDigest(fixture("us_gold.json")), platform::SHA256::hexDigest(fixture("us_silver.json"))},
        sandbox.lexiconFile(), ttstest::fixtureSymbols());

    TtSManager manager;
    manager.initialize();
    sandbox.synthesis.models.clearObservations();
    manager.synthesizeDetailed("A zebra.");

    ASSERT_EQ(sandbox.synthesis.models.idsSeen().size(), 1u);
    const std::vector<std::int32_t> ids = sandbox.synthesis.models.idsSeen()[0];
    // "ʃˈɔŋk", a reading only the word list gives, in the fixture vocabulary's ids.
    const std::vector<std::int32_t> zebra = {45, 50, 41, 42, 19};
    EXPECT_NE(std::search(ids.begin(), ids.end(), zebra.begin(), zebra.end()), ids.end()) << ::testing::PrintToString(ids);
    EXPECT_EQ(sandbox.synthesis.hub().requestCount("us_lexicon_cache.json"), 0);
}

TEST(MisakiLexiconSynthesisTest, AHubOfOurOwnFilesServesTheLexiconWhenTheWordListsDoNot) {
    struct Case {
        const char* name;
        bool wordListsConfigured;
        int wordListRequests;
        bool warned;
    };
    const Case cases[] = {
        {"hub alone", false, 0, false},
        {"word lists of another digest", true, 1, true},  // refused at the first
    };
    for (const Case& c : cases) {
        WordListSandbox sandbox;
        platform::LogCapture log;
        testsupport::ScopedEnvironment environment;
        if (c.wordListsConfigured) environment.set("RARIVOREDU_LEXICON_URL", sandbox.wordListsURL());

        LexiconAssetManager().ensureLexiconCache();

        EXPECT_EQ(testsupport::readBytes(sandbox.lexiconFile()),
                  testsupport::readBytes(ttstest::fixturePath("us_lexicon_cache.json")))
            << c.name;
        EXPECT_EQ(sandbox.synthesis.hub().requestCount("misaki/data/"), c.wordListRequests) << c.name;
        EXPECT_EQ(log.contains("Failed to make the lexicon from misaki's word lists: The file at " + sandbox.wordListsURL() +
                                   "/us_gold.json is not misaki's us_gold.json: SHA-256 ",
                               "LexiconAssetManager"),
                  c.warned)
            << c.name;
    }
}

TEST(MisakiLexiconSynthesisTest, AUsersCopiesOfTheWordListsMakeTheCachesLexicon) {
    WordListSandbox sandbox;
    const fs::path gold = ttstest::fixturePath("misaki/us_gold.json");
    const fs::path silver = ttstest::fixturePath("misaki/us_silver.json");
    const std::string failure = ttstest::failureOf([&] { LexiconAssetManager::importWordLists(gold, silver); });
    EXPECT_NE(failure.find("is not misaki's us_gold.json: SHA-256 "), std::string::npos) << failure;
    EXPECT_FALSE(fs::exists(sandbox.lexiconFile()));

    LexiconAssetManager::importWordLists(gold, silver, std::nullopt);
    EXPECT_EQ(testsupport::readBytes(sandbox.lexiconFile()),
              MisakiLexicon::fromWordLists(fixture("us_gold.json"), fixture("us_silver.json"), ttstest::fixtureSymbols()).json());
}

}  // namespace
}  // namespace rarivoredu
