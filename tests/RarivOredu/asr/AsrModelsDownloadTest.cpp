#include "RarivOredu/asr/AsrModels.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "Platform/log/LogCapture.h"
#include "RarivOredu/asr/AsrModelsError.h"
#include "tests/support/FolderContents.h"
#include "tests/support/HubSandbox.h"

namespace {

namespace fs = std::filesystem;
using platform::MLComputeUnits;
using rarivoredu::AsrModels;
using rarivoredu::AsrModelsError;
using rarivoredu::AsrModelVersion;
using testsupport::HubSandbox;
using testsupport::ModelBundleFiles;
using testsupport::TemporaryDirectory;
using testsupport::TestHub;

const std::string v3Id = "ViridErevidaro/parakeet-tdt-0.6b-v3-coreml";
const std::string vocabulary = R"({"0": "▁hello", "1": "▁world", "8192": "<blank>"})";

class AsrModelsDownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const auto& name : AsrModels::requiredModels()) sandbox.addBundle(v3Id, name);
        sandbox.hub.addFile(v3Id, "parakeet_vocab.json", vocabulary);
        sandbox.hub.addFile(v3Id, "config.json", "{}");
    }

    fs::path versionFolder() const { return sandbox.modelsDirectory() / "parakeet-tdt-0.6b-v3-coreml"; }
    int rootListings() const {
        int count = 0;
        for (const auto& target : sandbox.hub.requests()) count += target == TestHub::listingPath(v3Id) ? 1 : 0;
        return count;
    }

    HubSandbox sandbox;
    platform::LogCapture log;
};

TEST_F(AsrModelsDownloadTest, DownloadsIntoAnEmptyFolderThenLoadsTheSet) {
    const fs::path custom = sandbox.modelsDirectory() / "custom";
    EXPECT_EQ(AsrModels::download(custom), custom);
    EXPECT_TRUE(AsrModels::modelsExist(versionFolder(), AsrModelVersion::v3));
    EXPECT_FALSE(fs::exists(custom));
    EXPECT_TRUE(log.contains("Downloading ASR models to: " + versionFolder().string(), "AsrModels"));
    EXPECT_TRUE(log.contains("Successfully downloaded ASR models", "AsrModels"));

    platform::MLModelConfiguration configuration;
    configuration.computeUnits = MLComputeUnits::all;
    const AsrModels models = AsrModels::load(custom, configuration, AsrModelVersion::v3);
    for (const auto* model : {&models.preprocessor, &models.encoder, &models.decoder, &models.joint}) {
        ASSERT_TRUE(*model);
        EXPECT_EQ(ModelBundleFiles::runTiny(**model), (std::vector<double>{2, 4, 6, 8}));
    }
    EXPECT_EQ(models.preprocessor->configuration().computeUnits, MLComputeUnits::cpuOnly);
    EXPECT_EQ(models.encoder->configuration().computeUnits, MLComputeUnits::all);
    EXPECT_EQ(models.decoder->configuration().computeUnits, MLComputeUnits::all);
    EXPECT_EQ(models.configuration.computeUnits, MLComputeUnits::all);
    EXPECT_EQ(models.version, AsrModelVersion::v3);
    EXPECT_EQ(models.vocabulary, (AsrModels::Vocabulary{{0, "▁hello"}, {1, "▁world"}, {8192, "<blank>"}}));
    EXPECT_TRUE(log.contains("Loaded Preprocessor.mlmodelc with compute units: cpuOnly", "AsrModels"));
    EXPECT_TRUE(log.contains("Loaded Encoder.mlmodelc with compute units: all", "AsrModels"));
    EXPECT_TRUE(log.contains("Successfully loaded all ASR models with optimized compute units", "AsrModels"));

    // Present now: nothing is asked of the hub.
    sandbox.hub.clearRequests();
    AsrModels::download(custom);
    EXPECT_TRUE(log.contains("ASR models already present at: " + versionFolder().string(), "AsrModels"));
    EXPECT_FALSE(log.contains("Downloading ASR models to: " + versionFolder().string() + "\n"));
    EXPECT_TRUE(sandbox.hub.requests().empty());
}

