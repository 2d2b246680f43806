#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "Platform/log/LogCapture.h"
#include "Platform/system/NSError.h"
#include "RarivOredu/vad/VadError.h"
#include "RarivOredu/vad/VadManager.h"
#include "tests/support/HubSandbox.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/vad/VadFixtureModel.h"

namespace rarivoredu {
namespace {

namespace fs = std::filesystem;
using testsupport::HubSandbox;
using testsupport::TestHub;
using testsupport::VadFixtureModel;

const std::string repoId = "ViridErevidaro/silero-vad-coreml";
const std::string modelName = "silero-vad-unified-256ms-v6.0.0.mlmodelc";

class VadModelLoadingTest : public ::testing::Test {
protected:
    void serve(const VadFixtureModel& model) {
        sandbox.addBundle(repoId, modelName, model.bundle());
        sandbox.hub.addFile(repoId, "config.json", "{}");
    }

    HubSandbox sandbox;
    platform::LogCapture log;
};

TEST_F(VadModelLoadingTest, TheModelIsFetchedOnFirstUseAndThenTakenFromTheFolder) {
    VadFixtureModel fixture({{0.9f, 0.1f}});
    serve(fixture);

    VadManager manager(VadConfig::defaultConfig(), sandbox.root());
    EXPECT_TRUE(manager.isAvailable());
    EXPECT_TRUE(fs::exists(sandbox.modelsDirectory() / "silero-vad-coreml" / modelName / "coremldata.bin"));
    EXPECT_GT(sandbox.hub.requestCount(TestHub::listingPath(repoId)), 0);
    EXPECT_TRUE(log.contains("VAD model loaded successfully", "VadManager"));
    EXPECT_TRUE(log.contains("VAD system initialized in ", "VadManager"));
    const auto results = manager.process(std::vector<float>(8192, 0.0f));
    ASSERT_EQ(results.size(), 2u);
    EXPECT_TRUE(results[0].isVoiceActive);
    EXPECT_FALSE(results[1].isVoiceActive);

    sandbox.hub.clearRequests();
    VadManager second(VadConfig::defaultConfig(), sandbox.root());
    EXPECT_TRUE(second.isAvailable());
    EXPECT_TRUE(sandbox.hub.requests().empty());
}

TEST_F(VadModelLoadingTest, WithoutAFolderTheUsersDataFolderIsUsed) {
    VadFixtureModel fixture({{0.9f}});
    serve(fixture);
    testsupport::ScopedEnvironment environment;
    environment.set("XDG_DATA_HOME", (sandbox.root() / "data").string());

    EXPECT_EQ(VadManager::defaultModelsDirectory(), sandbox.root() / "data" / "RarivOredu");
    VadManager manager;
    EXPECT_TRUE(manager.isAvailable());
    EXPECT_TRUE(fs::exists(sandbox.root() / "data" / "RarivOredu" / "Models" / "silero-vad-coreml" / modelName));

    // Loading again replaces the model with the one in the folder given.
    VadManager provided(VadConfig::defaultConfig(), fixture.model());
    provided.loadModel();
    EXPECT_TRUE(provided.isAvailable());
}

TEST_F(VadModelLoadingTest, AMissingModelIsTheLoadersError) {
    // The hub holds the repository, but not the model.
    sandbox.hub.addFile(repoId, "config.json", "{}");
    try {
        VadManager manager(VadConfig::defaultConfig(), sandbox.root());
        FAIL() << "a manager without its model";
    } catch (const VadError& error) {
        FAIL() << "the loader's error was replaced: " << error.what();
    } catch (const std::exception& error) {
        EXPECT_FALSE(std::string(error.what()).empty());
    }
}

TEST_F(VadModelLoadingTest, AModelOfAnotherInputShapeFailsItsFirstChunkClearly) {
    VadFixtureModel fixture({{0.9f}, false, 4096});
    serve(fixture);
    VadManager manager(VadConfig::defaultConfig(), sandbox.root());
    try {
        manager.process(std::vector<float>(4096, 0.0f));
        FAIL() << "a wrongly shaped model ran";
    } catch (const VadError& error) {
        EXPECT_EQ(error.kind(), VadError::Kind::modelProcessingFailed);
        EXPECT_NE(error.message().find("audio_input"), std::string::npos) << error.what();
    }
    EXPECT_TRUE(fixture.runs().empty());
}

}  // namespace
}  // namespace rarivoredu
