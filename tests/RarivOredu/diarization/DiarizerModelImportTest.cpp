#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>

#include "RarivOredu/checkpoint/CheckpointError.h"
#include "RarivOredu/diarization/CoreMLDiarizer.h"
#include "RarivOredu/diarization/DiarizerManager.h"
#include "RarivOredu/diarization/DiarizerModelImport.h"
#include "RarivOredu/diarization/pyannote/PyannoteSegmentationNetwork.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TemporaryDirectory.h"
#include "tests/support/diarization/NetworkFixtures.h"

namespace {

namespace fs = std::filesystem;
using rarivoredu::CheckpointError;
using rarivoredu::CoreMLDiarizer;
using rarivoredu::DiarizerManager;
using rarivoredu::DiarizerModelImport;
using testsupport::diarizationFixture;

const fs::path segmentationCheckpoint = diarizationFixture("segmentation.bin");
const fs::path embeddingCheckpoint = diarizationFixture("embedding.bin");

std::vector<std::string> entries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(DiarizerModelImportTest, BothCheckpointsBecomeTheRepositoryFolderWhole) {
    testsupport::TemporaryDirectory dir;
    const fs::path repo = dir.path() / "speaker-diarization-coreml";
    fs::create_directories(repo / "old.mlmodelc");
    DiarizerModelImport::importCheckpoints(segmentationCheckpoint, embeddingCheckpoint, repo);
    EXPECT_EQ(entries(repo), (std::vector<std::string>{"pyannote_segmentation.mlmodelc", "wespeaker_v2.mlmodelc"}));
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"speaker-diarization-coreml"});
    const auto models = CoreMLDiarizer::loadLocalModels(repo / "pyannote_segmentation.mlmodelc",
                                                        repo / "wespeaker_v2.mlmodelc");
    EXPECT_NE(models.segmentationModel->modelDescription().output("segments"), nullptr);
    EXPECT_NE(models.embeddingModel->modelDescription().output("embedding"), nullptr);
}

// A damaged or wrong checkpoint fails the import with the reader's error, and the folder the
// user had stays as it was, with no half-written folder beside it.
TEST(DiarizerModelImportTest, ACutOrForeignCheckpointLeavesTheFolderAsItWas) {
    testsupport::TemporaryDirectory dir;
    const std::string whole = testsupport::readBytes(segmentationCheckpoint);
    const fs::path cut = testsupport::writeFile(dir.path() / "cut.bin", whole.substr(0, whole.size() / 2));
    const fs::path text = testsupport::writeFile(dir.path() / "text.bin", "not a checkpoint\n");
    struct Case {
        const char* what;
        fs::path segmentation;
        fs::path embedding;
    };
    const std::vector<Case> cases = {
        {"segmentation cut in half", cut, embeddingCheckpoint},
        {"embedding is a text file", segmentationCheckpoint, text},
        {"the two swapped", embeddingCheckpoint, segmentationCheckpoint},
        {"the embedding missing", segmentationCheckpoint, dir.path() / "absent.bin"},
    };
    const fs::path models = dir.path() / "models";
    const fs::path repo = models / "speaker-diarization-coreml";
    fs::create_directories(repo / "pyannote_segmentation.mlmodelc");
    testsupport::writeFile(repo / "pyannote_segmentation.mlmodelc" / "coremldata.bin", "the user's model");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_THROW(DiarizerModelImport::importCheckpoints(c.segmentation, c.embedding, repo), CheckpointError);
        EXPECT_EQ(entries(models), std::vector<std::string>{"speaker-diarization-coreml"});
        EXPECT_EQ(entries(repo), std::vector<std::string>{"pyannote_segmentation.mlmodelc"});
        EXPECT_EQ(testsupport::readBytes(repo / "pyannote_segmentation.mlmodelc" / "coremldata.bin"), "the user's model");
    }
}

// The whole pipeline on the imported random-weight networks over two voices taking turns. With
// random weights the speakers it finds mean nothing: this shows that the real networks run
// through every stage without errors, and reports how long each stage took. The segmentation's
// classifier is biased against silence and overlap, so that its random answers name single
// speakers and the embedding network runs too.
TEST(DiarizerModelImportTest, ThePipelineRunsOnTheImportedNetworksOverTwoVoices) {
    testsupport::TemporaryDirectory dir;
    const fs::path repo = dir.path() / "speaker-diarization-coreml";
    DiarizerModelImport::importCheckpoints(segmentationCheckpoint, embeddingCheckpoint, repo);
    auto weights = testsupport::stateDict(segmentationCheckpoint);
    const auto bias = weights.at("classifier.bias");
    for (const int silentOrOverlap : {0, 4, 5, 6}) bias->setValue(silentOrOverlap, bias->valueAtOffset(silentOrOverlap) - 10);
    rarivoredu::PyannoteSegmentationNetwork(rarivoredu::StateDict(weights))
        .writeBundle(dir.path() / "singles.mlmodelc");

    rarivoredu::DiarizerConfig config = rarivoredu::DiarizerConfig::defaultConfig();
    config.debugMode = true;
    DiarizerManager manager(config);
    manager.initialize(CoreMLDiarizer::loadLocalModels(dir.path() / "singles.mlmodelc", repo / "wespeaker_v2.mlmodelc"));
    const auto audio = testsupport::readWavSamples(diarizationFixture("conversation.wav"));
    ASSERT_EQ(audio.size(), 480000u);
    const auto result = manager.diarize(audio);
    ASSERT_TRUE(result.timings.has_value());
    const auto& t = *result.timings;
    EXPECT_GT(t.segmentationSeconds, 0.0);
    EXPECT_GT(t.embeddingExtractionSeconds, 0.0);
    EXPECT_FALSE(result.segments.empty());
    for (const auto& segment : result.segments) {
        EXPECT_GE(segment.startTimeSeconds, 0.0f);
        EXPECT_LE(segment.endTimeSeconds, 30.0f + 1e-3f);
        EXPECT_EQ(segment.embedding.size(), 256u);
    }
    std::printf("30 s in 3 chunks: segmentation %.3f s, embedding %.3f s, clustering %.3f s, post-processing "
                "%.3f s; %zu segments of %zu speakers\n",
                t.segmentationSeconds, t.embeddingExtractionSeconds, t.speakerClusteringSeconds,
                t.postProcessingSeconds, result.segments.size(), manager.speakerManager().speakerCount());
    RecordProperty("segmentation_seconds", std::to_string(t.segmentationSeconds));
    RecordProperty("embedding_seconds", std::to_string(t.embeddingExtractionSeconds));
}

}  // namespace