// The first start downloads, then loads: each model is compiled once, by the load.
TEST_F(AsrModelsDownloadTest, AFirstStartLoadsEachModelOnce) {
    const AsrModels models = AsrModels::load(AsrModels::download(versionFolder()), std::nullopt, AsrModelVersion::v3);
    ASSERT_TRUE(models.joint);
    for (const auto& name : AsrModels::requiredModels()) {
        EXPECT_EQ(log.matching("Compiled model " + name + " in ", "DownloadUtils").size(), 1u) << name;
    }
}

TEST_F(AsrModelsDownloadTest, AMissingVocabularyIsFetchedAgain) {
    AsrModels::download(versionFolder());
    fs::remove(versionFolder() / "parakeet_vocab.json");
    ASSERT_FALSE(AsrModels::modelsExist(versionFolder(), AsrModelVersion::v3));
    sandbox.hub.clearRequests();

    AsrModels::download(versionFolder());
    EXPECT_EQ(testsupport::readBytes(versionFolder() / "parakeet_vocab.json"), vocabulary);
    EXPECT_EQ(rootListings(), 1);
    EXPECT_EQ(AsrModels::load(versionFolder()).vocabulary.size(), 3u);
}

TEST_F(AsrModelsDownloadTest, AnUnusableVocabularyAfterADownloadIsFetchedOnceMore) {
    struct Case {
        const char* name;
        std::string served;  // what the hub answers the first time, of the listed size
        int times;           // how often it answers so
        std::optional<std::string> error;
    };
    const std::vector<Case> cases{
        {"not JSON once", std::string(vocabulary.size(), '#'), 1, std::nullopt},
        {"wrong shape once", R"(["a","b"])" + std::string(vocabulary.size() - 9, ' '), 1, std::nullopt},
        {"not JSON always", std::string(vocabulary.size(), '#'), -1, "Failed to load ASR models: Vocabulary parsing failed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(c.served.size(), vocabulary.size());
        fs::remove_all(versionFolder());
        sandbox.hub.clearRequests();
        sandbox.hub.setFileFault(v3Id, "parakeet_vocab.json", TestHub::Fault::withBody(c.served), c.times);
        log.clear();
        try {
            AsrModels::download(versionFolder());
            EXPECT_FALSE(c.error.has_value());
            EXPECT_EQ(AsrModels::load(versionFolder()).vocabulary.size(), 3u);
        } catch (const AsrModelsError& error) {
            ASSERT_TRUE(c.error.has_value()) << error.what();
            EXPECT_EQ(error.kind(), AsrModelsError::Kind::loadingFailed);
            EXPECT_EQ(std::string(error.what()), *c.error);
        }
        EXPECT_TRUE(log.contains("Vocabulary unusable: ", "AsrModels"));
        EXPECT_EQ(rootListings(), 2);
        sandbox.hub.clearFaults();
    }
}

// A model folder as a user may have placed it by hand, damaged in one way, with the hub reachable
// or not, loaded as the application loads it: what stays on disk, and what the user is told.
TEST_F(AsrModelsDownloadTest, ADamagedFolderIsRepairedFromTheHubOrKeptWithTheRealCause) {
    struct Case {
        const char* name;
        std::function<void(const fs::path& folder)> damage;
        std::optional<std::string> cause;  // none: the folder loads as it is
    };
    const std::vector<Case> cases{
        {"one file cut short", [](const fs::path& f) { fs::resize_file(f / "Decoder.mlmodelc" / "model.pt", 10); },
         "Decoder.mlmodelc/model.pt: PytorchStreamReader failed reading zip archive"},
        {"vocabulary missing", [](const fs::path& f) { fs::remove(f / "parakeet_vocab.json"); },
         "ASR model 'parakeet_vocab.json' not found at: "},
        {"a stray file",
         [](const fs::path& f) {
             testsupport::writeFileMakingFolders(f / "notes.bak", "mine");
             testsupport::writeFileMakingFolders(f / "Encoder.mlmodelc" / "model.pt.download", "left over");
         },
         std::nullopt},
    };
    for (const auto& c : cases) {
        for (const bool reachable : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (reachable ? ", hub reachable" : ", hub unreachable"));
            HubSandbox hand;  // a sandbox of its own, with the files "placed by hand"
            for (const auto& name : AsrModels::requiredModels()) hand.addBundle(v3Id, name);
            hand.hub.addFile(v3Id, "parakeet_vocab.json", vocabulary);
            const fs::path folder = hand.modelsDirectory() / "parakeet-tdt-0.6b-v3-coreml";
            AsrModels::download(folder);
            const auto complete = testsupport::folderFiles(folder);
            c.damage(folder);
            const auto damaged = testsupport::folderFiles(folder);
            if (!reachable) hand.unplugHub();
            hand.hub.clearRequests();
            log.clear();

            std::optional<std::string> told;
            try {
                const AsrModels models = AsrModels::load(AsrModels::download(folder), std::nullopt, AsrModelVersion::v3);
                EXPECT_EQ(models.vocabulary.size(), 3u);
                EXPECT_EQ(ModelBundleFiles::runTiny(*models.decoder), (std::vector<double>{2, 4, 6, 8}));
            } catch (const std::exception& error) {
                told = error.what();
            }
            const auto now = testsupport::folderFiles(folder);
            if (!c.cause) {
                EXPECT_FALSE(told.has_value()) << *told;
                EXPECT_TRUE(now == damaged);  // left alone, stray files and all
                EXPECT_TRUE(hand.hub.requests().empty());
            } else if (reachable) {
                EXPECT_FALSE(told.has_value()) << *told;
                EXPECT_TRUE(now == complete);  // the hub's copy
                EXPECT_TRUE(log.contains(": the fresh download replaced it", "DownloadUtils"));
            } else {
                ASSERT_TRUE(told.has_value());
                EXPECT_NE(told->find(*c.cause), std::string::npos) << *told;
                EXPECT_NE(told->find("downloading a fresh copy failed: Could not connect to the server."),
                          std::string::npos) << *told;
                EXPECT_TRUE(now == damaged);  // exactly as it was
            }
            for (const auto& entry : testsupport::folderContents(hand.modelsDirectory())) {
                EXPECT_EQ(entry.find(".corrupt-"), std::string::npos) << entry;
            }
        }
    }
}

