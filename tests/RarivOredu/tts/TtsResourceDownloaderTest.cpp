#include "RarivOredu/tts/TtsResourceDownloader.h"

#include <gtest/gtest.h>

#include "Platform/log/LogCapture.h"
#include "RarivOredu/tts/KokoroVocabulary.h"
#include "RarivOredu/tts/LexiconAssetManager.h"
#include "RarivOredu/tts/TTSError.h"
#include "RarivOredu/tts/TtsModels.h"
#include "tests/RarivOredu/tts/TtsEngineTestSupport.h"
#include "tests/support/FileBytes.h"
#include "tests/support/FolderContents.h"

namespace rarivoredu {
namespace {

namespace fs = std::filesystem;
using testsupport::TestHub;

class TtsResourceDownloaderTest : public ::testing::Test {
protected:
    ttstest::SynthesisSandbox synthesis{{}, {"af_heart", "bf_emma"}};
    platform::LogCapture log;
};

TEST_F(TtsResourceDownloaderTest, TheCacheFolderFollowsXdgAndIsMadeOnce) {
    EXPECT_FALSE(fs::exists(synthesis.cacheRoot()));
    EXPECT_EQ(TtsModels::cacheDirectory(), synthesis.cacheRoot());
    EXPECT_TRUE(fs::is_directory(synthesis.cacheRoot()));
    testsupport::writeFile(synthesis.cacheRoot() / "kept", "x");
    EXPECT_EQ(TtsModels::cacheDirectory(), synthesis.cacheRoot());
    EXPECT_TRUE(fs::exists(synthesis.cacheRoot() / "kept"));
    testsupport::ScopedEnvironment home;
    home.unset("XDG_CACHE_HOME");
    home.set("HOME", (synthesis.sandbox.root() / "home").string());
    EXPECT_EQ(TtsModels::cacheDirectory(), synthesis.sandbox.root() / "home" / ".cache" / "rarivoredu");
}

TEST_F(TtsResourceDownloaderTest, AVoiceIsFetchedOnceThenServedFromTheCache) {
    const fs::path local = TtsResourceDownloader::ensureVoiceEmbedding("bf_emma");
    EXPECT_EQ(local, synthesis.kokoroFolder() / "voices" / "bf_emma.json");
    EXPECT_EQ(testsupport::readBytes(local), synthesis.models.voiceJson("bf_emma"));
    EXPECT_TRUE(log.contains("Voice embedding cached: bf_emma", "TtsResourceDownloader"));
    synthesis.hub().clearRequests();
    log.clear();
    EXPECT_EQ(TtsResourceDownloader::ensureVoiceEmbedding("bf_emma"), local);
    EXPECT_TRUE(synthesis.hub().requests().empty());
    EXPECT_TRUE(log.entries().empty());
}

TEST_F(TtsResourceDownloaderTest, AVoiceTheHubDoesNotGiveIsNeitherStoredNorHidden) {
    const std::string voicePath = "voices/bf_emma.json";
    struct Case {
        const char* name;
        TestHub::Fault fault;
        std::string expected;
    };
    const Case cases[] = {
        {"missing", TestHub::Fault::withStatus(404),
         "Model Voice embedding JSON unavailable for bf_emma: Unexpected response (status 404) while downloading "
         "bf_emma voice embedding JSON not found"},
        {"not JSON", TestHub::Fault::withBody("<html>gateway</html>"),
         "Model Voice embedding JSON unavailable for bf_emma: The downloaded bf_emma voice embedding JSON is not valid "
         "JSON not found"},
        {"empty", TestHub::Fault::withBody(""),
         "Model Voice embedding JSON unavailable for bf_emma: The downloaded bf_emma voice embedding JSON is not valid "
         "JSON not found"},
    };
    for (const Case& c : cases) {
        synthesis.hub().setFileFault(testsupport::KokoroFixtureModels::repoId, voicePath, c.fault);
        EXPECT_EQ(ttstest::failureOf([] { TtsResourceDownloader::ensureVoiceEmbedding("bf_emma"); }), c.expected) << c.name;
        EXPECT_FALSE(fs::exists(synthesis.kokoroFolder() / voicePath)) << c.name;
        synthesis.hub().clearFaults();
    }
}

TEST_F(TtsResourceDownloaderTest, BadVoiceIdsAreRefusedBeforeAnyNetworkOrFileAccess) {
    for (const std::string voice : {"../x", "", "a/b", "a b", "é", "x.json"}) {
        const std::string expected =
            "Processing failed: Invalid voice id '" + voice + "': use only letters, digits, \"_\" and \"-\"";
        EXPECT_EQ(ttstest::failureOf([&] { TtsResourceDownloader::ensureVoiceEmbedding(voice); }), expected);
        EXPECT_EQ(ttstest::failureOf([&] { TtsResourceDownloader::fetchVoiceEmbeddingData(voice); }), expected);
    }
    EXPECT_TRUE(synthesis.hub().requests().empty());
    EXPECT_FALSE(fs::exists(synthesis.cacheRoot()));
}

TEST_F(TtsResourceDownloaderTest, TheLexiconIsFetchedWhenMissingAndItsFailureOnlyWarns) {
    LexiconAssetManager assets;
    synthesis.hub().setFileFault(testsupport::KokoroFixtureModels::repoId, "us_lexicon_cache.json", TestHub::Fault::withStatus(500), 1);
    assets.ensureLexiconCache();
    EXPECT_TRUE(log.contains("Failed to download lexicon cache: Model Failed to download us_lexicon_cache.json: "
                             "Unexpected response (status 500) while downloading us_lexicon_cache.json not found",
                             "LexiconAssetManager"));
    EXPECT_FALSE(fs::exists(synthesis.kokoroFolder() / "us_lexicon_cache.json"));
    assets.ensureLexiconCache();
    EXPECT_TRUE(fs::exists(synthesis.kokoroFolder() / "us_lexicon_cache.json"));
    EXPECT_EQ(ttstest::failureOf([] { TtsResourceDownloader::downloadFile("../x.json"); }), "Model Invalid URL for ../x.json not found");
}

TEST_F(TtsResourceDownloaderTest, TheVocabularyIsFetchedWhenMissingAndABrokenAnswerIsNotKept) {
    KokoroVocabulary vocabulary;
    synthesis.hub().setFileFault(testsupport::KokoroFixtureModels::repoId, "vocab_index.json", TestHub::Fault::withBody("{\"vocab\": {"), 1);
    EXPECT_EQ(ttstest::failureOf([&] { vocabulary.getVocabulary(); }),
              "Download failed: Failed to obtain Kokoro vocabulary: The downloaded vocab_index.json is not valid JSON");
    EXPECT_TRUE(log.contains("Failed to download vocabulary: ", "KokoroVocabulary"));
    EXPECT_FALSE(fs::exists(synthesis.kokoroFolder() / "vocab_index.json"));
    EXPECT_FALSE(vocabulary.isLoaded());

    EXPECT_EQ(vocabulary.getVocabulary().at("ˈ"), 50);
    EXPECT_TRUE(log.contains("Vocabulary file not found in cache, downloading...", "KokoroVocabulary"));
    synthesis.hub().clearRequests();
    fs::remove(synthesis.kokoroFolder() / "vocab_index.json");
    EXPECT_EQ(vocabulary.getVocabulary().size(), 52u);  // loaded: no file is touched
    EXPECT_TRUE(synthesis.hub().requests().empty());
}

TEST_F(TtsResourceDownloaderTest, AHubAddressThatIsNoWebAddressIsNamedInTheFailure) {
    testsupport::ScopedEnvironment environment;
    environment.set("RARIVOREDU_HUB_URL", "ftp://hub.example/");
    const std::string base = "ftp://hub.example/ViridErevidaro/kokoro-82m-coreml/resolve/main";
    EXPECT_EQ(TtsResourceDownloader::baseURL(), base);
    KokoroVocabulary vocabulary;
    EXPECT_EQ(ttstest::failureOf([&] { vocabulary.getVocabulary(); }),
              "Download failed: Invalid Kokoro vocabulary URL: " + base + "/vocab_index.json");
    EXPECT_EQ(ttstest::failureOf([] { TtsResourceDownloader::downloadFile("us_lexicon_cache.json"); }),
              "Model Invalid URL for us_lexicon_cache.json not found");
    environment.unset("RARIVOREDU_HUB_URL");
    EXPECT_EQ(TtsResourceDownloader::baseURL(), "https://huggingface.co/ViridErevidaro/kokoro-82m-coreml/resolve/main");
}

}  // namespace
}  // namespace rarivoredu
