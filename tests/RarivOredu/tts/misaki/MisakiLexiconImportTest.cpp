#include "RarivOredu/tts/misaki/MisakiLexiconImport.h"

#include <gtest/gtest.h>

#include "Platform/system/SHA256.h"
#include "RarivOredu/tts/misaki/MisakiLexicon.h"
#include "tests/RarivOredu/tts/TtsEngineTestSupport.h"
#include "tests/RarivOredu/tts/TtsTestSupport.h"
#include "tests/support/FileBytes.h"
#include "tests/support/FolderContents.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TemporaryDirectory.h"
#include "tests/support/TestHub.h"

namespace rarivoredu {
namespace {

namespace fs = std::filesystem;
using testsupport::TestHub;

constexpr const char* kRepo = "hexgrad/misaki";

std::string fixture(const std::string& name) { return testsupport::readBytes(ttstest::fixturePath("misaki/" + name)); }

// A loopback server holding the two word lists where misaki's repository has them.
class MisakiLexiconImportTest : public ::testing::Test {
protected:
    MisakiLexiconImportTest() {
        hub.addFile(kRepo, "misaki/data/us_gold.json", fixture("us_gold.json"));
        hub.addFile(kRepo, "misaki/data/us_silver.json", fixture("us_silver.json"));
    }
    std::string baseURL() const { return hub.baseURL() + "/" + kRepo + "/resolve/main/misaki/data"; }
    static MisakiLexiconImport::Digests fixtureDigests() {
        return {platform::SHA256::hexDigest(fixture("us_gold.json")), platform::SHA256::hexDigest(fixture("us_silver.json"))};
    }
    std::string expectedFile() const {
        return MisakiLexicon::fromWordLists(fixture("us_gold.json"), fixture("us_silver.json"), symbols).json();
    }
    void import() { MisakiLexiconImport::importFromURL(baseURL(), fixtureDigests(), destination, symbols); }

    TestHub hub;
    testsupport::TemporaryDirectory folder;
    fs::path destination = folder.path() / "kokoro" / "us_lexicon_cache.json";
    PhonemeSet symbols = ttstest::fixtureSymbols();
};

TEST_F(MisakiLexiconImportTest, FetchesBothListsAndWritesTheConvertedLexicon) {
    import();
    EXPECT_EQ(testsupport::readBytes(destination), expectedFile());
    EXPECT_EQ(hub.requestCount("us_gold.json"), 1);
    EXPECT_EQ(hub.requestCount("us_silver.json"), 1);
    // The downloads went with the call.
    EXPECT_EQ(testsupport::folderContents(folder.path()), (std::set<std::string>{"kokoro", "kokoro/us_lexicon_cache.json"}));
}

TEST_F(MisakiLexiconImportTest, AFileOfAnotherDigestOrACutOrBrokenDownloadLeavesTheLexiconAsItWas) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
        MisakiLexiconImport::Digests digests;
        const char* failure;
    };
    const auto pinned = MisakiLexiconImport::Digests::pinned();
    auto withSilver = [](std::string digest) { return MisakiLexiconImport::Digests{fixtureDigests().gold, std::move(digest)}; };
    const Case cases[] = {
        {"pinned digests", [] {}, pinned, "is not misaki's us_gold.json: SHA-256 "},
        {"cut transfer", [&] { hub.setFileFault(kRepo, "misaki/data/us_silver.json", TestHub::Fault::dropConnection()); },
         fixtureDigests(), ""},
        {"cut file", [&] { hub.setFileFault(kRepo, "misaki/data/us_silver.json", TestHub::Fault::withBody("{\"kitten\": \"k")); },
         withSilver(platform::SHA256::hexDigest("{\"kitten\": \"k")), "us_silver.json is not a misaki word list: "},
        {"not found", [&] { hub.removeFile(kRepo, "misaki/data/us_silver.json"); }, fixtureDigests(), "404"},
    };
    for (const Case& c : cases) {
        hub.clearFaults();
        hub.addFile(kRepo, "misaki/data/us_silver.json", fixture("us_silver.json"));
        c.arrange();
        testsupport::writeFile((fs::create_directories(destination.parent_path()), destination), "the old lexicon");
        const std::string failure = ttstest::failureOf(
            [&] { MisakiLexiconImport::importFromURL(baseURL(), c.digests, destination, symbols); });
        EXPECT_NE(failure, "no failure") << c.name;
        EXPECT_NE(failure.find(c.failure), std::string::npos) << c.name << ": " << failure;
        EXPECT_EQ(testsupport::readBytes(destination), "the old lexicon") << c.name;
        EXPECT_EQ(testsupport::folderContents(folder.path()),
                  (std::set<std::string>{"kokoro", "kokoro/us_lexicon_cache.json"})) << c.name;
    }
}