TEST_F(AsrModelsDownloadTest, ForceReplacesTheVersionFolderAndLeavesTheCallersFolderAlone) {
    const fs::path custom = sandbox.modelsDirectory() / "custom";
    testsupport::writeFileMakingFolders(custom / "mine.txt", "keep me");
    AsrModels::download(custom);
    testsupport::writeFileMakingFolders(versionFolder() / "stale.bin", "old");
    sandbox.hub.clearRequests();

    EXPECT_EQ(AsrModels::download(custom, true), custom);
    EXPECT_EQ(testsupport::readBytes(custom / "mine.txt"), "keep me");
    EXPECT_FALSE(fs::exists(versionFolder() / "stale.bin"));
    EXPECT_TRUE(AsrModels::modelsExist(custom, AsrModelVersion::v3));
    EXPECT_EQ(rootListings(), 1);
    EXPECT_FALSE(log.contains("ASR models already present at: "));
}

TEST_F(AsrModelsDownloadTest, TheDefaultFolderLivesUnderTheDataHomeAndABrokenModelIsRecoveredWhileLoading) {
    testsupport::ScopedEnvironment environment;
    environment.set("XDG_DATA_HOME", (sandbox.root() / "data").string());
    const fs::path folder = sandbox.root() / "data" / "RarivOredu" / "Models" / "parakeet-tdt-0.6b-v3-coreml";
    EXPECT_EQ(AsrModels::download(), folder);
    fs::resize_file(folder / "Decoder.mlmodelc" / "model.pt", 10);
    sandbox.hub.clearRequests();

    const AsrModels models = AsrModels::loadFromCache();
    EXPECT_EQ(ModelBundleFiles::runTiny(*models.decoder), (std::vector<double>{2, 4, 6, 8}));
    EXPECT_TRUE(log.contains("First load failed: ", "DownloadUtils"));
    EXPECT_EQ(rootListings(), 1);
}

}  // namespace
