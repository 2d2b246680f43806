#include "RarivOredu/tts/kokoro/KokoroUpstreamImport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "RarivOredu/checkpoint/TorchCheckpoint.h"
#include "RarivOredu/tts/kokoro/KokoroVoicePack.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TemporaryDirectory.h"
#include "tests/support/TestHub.h"

namespace rarivoredu {
namespace {

namespace fs = std::filesystem;
using testsupport::TestHub;

fs::path fixture(const std::string& name) {
    return fs::path(PARLOQUIN_SOURCE_DIR) / "tests" / "fixtures" / "tts" / "kokoro" / name;
}

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> entries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class KokoroUpstreamImportTest : public ::testing::Test {
protected:
    void SetUp() override {
        environment.set("RARIVOREDU_HUB_URL", hub.baseURL());
        hub.addFile(KokoroUpstreamImport::repoId, "kokoro-v1_0.pth", readText(fixture("kokoro-tiny.pth")), true);
        hub.addFile(KokoroUpstreamImport::repoId, "config.json", readText(fixture("config.json")));
        hub.addFile(KokoroUpstreamImport::repoId, "voices/af_heart.pt", readText(fixture("voice-counting.pt")), true);
        hub.addFile(KokoroUpstreamImport::repoId, "voices/af_bella.pt", readText(fixture("voice-short.pt")), true);
        hub.addFile(KokoroUpstreamImport::repoId, "samples/HEARME.wav", std::string(1000, 'x'), true);
    }

    TestHub hub;
    testsupport::ScopedEnvironment environment;
    testsupport::TemporaryDirectory root;
    fs::path target = root / "kokoro";
};

TEST_F(KokoroUpstreamImportTest, TheCheckpointAndConfigAloneAreFetchedAndImported) {
    ASSERT_TRUE(KokoroUpstreamImport::importFromHub(target));
    EXPECT_EQ(entries(target), (std::vector<std::string>{"kokoro_21_15s.mlmodelc", "kokoro_21_5s.mlmodelc",
                                                         "vocab_index.json"}));
    EXPECT_EQ(entries(root.path()), std::vector<std::string>{"kokoro"});
    EXPECT_EQ(hub.requestCount("/resolve/main/kokoro-v1_0.pth"), 1);
    EXPECT_EQ(hub.requestCount("/resolve/main/config.json"), 1);
    EXPECT_EQ(hub.requestCount("/resolve/main/voices/"), 0);
    EXPECT_EQ(hub.requestCount("/resolve/main/samples/"), 0);
}

TEST_F(KokoroUpstreamImportTest, AHubWithoutTheModelIsDeclinedAndAFailedDownloadChangesNothing) {
    {
        TestHub other;
        environment.set("RARIVOREDU_HUB_URL", other.baseURL());
        EXPECT_FALSE(KokoroUpstreamImport::importFromHub(target));
        EXPECT_FALSE(KokoroUpstreamImport::fetchVoice("af_heart", target / "voices" / "af_heart.json"));
        environment.set("RARIVOREDU_HUB_URL", hub.baseURL());
    }
    fs::create_directories(target);
    std::ofstream(target / "note.txt") << "kept";
    for (const auto& fault : {TestHub::Fault::dropConnection(), TestHub::Fault::wrongBytes(), TestHub::Fault::withStatus(500)}) {
        hub.setFileFault(KokoroUpstreamImport::repoId, "kokoro-v1_0.pth", fault);
        EXPECT_ANY_THROW(KokoroUpstreamImport::importFromHub(target));
        EXPECT_EQ(entries(target), std::vector<std::string>{"note.txt"});
        EXPECT_EQ(entries(root.path()), std::vector<std::string>{"kokoro"});
    }
}

TEST_F(KokoroUpstreamImportTest, AVoiceTensorBecomesTheVoiceFileAndAMisshapenOneIsRefused) {
    const fs::path voices = target / "voices";
    ASSERT_TRUE(KokoroUpstreamImport::fetchVoice("af_heart", voices / "af_heart.json"));
    const auto json = nlohmann::json::parse(readText(voices / "af_heart.json"));
    const KokoroVoicePack pack = KokoroVoicePack::fromCheckpoint(TorchCheckpoint::open(fixture("voice-counting.pt")));
    for (const int ids : {2, 3, 60, 512}) {
        const auto row = pack.row(KokoroVoicePack::rowForTokenCount(ids));
        EXPECT_EQ(json[std::to_string(ids)].get<std::vector<float>>(), std::vector<float>(row.begin(), row.end())) << ids;
    }
    EXPECT_ANY_THROW(KokoroUpstreamImport::fetchVoice("af_bella", voices / "af_bella.json"));
    EXPECT_EQ(entries(voices), std::vector<std::string>{"af_heart.json"});
    EXPECT_EQ(entries(target), std::vector<std::string>{"voices"});
}

}  // namespace
}  // namespace rarivoredu