TEST_F(MisakiLexiconImportTest, TheSourceIsTheConfiguredAddressThenOurHubThenThePinnedOne) {
    struct Case {
        const char* lexiconURL;
        const char* hubURL;
        std::optional<std::string> source;
    };
    const Case cases[] = {
        {nullptr, nullptr, MisakiLexiconImport::pinnedBaseURL},
        {nullptr, "http://127.0.0.1:9", std::nullopt},
        {"http://127.0.0.1:8/lists//", "http://127.0.0.1:9", "http://127.0.0.1:8/lists"},
        {"", nullptr, MisakiLexiconImport::pinnedBaseURL},
    };
    for (const Case& c : cases) {
        testsupport::ScopedEnvironment environment;
        c.lexiconURL ? environment.set("RARIVOREDU_LEXICON_URL", c.lexiconURL) : environment.unset("RARIVOREDU_LEXICON_URL");
        c.hubURL ? environment.set("RARIVOREDU_HUB_URL", c.hubURL) : environment.unset("RARIVOREDU_HUB_URL");
        EXPECT_EQ(MisakiLexiconImport::sourceURL(), c.source) << (c.lexiconURL ? c.lexiconURL : "-");
    }
    EXPECT_NE(std::string(MisakiLexiconImport::pinnedBaseURL).find(MisakiLexiconImport::pinnedCommit), std::string::npos);

    // The configured address is fetched, and held to the pinned digests.
    testsupport::ScopedEnvironment environment;
    environment.set("RARIVOREDU_LEXICON_URL", baseURL());
    const std::string failure = ttstest::failureOf([&] { MisakiLexiconImport::importFromSource(destination, symbols); });
    EXPECT_NE(failure.find("is not misaki's us_gold.json"), std::string::npos) << failure;
    EXPECT_FALSE(fs::exists(destination));
    environment.set("RARIVOREDU_HUB_URL", hub.baseURL());
    environment.unset("RARIVOREDU_LEXICON_URL");
    hub.clearRequests();
    EXPECT_FALSE(MisakiLexiconImport::importFromSource(destination, symbols));
    EXPECT_TRUE(hub.requests().empty());
}

TEST_F(MisakiLexiconImportTest, ImportsTheFilesAUserHas) {
    const fs::path gold = ttstest::fixturePath("misaki/us_gold.json");
    const fs::path silver = ttstest::fixturePath("misaki/us_silver.json");
    const std::string failure = ttstest::failureOf([&] { MisakiLexiconImport::importFiles(gold, silver, destination, symbols); });
    EXPECT_NE(failure.find("is not misaki's us_gold.json: SHA-256 " + fixtureDigests().gold), std::string::npos) << failure;
    EXPECT_FALSE(fs::exists(destination));

    MisakiLexiconImport::importFiles(gold, silver, destination, symbols, std::nullopt);
    EXPECT_EQ(testsupport::readBytes(destination), expectedFile());
}

}  // namespace
}  // namespace rarivoredu
