#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "Platform/log/LogCapture.h"
#include "Platform/system/NSError.h"
#include "RarivOredu/diarization/CoreMLDiarizer.h"
#include "RarivOredu/diarization/DiarizerManager.h"
#include "RarivOredu/shared/ModelFolderError.h"
#include "tests/support/FolderContents.h"
#include "tests/support/HubSandbox.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/diarization/DiarizationFixtureModels.h"

namespace rarivoredu {
namespace {

namespace fs = std::filesystem;
using platform::MLComputeUnits;
using testsupport::DiarizationFixtureModels;
using testsupport::DiarizationFixtureScript;
using testsupport::HubSandbox;
using testsupport::TestHub;

const std::string repoId = "ViridErevidaro/speaker-diarization-coreml";

DiarizationFixtureScript oneVoice() {
    DiarizationFixtureScript script;
    script.voices = {std::vector<float>(256, 1.0f)};
    script.turns = {{1.0, 4.0, 1}};
    return script;
}

class CoreMLDiarizerTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const auto& [name, files] : fixture.bundles()) sandbox.addBundle(repoId, name, files);
        sandbox.hub.addFile(repoId, "config.json", "{}");
    }

    fs::path repoFolder() const { return sandbox.modelsDirectory() / "speaker-diarization-coreml"; }
    // The folders in the models directory (a folder set aside would show here).
    std::set<std::string> modelFolders() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(sandbox.modelsDirectory()))
            if (entry.is_directory()) names.insert(entry.path().filename().string());
        return names;
    }

    // The models answer as the fixture does.
    static void expectWorking(const DiarizerModels& models) {
        ASSERT_TRUE(models.segmentationModel && models.embeddingModel);
        DiarizerManager manager;
        manager.initialize(models);
        const auto result = manager.diarize(oneVoice().audio(5));
        ASSERT_EQ(result.segments.size(), 1u);
        EXPECT_EQ(result.segments[0].speakerId, "1");
    }

    DiarizationFixtureModels fixture{oneVoice()};
    HubSandbox sandbox;
    platform::LogCapture log;
};

TEST_F(CoreMLDiarizerTest, FetchesOnceAndMeasuresTheFetch) {
    const auto fetched = CoreMLDiarizer::downloadModels(repoFolder());
    EXPECT_TRUE(log.contains("Checking for diarizer models...", "DiarizerModels"));
    EXPECT_TRUE(fs::exists(repoFolder() / "pyannote_segmentation.mlmodelc" / "coremldata.bin"));
    EXPECT_TRUE(fs::exists(repoFolder() / "wespeaker_v2.mlmodelc" / "coremldata.bin"));
    EXPECT_GT(fetched.downloadDuration, 0);
    EXPECT_GT(fetched.compilationDuration, 0);
    expectWorking(fetched);

    sandbox.hub.clearRequests();
    const auto present = CoreMLDiarizer::downloadIfNeeded(repoFolder());
    EXPECT_TRUE(sandbox.hub.requests().empty());
    EXPECT_EQ(present.downloadDuration, 0);
    EXPECT_GT(present.compilationDuration, 0);
    expectWorking(present);

    // A model folder gone missing is fetched again.
    fs::remove_all(repoFolder() / "wespeaker_v2.mlmodelc");
    const auto refetched = CoreMLDiarizer::download(repoFolder());
    EXPECT_GT(refetched.downloadDuration, 0);
    expectWorking(refetched);
}

TEST_F(CoreMLDiarizerTest, AFailedFetchIsTriedOnceMoreOnAFreshCopy) {
    sandbox.hub.setFileFault(repoId, "wespeaker_v2.mlmodelc/coremldata.bin", TestHub::Fault::withStatus(503), 1);
    const auto models = CoreMLDiarizer::downloadModels(repoFolder());
    EXPECT_GT(models.downloadDuration, 0);
    EXPECT_TRUE(log.contains("Download failed, fetching a fresh copy: ", "DiarizerModels"));
    expectWorking(models);
    EXPECT_EQ(modelFolders(), std::set<std::string>{"speaker-diarization-coreml"});  // nothing set aside stays

    fs::remove_all(repoFolder());
    sandbox.hub.setFileFault(repoId, "wespeaker_v2.mlmodelc/coremldata.bin", TestHub::Fault::withStatus(503));
    EXPECT_THROW(CoreMLDiarizer::downloadModels(repoFolder()), ModelFolderError);
}

