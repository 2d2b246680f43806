#include "RarivOredu/tts/kokoro/KokoroUpstreamImport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sys/wait.h>
#include <unistd.h>

#include "RarivOredu/checkpoint/TorchCheckpoint.h"
#include "RarivOredu/shared/Repo.h"
#include "RarivOredu/tts/TtSManager.h"
#include "RarivOredu/tts/TtsModels.h"
#include "tests/RarivOredu/tts/TtsEngineTestSupport.h"
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

// The id of a process that has ended and been reaped.
pid_t endedProcess() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

// A download a killed process left beside the folder goes with the next import or voice; one of a
// process that still runs stays.
TEST_F(KokoroUpstreamImportTest, DownloadFoldersOfEndedProcessesAreRemovedAndThoseOfRunningOnesKept) {
    const std::string ended = std::to_string(endedProcess());
    const std::string running = std::to_string(::getpid());
    const fs::path voices = target / "voices";
    for (const fs::path& folder : {root / (".kokoro.download-" + ended + "-0"), root / (".kokoro.download-" + running + "-999"),
                                   voices / (".af_heart.json.download-" + ended + "-4")}) {
        fs::create_directories(folder);
        std::ofstream(folder / "kokoro-v1_0.pth") << "partial";
    }
    ASSERT_TRUE(KokoroUpstreamImport::importFromHub(target));
    EXPECT_EQ(entries(root.path()), (std::vector<std::string>{".kokoro.download-" + running + "-999", "kokoro"}));
    ASSERT_TRUE(KokoroUpstreamImport::fetchVoice("af_heart", voices / "af_heart.json"));
    EXPECT_EQ(entries(voices), std::vector<std::string>{"af_heart.json"});
}

// The whole path: a manager on a hub that holds the public model builds its bundles from it, takes
// the voice our repository serves where the public one lacks it, and speaks.
TEST_F(KokoroUpstreamImportTest, AManagerOnAHubWithThePublicModelImportsItAndSpeaks) {
    environment.set("XDG_CACHE_HOME", (root / "cache").string());
    hub.removeFile(KokoroUpstreamImport::repoId, "voices/af_heart.pt");
    const std::string ours(Repo(Repo::kokoro).rawValue());
    hub.addFile(ours, "us_lexicon_cache.json",
                readText(fs::path(PARLOQUIN_SOURCE_DIR) / "tests/fixtures/tts/us_lexicon_cache.json"));
    std::string voice = "{\"embedding\": [";
    for (int i = 0; i < 256; ++i) voice += (i ? ", " : "") + std::to_string((i % 7 - 3) * 0.05);
    hub.addFile(ours, "voices/af_heart.json", voice + "]}");
    // The voice folder is made before any model: the import must still make both bundles.
    fs::create_directories(TtsModels::kokoroDirectory() / "voices");

    TtSManager manager;
    manager.initialize();
    for (const char* bundle : {"kokoro_21_5s.mlmodelc", "kokoro_21_15s.mlmodelc", "vocab_index.json"}) {
        EXPECT_TRUE(fs::exists(TtsModels::kokoroDirectory() / bundle)) << bundle;
    }
    EXPECT_EQ(hub.requestCount("/api/models/" + ours), 0);  // no bundle of ours was asked for
    const auto result = manager.synthesizeDetailed("Hello world.");
    ASSERT_EQ(result.chunks.size(), 1u);
    const auto wav = ttstest::WavFile::parse(result.audio);
    EXPECT_EQ(wav.sampleRate, 24000u);
    EXPECT_EQ(wav.samples.size(), result.chunks[0].samples.size());
    EXPECT_GT(wav.samples.size(), 0u);
}

}  // namespace
}  // namespace rarivoredu
