#include "RarivOredu/asr/setup/ParakeetModelSetup.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <functional>
#include <random>
#include <regex>
#include <set>
#include <thread>

#include "Platform/log/LogCapture.h"
#include "Platform/net/URLError.h"
#include "Platform/system/CancellationToken.h"
#include "Platform/system/CocoaError.h"
#include "Platform/system/ErrorDescription.h"
#include "RarivOredu/asr/AsrManager.h"
#include "RarivOredu/asr/AsrModels.h"
#include "RarivOredu/asr/AsrModelsError.h"
#include "RarivOredu/asr/TdtModelShape.h"
#include "RarivOredu/checkpoint/CheckpointError.h"
#include "RarivOredu/hub/ModelFolderLoader.h"
#include "RarivOredu/shared/ModelLoadProgress.h"
#include "RarivOredu/shared/ModelSourceError.h"
#include "RarivOredu/shared/ModelStorageError.h"
#include "tests/support/FileBytes.h"
#include "tests/support/FolderContents.h"
#include "tests/support/HubSandbox.h"
#include "tests/support/TemporaryDirectory.h"

namespace {

namespace fs = std::filesystem;
using platform::NSError;
using rarivoredu::AsrModels;
using rarivoredu::AsrModelVersion;
using rarivoredu::ModelLoadProgress;
using rarivoredu::ModelStorageError;
using rarivoredu::ParakeetModelSetup;
using testsupport::HubSandbox;
using testsupport::ModelBundleFiles;
using testsupport::TestHub;

const std::string upstreamId = "nvidia/parakeet-tdt-0.6b-v3";
const std::string nemoName = "parakeet-tdt-0.6b-v3.nemo";
const std::string ourId = "ViridErevidaro/parakeet-tdt-0.6b-v3-coreml";
const std::string vocabulary = R"({"0": "▁hallo", "1": "▁welt"})";

std::string checkpointBytes() {
    std::mt19937 random(28);
    std::string bytes(300'000, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    return bytes;
}

// Stands in for the checkpoint conversion: checks it was given the whole download, reports the
// converter's steps and writes a set of tiny bundles.
class FakeConversion {
public:
    AsrModelVersion operator()(const fs::path& nemo, const fs::path& folder,
                               const rarivoredu::ParakeetImporter::Progress& progress) {
        ++calls;
        EXPECT_EQ(testsupport::readBytes(nemo), checkpointBytes());
        if (refuse) refuse();
        for (const char* step : {"reading", "encoder", "vocabulary"}) {
            if (progress) progress(step, step[0] == 'v' ? 1.0 : 0.5);
            if (cancelDuring) {
                cancelDuring->cancel();
                platform::CancellationToken::checkCancellation();
            }
        }
        for (const auto& name : AsrModels::requiredModels()) ModelBundleFiles::write(ModelBundleFiles::tiny(), (folder / name).string());
        std::ofstream(folder / "parakeet_vocab.json") << vocabulary;
        return version;
    }

    int calls = 0;
    AsrModelVersion version = AsrModelVersion::v3;
    std::function<void()> refuse;  // throws what the importer says of a checkpoint it cannot use
    std::optional<platform::CancellationToken> cancelDuring;
};

class ParakeetModelSetupTest : public ::testing::Test {
protected:
    void SetUp() override {
        sandbox.hub.addFile(upstreamId, nemoName, checkpointBytes(), true);
        sandbox.hub.addFile(upstreamId, "README.md", "# Parakeet");
        // Bundles of ours in the old layout: served only where the checkpoint is not.
        for (const auto& name : AsrModels::requiredModels()) sandbox.addBundle(ourId, name);
        sandbox.hub.addFile(ourId, "parakeet_vocab.json", vocabulary);
    }

    ParakeetModelSetup::Options options() {
        ParakeetModelSetup::Options o;
        o.availableBytes = [this](const fs::path&) { return freeBytes.load(); };
        o.importNemo = [this](const fs::path& nemo, const fs::path& folder,
                              const rarivoredu::ParakeetImporter::Progress& progress) {
            return conversion(nemo, folder, progress);
        };
        o.requiredSpace = [](const fs::path& nemo) { return fs::file_size(nemo); };
        return o;
    }

    fs::path versionFolder() const { return sandbox.modelsDirectory() / "parakeet-tdt-0.6b-v3-coreml"; }
    fs::path download() const { return ParakeetModelSetup::downloadsFolder(sandbox.modelsDirectory()) / nemoName; }
    fs::path partial() const { return fs::path(download().string() + ".partial"); }
    std::string fileTarget() const { return TestHub::filePath(upstreamId, nemoName); }

    // The first start of the app: the version folder is fetched, then loaded.
    AsrModels firstStart(std::vector<ModelLoadProgress>* reports = nullptr) {
        ModelLoadProgress::Scope scope([reports](const ModelLoadProgress& p) {
            if (reports) reports->push_back(p);
        });
        const auto importer = ParakeetModelSetup::hubImporter(AsrModelVersion::v3, options());
        const fs::path folder = AsrModels::download(versionFolder(), false, AsrModelVersion::v3, importer);
        return AsrModels::load(folder, std::nullopt, AsrModelVersion::v3, importer);
    }

    HubSandbox sandbox;
    FakeConversion conversion;
    std::atomic<std::uint64_t> freeBytes{std::uint64_t(1) << 40};
    platform::LogCapture log;
};

TEST_F(ParakeetModelSetupTest, AFirstStartFetchesTheCheckpointConvertsItAndRemovesTheDownload) {
    std::vector<ModelLoadProgress> reports;
    const AsrModels models = firstStart(&reports);
    ASSERT_TRUE(models.encoder);
    EXPECT_EQ(ModelBundleFiles::runTiny(*models.encoder), (std::vector<double>{2, 4, 6, 8}));
    EXPECT_EQ(models.vocabulary.at(1), "▁welt");
    EXPECT_EQ(conversion.calls, 1);
    EXPECT_FALSE(fs::exists(download()));
    EXPECT_FALSE(fs::exists(ParakeetModelSetup::downloadsFolder(sandbox.modelsDirectory())));
    // Our own repository was never asked for.
    EXPECT_EQ(sandbox.hub.requestCount(ourId), 0);

    // Progress in order: the download up to its whole size, then the conversion's steps.
    ASSERT_FALSE(reports.empty());
    std::size_t firstImport = reports.size();
    for (std::size_t i = 0; i < reports.size(); ++i) {
        if (reports[i].step == ModelLoadProgress::Step::import && firstImport == reports.size()) firstImport = i;
        if (i >= firstImport) {
            EXPECT_EQ(reports[i].step, ModelLoadProgress::Step::import) << i;
        } else if (i > 0) {
            EXPECT_GE(reports[i].fraction, reports[i - 1].fraction) << i;
        }
    }
    ASSERT_GT(firstImport, 0u);
    ASSERT_LT(firstImport, reports.size());
    EXPECT_DOUBLE_EQ(reports[firstImport - 1].fraction, 1.0);
    EXPECT_EQ(reports[firstImport - 1].bytesDone, checkpointBytes().size());
    EXPECT_EQ(reports[firstImport - 1].bytesTotal, checkpointBytes().size());
    std::vector<std::string> steps;
    for (std::size_t i = firstImport; i < reports.size(); ++i) steps.push_back(reports[i].detail);
    EXPECT_EQ(steps, (std::vector<std::string>{"reading", "encoder", "vocabulary"}));
}

TEST_F(ParakeetModelSetupTest, ADownloadThatIsNotTheListedFileIsRefusedAndNothingIsInstalled) {
    sandbox.hub.setFileFault(upstreamId, nemoName, TestHub::Fault::wrongBytes());
    EXPECT_THROW(firstStart(), rarivoredu::ModelSourceError);
    EXPECT_EQ(conversion.calls, 0);
    EXPECT_FALSE(fs::exists(versionFolder()));
    // A partial file of the wrong digest cannot be continued: it is gone too.
    EXPECT_FALSE(fs::exists(partial()));
    EXPECT_FALSE(fs::exists(download()));
}

// What trying again cannot mend ends the start after one transfer, with a German text that says
// what to do instead; the digests are in the log only.
TEST_F(ParakeetModelSetupTest, WhatNoRetryCanMendIsSaidAfterOneTransfer) {
    const std::regex digest("[0-9a-f]{64}");
    struct Case {
        const char* name;
        std::function<void()> arrange;
        int transfers;    // of the checkpoint, over two starts
        int conversions;  // over two starts
        std::vector<std::string> told;  // parts of the text the user reads
    };
    const Case cases[] = {
        {"a hub that serves a wrong digest",
         [this] { sandbox.hub.setFileFault(upstreamId, nemoName, TestHub::Fault::wrongBytes()); },
         2, 0, {nemoName, "kam verfälscht an", "anderes Netzwerk", "parloquin --import-model"}},
        {"a checkpoint the importer refuses",
         [this] {
             conversion.refuse = [] {
                 throw rarivoredu::CheckpointError::unsupported("encoder.pre_encode.conv.0.weight holds int8 values");
             };
         },
         1, 2, {nemoName, "lässt sich nicht verwenden", "holds int8 values", "parloquin --import-model"}},
        {"a disk too small", [this] { freeBytes = 1000; }, 0, 0,
         {"Not enough free space"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sandbox.hub.clearRequests();
        sandbox.hub.clearFaults();
        conversion.calls = 0;
        conversion.refuse = nullptr;
        freeBytes = std::uint64_t(1) << 40;
        c.arrange();
        log.clear();
        for (int start = 0; start < 2; ++start) {  // the same on every start
            std::exception_ptr error;
            try {
                firstStart();
                ADD_FAILURE() << "loaded";
            } catch (...) {
                error = std::current_exception();
            }
            EXPECT_TRUE(rarivoredu::ModelSourceError::isPermanent(error));
            const std::string text = platform::errorDescription(error);
            for (const auto& part : c.told) EXPECT_NE(text.find(part), std::string::npos) << part << " in " << text;
            EXPECT_FALSE(std::regex_search(text, digest)) << text;
        }
        EXPECT_EQ(sandbox.hub.requestCount(fileTarget()), c.transfers);
        EXPECT_EQ(conversion.calls, c.conversions);
        EXPECT_FALSE(log.contains("once more")) << "tried again";
        EXPECT_FALSE(fs::exists(versionFolder()));
        if (c.transfers > 0 && c.conversions == 0) {
            EXPECT_TRUE(log.contains("⚠️ Downloaded file SHA-256 mismatch for " + nemoName + ": got "));
        }
    }
}

TEST_F(ParakeetModelSetupTest, AQuitDuringTheDownloadKeepsWhatCameAndTheNextStartFetchesOnlyTheRest) {
    sandbox.hub.setFileFault(upstreamId, nemoName, TestHub::Fault::stall(), 1);
    platform::CancellationToken quit;
    std::thread quitter([&] {
        sandbox.hub.waitForStalls(1);
        quit.cancel();
    });
    {
        const platform::CancellationToken::Scope scope(quit);
        try {
            firstStart();
            ADD_FAILURE() << "the cancelled start loaded models";
        } catch (const NSError& error) {
            EXPECT_EQ(error.code(), platform::URLError::cancelled) << error.what();
        }
    }
    quitter.join();
    EXPECT_FALSE(fs::exists(versionFolder()));
    const std::size_t half = checkpointBytes().size() / 2;
    ASSERT_TRUE(fs::exists(partial()));
    EXPECT_EQ(fs::file_size(partial()), half);

    std::vector<ModelLoadProgress> reports;
    const AsrModels models = firstStart(&reports);
    EXPECT_TRUE(models.joint);
    EXPECT_EQ(sandbox.hub.ranges(fileTarget()), (std::vector<std::string>{"", "bytes=" + std::to_string(half) + "-"}));
    EXPECT_EQ(conversion.calls, 1);
    ASSERT_FALSE(reports.empty());
    EXPECT_GE(reports.front().fraction, 0.5);  // the second start begins where the first stopped
    EXPECT_FALSE(fs::exists(partial()));
}

TEST_F(ParakeetModelSetupTest, AQuitDuringTheConversionKeepsTheDownloadForTheNextStart) {
    conversion.cancelDuring.emplace();
    {
        const platform::CancellationToken::Scope scope(*conversion.cancelDuring);
        EXPECT_THROW(firstStart(), NSError);
    }
    EXPECT_FALSE(fs::exists(versionFolder()));
    EXPECT_EQ(testsupport::readBytes(download()), checkpointBytes());

    conversion.cancelDuring.reset();
    EXPECT_TRUE(firstStart().decoder);
    EXPECT_EQ(sandbox.hub.requestCount(fileTarget()), 1);  // not fetched again
    EXPECT_FALSE(fs::exists(download()));
}

TEST_F(ParakeetModelSetupTest, TooLittleFreeSpaceIsSaidBeforeAnythingIsFetched) {
    const std::uint64_t size = checkpointBytes().size();
    const std::uint64_t needed = size + ParakeetModelSetup::estimatedFolderBytes(size);
    freeBytes = needed - 1;
    try {
        firstStart();
        FAIL() << "the download started on a disk that cannot hold it";
    } catch (const ModelStorageError& error) {
        EXPECT_EQ(error.kind(), ModelStorageError::Kind::insufficientSpace);
        EXPECT_EQ(error.neededBytes(), needed);
        EXPECT_EQ(error.availableBytes(), needed - 1);
        EXPECT_EQ(error.folder(), sandbox.modelsDirectory());
    }
    EXPECT_EQ(sandbox.hub.requestCount(fileTarget()), 0);
    EXPECT_FALSE(fs::exists(versionFolder()));

    // Just enough: it goes ahead.
    freeBytes = needed;
    EXPECT_TRUE(firstStart().preprocessor);
}

TEST_F(ParakeetModelSetupTest, AHubWithoutTheCheckpointServesOurBundles) {
    sandbox.hub.removeFile(upstreamId, nemoName);
    sandbox.hub.removeFile(upstreamId, "README.md");  // the repository is gone: its listing answers 404
    const AsrModels models = firstStart();
    EXPECT_EQ(ModelBundleFiles::runTiny(*models.decoder), (std::vector<double>{2, 4, 6, 8}));
    EXPECT_EQ(conversion.calls, 0);
    EXPECT_GT(sandbox.hub.requestCount(ourId), 0);
}

TEST_F(ParakeetModelSetupTest, AnOfflineImportGoesIntoTheFolderOfTheVersionTheCheckpointHolds) {
    const fs::path nemo = sandbox.root() / "mine.nemo";
    std::ofstream(nemo, std::ios::binary) << checkpointBytes();
    const fs::path v2Folder = sandbox.modelsDirectory() / "parakeet-tdt-0.6b-v2-coreml";
    fs::create_directories(v2Folder);
    std::ofstream(v2Folder / "old.txt") << "old";

    conversion.version = AsrModelVersion::v2;
    const auto imported = ParakeetModelSetup::importFile(nemo, sandbox.modelsDirectory(), options());
    EXPECT_EQ(imported.version, AsrModelVersion::v2);
    EXPECT_EQ(imported.folder, v2Folder);
    EXPECT_TRUE(AsrModels::modelsExist(v2Folder, AsrModelVersion::v2));
    EXPECT_FALSE(fs::exists(v2Folder / "old.txt"));
    EXPECT_TRUE(fs::exists(nemo));  // the user's file is theirs
    // Nothing but the version folder and its lock file is left in the models folder: no trace of
    // the folder the import converted into first.
    const auto leftBehind = [&] {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(sandbox.modelsDirectory())) {
            names.insert(entry.path().filename().string());
        }
        return names;
    };
    const std::set<std::string> versionFolderAndLock = {"parakeet-tdt-0.6b-v2-coreml",
                                                        ".parakeet-tdt-0.6b-v2-coreml.lock"};
    EXPECT_EQ(leftBehind(), versionFolderAndLock);
    // A second import leaves no more; what an import of a process long gone left is cleared.
    std::ofstream(sandbox.modelsDirectory() / "..import-999999999-0.lock");
    ParakeetModelSetup::importFile(nemo, sandbox.modelsDirectory(), options());
    EXPECT_EQ(leftBehind(), versionFolderAndLock);

    EXPECT_THROW(ParakeetModelSetup::importFile(sandbox.root() / "missing.nemo", sandbox.modelsDirectory(), options()),
                 rarivoredu::AsrModelsError);
    freeBytes = 10;
    EXPECT_THROW(ParakeetModelSetup::importFile(nemo, sandbox.modelsDirectory(), options()), ModelStorageError);
    EXPECT_TRUE(AsrModels::modelsExist(v2Folder, AsrModelVersion::v2));
}

// The real conversion of a checkpoint in the real format, served by the hub as the public one
// is: the first start makes bundles that load.
TEST(ParakeetModelSetupCheckpointTest, AFirstStartMakesLoadableBundlesFromTheServedCheckpoint) {
    HubSandbox sandbox;
    const fs::path fixture = fs::path(PARLOQUIN_SOURCE_DIR) / "tests/fixtures/asr/tiny-parakeet-tdt.nemo";
    sandbox.hub.addFile(upstreamId, nemoName, testsupport::readBytes(fixture), true);
    const auto importer = ParakeetModelSetup::hubImporter(AsrModelVersion::v3);

    std::vector<std::string> steps;
    {
        ModelLoadProgress::Scope scope([&steps](const ModelLoadProgress& p) {
            const std::string step = p.step == ModelLoadProgress::Step::download ? "download" : p.detail;
            if (steps.empty() || steps.back() != step) steps.push_back(step);
        });
        AsrModels::download(sandbox.modelsDirectory() / "parakeet-tdt-0.6b-v3-coreml", false, AsrModelVersion::v3,
                            importer);
    }
    const fs::path folder = sandbox.modelsDirectory() / "parakeet-tdt-0.6b-v3-coreml";
    EXPECT_TRUE(AsrModels::modelsExist(folder, AsrModelVersion::v3));
    EXPECT_FALSE(AsrModels::loadVocabulary(folder, AsrModelVersion::v3).empty());
    const auto models = rarivoredu::ModelFolderLoader::loadModels(
        rarivoredu::Repo::parakeet, {"Preprocessor.mlmodelc", "Encoder.mlmodelc", "Decoder.mlmodelc", "JointDecision.mlmodelc"},
        sandbox.modelsDirectory(), platform::MLComputeUnits::cpuOnly, importer);
    EXPECT_EQ(models.size(), 4u);
    ASSERT_FALSE(steps.empty());
    EXPECT_EQ(steps.front(), "download");
    EXPECT_EQ(steps.back(), "vocabulary");
    EXPECT_FALSE(fs::exists(ParakeetModelSetup::downloadsFolder(sandbox.modelsDirectory())));
}

// A checkpoint of other widths than the 0.6B models (the tiny one) is imported and then runs: the
// recogniser decodes with the widths and the blank its bundles describe.
TEST(ParakeetModelSetupCheckpointTest, ACheckpointOfOtherWidthsIsRecognisedWith) {
    testsupport::TemporaryDirectory temp;
    const fs::path models = temp.path() / "Models";
    const fs::path fixture = fs::path(PARLOQUIN_SOURCE_DIR) / "tests/fixtures/asr/tiny-parakeet-tdt.nemo";
    const auto imported = ParakeetModelSetup::importFile(fixture, models);
    platform::MLModelConfiguration cpu;
    cpu.computeUnits = platform::MLComputeUnits::cpuOnly;
    const AsrModels set = AsrModels::load(imported.folder, cpu, imported.version);

    const auto shape = rarivoredu::TdtModelShape::of(*set.decoder, *set.joint, set.version);
    EXPECT_NE(shape.encoderHiddenSize, rarivoredu::ASRConstants::encoderHiddenSize);
    EXPECT_NE(shape.decoderHiddenSize, rarivoredu::ASRConstants::decoderHiddenSize);
    EXPECT_EQ(shape.decoderLayers, 2);
    EXPECT_EQ(static_cast<std::size_t>(shape.blankId), set.vocabulary.size()) << "the blank follows the pieces";

    rarivoredu::AsrManager manager(rarivoredu::ASRConfig::defaultConfig());
    manager.initialize(set);
    for (const std::size_t seconds : {2u, 20u}) {  // one window, and the chunked path
        SCOPED_TRACE(seconds);
        std::vector<float> samples(seconds * 16000);
        for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = 0.3f * std::sin(0.17f * static_cast<float>(i));
        EXPECT_NO_THROW(manager.transcribe(samples));
    }
}

// The real importer takes a lock on the folder it converts into: the offline import leaves neither
// that folder nor its lock file behind, import after import.
TEST(ParakeetModelSetupCheckpointTest, AnOfflineImportLeavesOnlyTheVersionFolderAndItsLock) {
    testsupport::TemporaryDirectory temp;
    const fs::path models = temp.path() / "Models";
    const fs::path fixture = fs::path(PARLOQUIN_SOURCE_DIR) / "tests/fixtures/asr/tiny-parakeet-tdt.nemo";
    for (int round = 0; round < 2; ++round) {
        const auto imported = ParakeetModelSetup::importFile(fixture, models);
        EXPECT_EQ(imported.folder, models / "parakeet-tdt-0.6b-v3-coreml");
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(models)) names.insert(entry.path().filename().string());
        EXPECT_EQ(names, (std::set<std::string>{"parakeet-tdt-0.6b-v3-coreml", ".parakeet-tdt-0.6b-v3-coreml.lock"}))
            << "round " << round;
    }
}

}  // namespace
