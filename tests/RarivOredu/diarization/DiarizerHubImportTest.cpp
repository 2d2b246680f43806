#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "Platform/log/LogCapture.h"
#include "RarivOredu/diarization/CoreMLDiarizer.h"
#include "RarivOredu/diarization/DiarizerModelImport.h"
#include "RarivOredu/hub/RepoMirror.h"
#include "RarivOredu/shared/Repo.h"
#include "tests/support/FileBytes.h"
#include "tests/support/HubSandbox.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/diarization/NetworkFixtures.h"

namespace {

namespace fs = std::filesystem;
using rarivoredu::CoreMLDiarizer;
using rarivoredu::DiarizerModelImport;
using rarivoredu::RepoMirror;
using rarivoredu::Repo;
using testsupport::diarizationFixture;
using testsupport::HubSandbox;
using testsupport::TestHub;

const std::string publicSegmentation = "pyannote-community/speaker-diarization-community-1";
const std::string officialSegmentation = "pyannote/segmentation-3.0";
const std::string embeddingRepo = "pyannote/wespeaker-voxceleb-resnet34-LM";
const std::string token = "hf_doNotLeakThisTokenAnywhere42";

const std::string& segmentationBytes() {
    static const std::string bytes = testsupport::readBytes(diarizationFixture("segmentation.bin"));
    return bytes;
}
const std::string& embeddingBytes() {
    static const std::string bytes = testsupport::readBytes(diarizationFixture("embedding.bin"));
    return bytes;
}

// A hub holding the upstream checkpoints where the import looks for them, as large files (with
// the size and SHA-256 in the listing).
void addUpstream(TestHub& hub, bool official = false) {
    if (official) hub.addFile(officialSegmentation, "pytorch_model.bin", segmentationBytes(), true);
    hub.addFile(publicSegmentation, "segmentation/pytorch_model.bin", segmentationBytes(), true);
    hub.addFile(embeddingRepo, "pytorch_model.bin", embeddingBytes(), true);
}

std::vector<std::string> entries(const fs::path& folder) {
    std::vector<std::string> names;
    if (!fs::exists(folder)) return names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// What is left beside the repository folder, the lock file aside.
std::vector<std::string> besideTheRepository(const fs::path& models) {
    auto names = entries(models);
    std::erase_if(names, [](const std::string& n) { return n.ends_with(".lock"); });
    return names;
}

TEST(DiarizerHubImportTest, BothPublicCheckpointsAreFetchedAndImportedOnFirstLoad) {
    HubSandbox sandbox;
    testsupport::ScopedEnvironment environment;
    environment.unset("HF_TOKEN");
    addUpstream(sandbox.hub);
    const fs::path repo = sandbox.modelsDirectory() / "speaker-diarization-coreml";
    const auto models = CoreMLDiarizer::downloadModels(repo);
    EXPECT_NE(models.segmentationModel->modelDescription().output("segments"), nullptr);
    EXPECT_NE(models.embeddingModel->modelDescription().output("embedding"), nullptr);
    EXPECT_EQ(entries(repo), (std::vector<std::string>{"pyannote_segmentation.mlmodelc", "wespeaker_v2.mlmodelc"}));
    EXPECT_EQ(besideTheRepository(sandbox.modelsDirectory()), std::vector<std::string>{"speaker-diarization-coreml"});
    for (const auto& authorization : sandbox.hub.authorizations()) EXPECT_EQ(authorization, "");
    EXPECT_EQ(sandbox.hub.requestCount("/speaker-diarization-coreml"), 0);  // our bundles were not needed
}

// A transfer that is not the file the listing promised, or a file that is not a checkpoint,
// fails the download; nothing is left in the models folder.
TEST(DiarizerHubImportTest, AWrongDigestACutFileOrAForeignFileLeaveNothingBehind) {
    struct Case {
        const char* what;
        std::string repoId;
        std::string path;
        TestHub::Fault fault;
        std::string replacement;  // served instead of the checkpoint, with its own listing
    };
    const std::vector<Case> cases = {
        {"embedding bytes changed (SHA-256 mismatch)", embeddingRepo, "pytorch_model.bin", TestHub::Fault::wrongBytes(), ""},
        {"segmentation cut short", publicSegmentation, "segmentation/pytorch_model.bin", TestHub::Fault::dropConnection(),
         ""},
        {"segmentation is a web page", publicSegmentation, "segmentation/pytorch_model.bin", TestHub::Fault{}, "<html>"},
    };
    testsupport::ScopedEnvironment environment;
    environment.unset("HF_TOKEN");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        HubSandbox sandbox;
        addUpstream(sandbox.hub);
        if (!c.replacement.empty()) sandbox.hub.addFile(c.repoId, c.path, c.replacement, true);
        else sandbox.hub.setFileFault(c.repoId, c.path, c.fault);
        EXPECT_ANY_THROW(
            RepoMirror::downloadRepo(Repo::diarizer, sandbox.modelsDirectory(), &DiarizerModelImport::importFromHub));
        EXPECT_EQ(besideTheRepository(sandbox.modelsDirectory()), std::vector<std::string>{});
    }
}

// With HF_TOKEN the segmentation comes from the official repository, which alone is sent the
// token; the token appears in no log line and no error text, also when the transfer fails.
TEST(DiarizerHubImportTest, TheTokenGoesToTheGatedRepositoryOnlyAndIsNeverWrittenDown) {
    testsupport::ScopedEnvironment environment;
    environment.set("HF_TOKEN", token);
    platform::LogCapture log;
    {
        HubSandbox sandbox;
        addUpstream(sandbox.hub, true);
        CoreMLDiarizer::downloadModels(sandbox.modelsDirectory() / "speaker-diarization-coreml");
        const auto requests = sandbox.hub.requests();
        const auto authorizations = sandbox.hub.authorizations();
        ASSERT_EQ(requests.size(), authorizations.size());
        int authorised = 0;
        for (std::size_t i = 0; i < requests.size(); ++i) {
            const bool gated = requests[i].find(officialSegmentation) != std::string::npos;
            EXPECT_EQ(authorizations[i], gated ? "Bearer " + token : "") << requests[i];
            authorised += gated ? 1 : 0;
        }
        EXPECT_EQ(authorised, 2);  // the listing and the file
        EXPECT_EQ(sandbox.hub.requestCount(publicSegmentation), 0);
    }
    {
        HubSandbox sandbox;
        addUpstream(sandbox.hub, true);
        sandbox.hub.setFileFault(officialSegmentation, "pytorch_model.bin", TestHub::Fault::wrongBytes());
        try {
            RepoMirror::downloadRepo(Repo::diarizer, sandbox.modelsDirectory(), &DiarizerModelImport::importFromHub);
            ADD_FAILURE() << "a corrupted transfer was accepted";
        } catch (const std::exception& error) {
            EXPECT_EQ(std::string(error.what()).find(token), std::string::npos) << error.what();
        }
    }
    {
        // A token the gated repository refuses: the public copy serves.
        HubSandbox sandbox;
        addUpstream(sandbox.hub, true);
        sandbox.hub.setListingFault(officialSegmentation, "", TestHub::Fault::withStatus(403));
        CoreMLDiarizer::downloadModels(sandbox.modelsDirectory() / "speaker-diarization-coreml");
        EXPECT_GT(sandbox.hub.requestCount(publicSegmentation), 0);
        EXPECT_TRUE(log.contains("refused the token"));
    }
    for (const auto& entry : log.entries()) EXPECT_EQ(entry.message.find(token), std::string::npos) << entry.message;
}

TEST(DiarizerHubImportTest, CheckpointsTheUserHasAreImportedWithoutTheHub) {
    HubSandbox sandbox;
    // Unplugged: any request to the hub would fail the load.
    sandbox.unplugHub();
    DiarizerModelImport::importIntoModelsDirectory(diarizationFixture("segmentation.bin"),
                                                   diarizationFixture("embedding.bin"), sandbox.modelsDirectory());
    const auto models = CoreMLDiarizer::downloadModels(sandbox.modelsDirectory() / "speaker-diarization-coreml");
    EXPECT_NE(models.embeddingModel->modelDescription().output("embedding"), nullptr);
}

}  // namespace