// Models placed by hand, one of them still missing. When fetching it fails (the hub's file is not
// the one its listing promises, or the hub cannot be reached), every file the user placed stays as
// it was and the error names the failure; with the hub there, the folder is completed in place.
TEST_F(CoreMLDiarizerTest, AFolderPlacedByHandIsNeverLostToAFailedFetch) {
    const std::string weights = "wespeaker_v2.mlmodelc/weights/weight.bin";
    sandbox.hub.addFile(repoId, weights, std::string(4096, 'w'), true);
    struct Case {
        const char* hub;
        std::function<void()> prepare;
        const char* cause;  // named by the error; empty: the folder is completed
        bool untouched;     // not a byte added either (nothing could be fetched)
    };
    const Case cases[] = {
        {"serves a file unlike its listing",
         [&] { sandbox.hub.setFileFault(repoId, weights, TestHub::Fault::wrongBytes()); },
         "„wespeaker_v2.mlmodelc/weights/weight.bin“ kam verfälscht an", false},
        {"reachable", [&] { sandbox.hub.clearFaults(); }, "", false},
        {"unreachable", [&] { sandbox.unplugHub(); }, "Could not connect to the server.", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hub);
        fs::remove_all(repoFolder());
        testsupport::ModelBundleFiles::write(fixture.bundles().at("pyannote_segmentation.mlmodelc"),
                                             (repoFolder() / "pyannote_segmentation.mlmodelc").string());
        testsupport::writeFileMakingFolders(repoFolder() / "notes.txt", "meine Notizen");
        const auto placed = testsupport::folderFiles(repoFolder());
        c.prepare();

        if (std::string(c.cause).empty()) {
            expectWorking(CoreMLDiarizer::downloadModels(repoFolder()));
            EXPECT_EQ(testsupport::folderFiles(repoFolder()).count(weights), 1u);
        } else {
            try {
                CoreMLDiarizer::downloadModels(repoFolder());
                ADD_FAILURE() << "no error";
            } catch (const ModelFolderError& error) {
                EXPECT_NE(std::string(error.what()).find(c.cause), std::string::npos) << error.what();
            }
        }
        const auto now = testsupport::folderFiles(repoFolder());
        for (const auto& [path, bytes] : placed) {
            ASSERT_EQ(now.count(path), 1u) << path;
            EXPECT_EQ(now.at(path), bytes) << path;
        }
        if (c.untouched) {
            EXPECT_EQ(now, placed);
        }
        EXPECT_EQ(modelFolders(), std::set<std::string>{"speaker-diarization-coreml"});
    }
}

TEST_F(CoreMLDiarizerTest, ARepositoryWithoutTheEmbeddingModelFails) {
    sandbox.hub.removeFile(repoId, "wespeaker_v2.mlmodelc/coremldata.bin");
    EXPECT_THROW(CoreMLDiarizer::downloadModels(repoFolder()), platform::NSError);
}

TEST_F(CoreMLDiarizerTest, DefaultsFollowTheEnvironment) {
    testsupport::ScopedEnvironment environment;
    environment.set("XDG_DATA_HOME", sandbox.root().string());
    EXPECT_EQ(CoreMLDiarizer::defaultModelsDirectory(),
              sandbox.root() / "RarivOredu" / "Models" / "speaker-diarization-coreml");
    EXPECT_EQ(CoreMLDiarizer::requiredModelNames(),
              (std::set<std::string>{"pyannote_segmentation.mlmodelc", "wespeaker_v2.mlmodelc"}));

    environment.unset("CI");
    EXPECT_EQ(CoreMLDiarizer::defaultConfiguration().computeUnits, MLComputeUnits::all);
    EXPECT_TRUE(CoreMLDiarizer::defaultConfiguration().allowLowPrecisionAccumulationOnGPU);
    const auto models = CoreMLDiarizer::download();
    EXPECT_TRUE(fs::exists(CoreMLDiarizer::defaultModelsDirectory() / "wespeaker_v2.mlmodelc"));
    EXPECT_EQ(models.segmentationModel->configuration().computeUnits, MLComputeUnits::all);

    environment.set("CI", "");
    EXPECT_EQ(CoreMLDiarizer::defaultConfiguration().computeUnits, MLComputeUnits::cpuAndNeuralEngine);
    EXPECT_TRUE(CoreMLDiarizer::defaultConfiguration().allowLowPrecisionAccumulationOnGPU);
    const auto onCI = CoreMLDiarizer::downloadModels();
    EXPECT_EQ(onCI.embeddingModel->configuration().computeUnits, MLComputeUnits::cpuAndNeuralEngine);

    platform::MLModelConfiguration cpu;
    cpu.computeUnits = MLComputeUnits::cpuOnly;
    EXPECT_EQ(CoreMLDiarizer::downloadModels(std::nullopt, cpu).embeddingModel->configuration().computeUnits,
              MLComputeUnits::cpuOnly);
}

TEST_F(CoreMLDiarizerTest, LocalModels) {
    const fs::path folder = sandbox.root() / "mine";
    for (const auto& [name, files] : fixture.bundles()) testsupport::ModelBundleFiles::write(files, (folder / name).string());
    const auto models = CoreMLDiarizer::loadLocalModels(folder / "pyannote_segmentation.mlmodelc",
                                                        folder / "wespeaker_v2.mlmodelc");
    EXPECT_TRUE(log.contains("Loading predownloaded models", "DiarizerModels"));
    EXPECT_EQ(models.downloadDuration, 0);
    EXPECT_GT(models.compilationDuration, 0);
    expectWorking(models);
    EXPECT_THROW(CoreMLDiarizer::loadLocalModels(folder / "missing.mlmodelc", folder / "wespeaker_v2.mlmodelc"),
                 platform::NSError);
}

}  // namespace
}  // namespace rarivoredu
