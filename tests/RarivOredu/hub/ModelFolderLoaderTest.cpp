#include "RarivOredu/hub/ModelFolderLoader.h"
#include "RarivOredu/hub/RepoMirror.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <thread>

#include "Platform/log/LogCapture.h"
#include "Platform/net/URLError.h"
#include "Platform/system/CancellationToken.h"
#include "Platform/system/NSError.h"
#include "RarivOredu/shared/ModelFolderError.h"
#include "RarivOredu/shared/ModelSourceError.h"
#include "RarivOredu/shared/UpstreamImport.h"
#include "tests/support/FolderContents.h"
#include "tests/support/HubSandbox.h"

namespace {

namespace fs = std::filesystem;
using platform::MLComputeUnits;
using platform::NSError;
using rarivoredu::ModelFolderLoader;
using rarivoredu::RepoMirror;
using rarivoredu::Repo;
using testsupport::HubSandbox;
using testsupport::ModelBundleFiles;
using testsupport::TemporaryDirectory;
using testsupport::TestHub;

const std::string parakeetId = "ViridErevidaro/parakeet-tdt-0.6b-v3-coreml";
const std::string vadId = "ViridErevidaro/silero-vad-coreml";
const std::string vadModel = "silero-vad-unified-256ms-v6.0.0.mlmodelc";
const std::vector<double> doubled{2, 4, 6, 8};

// A parakeet repository: the four required models, one model nobody asked for, top-level
// files of every kind and a plain folder.
void addParakeet(HubSandbox& sandbox) {
    for (const char* name : {"Preprocessor.mlmodelc", "Encoder.mlmodelc", "Decoder.mlmodelc", "JointDecision.mlmodelc",
                             "Extra.mlmodelc"}) {
        sandbox.addBundle(parakeetId, name);
    }
    sandbox.hub.addFile(parakeetId, "config.json", R"({"version": 3})");
    sandbox.hub.addFile(parakeetId, "parakeet_vocab.json", R"({"0": "▁a"})");
    sandbox.hub.addFile(parakeetId, "notes.txt", "notes");
    sandbox.hub.addFile(parakeetId, "README.md", "# readme");
    sandbox.hub.addFile(parakeetId, "docs/guide.txt", "guide");
}

void addVad(HubSandbox& sandbox) {
    sandbox.addBundle(vadId, vadModel);
    sandbox.hub.addFile(vadId, "config.json", "{}");
}

int rootListings(const TestHub& hub, const std::string& repoId) {
    int count = 0;
    for (const auto& target : hub.requests()) count += target == TestHub::listingPath(repoId) ? 1 : 0;
    return count;
}

TEST(ModelFolderLoaderTest, DownloadsIntoAnEmptyFolderAndLoadsTheModelsByName) {
    HubSandbox sandbox;
    addParakeet(sandbox);
    platform::LogCapture log;
    const fs::path repoFolder = sandbox.modelsDirectory() / "parakeet-tdt-0.6b-v3-coreml";

    const auto models = ModelFolderLoader::loadModels(Repo::parakeet, {"Encoder.mlmodelc", "Decoder.mlmodelc"},
                                                  sandbox.modelsDirectory(), MLComputeUnits::cpuOnly);
    ASSERT_EQ(models.size(), 2u);
    for (const auto& [name, model] : models) {
        SCOPED_TRACE(name);
        EXPECT_EQ(ModelBundleFiles::runTiny(*model), doubled);
        EXPECT_EQ(model->configuration().computeUnits, MLComputeUnits::cpuOnly);
        EXPECT_TRUE(model->configuration().allowLowPrecisionAccumulationOnGPU);
    }

    const auto files = testsupport::folderContents(repoFolder);
    for (const char* expected : {"Preprocessor.mlmodelc/model.pt", "Encoder.mlmodelc/coremldata.bin",
                                 "Encoder.mlmodelc/weights/weight.bin", "JointDecision.mlmodelc/analytics/coremldata.bin",
                                 "config.json", "parakeet_vocab.json", "notes.txt"}) {
        EXPECT_EQ(files.count(expected), 1u) << expected;
    }
    for (const char* absent : {"Extra.mlmodelc", "README.md", "docs"}) EXPECT_EQ(files.count(absent), 0u) << absent;
    for (const auto& file : files) {
        EXPECT_EQ(file.find(".download"), std::string::npos) << file;
        EXPECT_EQ(file.find(".urlsession"), std::string::npos) << file;
    }
    for (const char* line : {"Models not found in cache at ", "Downloading required model: Encoder.mlmodelc",
                             "Skipping unrequired model: Extra.mlmodelc", "Downloading notes.txt",
                             "Downloaded all required models for parakeet-tdt-0.6b-v3-coreml",
                             "Compiled model Encoder.mlmodelc in "}) {
        EXPECT_TRUE(log.contains(line, "DownloadUtils")) << line;
    }

    // Present now: loaded from disk without asking the hub.
    sandbox.hub.clearRequests();
    log.clear();
    const auto again = ModelFolderLoader::loadModels(Repo::parakeet, {"JointDecision.mlmodelc"}, sandbox.modelsDirectory(),
                                                 MLComputeUnits::all);
    EXPECT_EQ(again.count("JointDecision.mlmodelc"), 1u);
    EXPECT_TRUE(sandbox.hub.requests().empty());
    EXPECT_TRUE(log.contains("Found parakeet-tdt-0.6b-v3-coreml locally, no download needed"));

    // No names: the folder is ensured and nothing is loaded.
    EXPECT_TRUE(ModelFolderLoader::loadModels(Repo::parakeet, {}, sandbox.modelsDirectory(), MLComputeUnits::all).empty());
}

TEST(ModelFolderLoaderTest, RepositoryPathsArePercentEncodedInRequests) {
    HubSandbox sandbox;
    addVad(sandbox);
    sandbox.hub.addFile(vadId, vadModel + "/weights/weight #2 (b).bin", "w2");
    ModelFolderLoader::loadModels(Repo::vad, {vadModel}, sandbox.modelsDirectory(), MLComputeUnits::cpuOnly);
    EXPECT_EQ(sandbox.hub.requestCount(TestHub::filePath(vadId, vadModel + "/weights/weight%20%232%20%28b%29.bin")), 1);
    EXPECT_EQ(testsupport::readBytes(sandbox.modelsDirectory() / "silero-vad-coreml" / vadModel / "weights" /
                                       "weight #2 (b).bin"),
              "w2");
}

// A repository folder that fails to load: set aside, fetched anew, loaded; the hub unreachable:
// left exactly as it was, with an error that names what is wrong with it.
TEST(ModelFolderLoaderTest, ABrokenModelFolderIsReplacedByAFreshCopyOrKeptAsItWas) {
    const std::string encoder = "Encoder.mlmodelc";
    struct Case {
        const char* name;
        std::function<void(const fs::path& model)> breakIt;
        std::string cause;
    };
    const std::vector<Case> cases{
        {"truncated module", [](const fs::path& m) { fs::resize_file(m / "model.pt", 16); },
         "Encoder.mlmodelc/model.pt"},
        {"broken description",
         [](const fs::path& m) { testsupport::writeFileMakingFolders(m / "coremldata.bin", "{\"format\": "); },
         "The model description is malformed"},
        {"no description", [](const fs::path& m) { fs::remove(m / "coremldata.bin"); },
         "Missing coremldata.bin in model: Encoder.mlmodelc"},
        {"a file in its place",
         [](const fs::path& m) {
             fs::remove_all(m);
             testsupport::writeFileMakingFolders(m, "not a folder");
         },
         "Model path is not a directory: Encoder.mlmodelc"},
        {"missing", [](const fs::path& m) { fs::remove_all(m); }, "Model file not found: Encoder.mlmodelc"},
    };
    for (const auto& c : cases) {
        for (const bool reachable : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (reachable ? ", hub reachable" : ", hub unreachable"));
            HubSandbox sandbox;
            addParakeet(sandbox);
            ModelFolderLoader::loadModels(Repo::parakeet, {encoder}, sandbox.modelsDirectory(), MLComputeUnits::cpuOnly);
            const fs::path repoFolder = sandbox.modelsDirectory() / "parakeet-tdt-0.6b-v3-coreml";
            c.breakIt(repoFolder / encoder);
            testsupport::writeFileMakingFolders(repoFolder / "mine.json", "the user's own");
            const auto before = testsupport::folderFiles(repoFolder);
            if (!reachable) sandbox.unplugHub();
            sandbox.hub.clearRequests();

            platform::LogCapture log;
            if (reachable) {
                const auto models = ModelFolderLoader::loadModels(Repo::parakeet, {encoder}, sandbox.modelsDirectory(),
                                                              MLComputeUnits::cpuOnly);
                ASSERT_EQ(models.count(encoder), 1u);
                EXPECT_EQ(ModelBundleFiles::runTiny(*models.at(encoder)), doubled);
                EXPECT_EQ(rootListings(sandbox.hub, parakeetId), 1);
                EXPECT_FALSE(fs::exists(repoFolder / "mine.json"));  // the folder is the hub's copy now
                EXPECT_TRUE(log.contains(": the fresh download replaced it", "DownloadUtils"));
            } else {
                try {
                    ModelFolderLoader::loadModels(Repo::parakeet, {encoder}, sandbox.modelsDirectory(),
                                              MLComputeUnits::cpuOnly);
                    ADD_FAILURE() << "no error";
                } catch (const rarivoredu::ModelFolderError& error) {
                    EXPECT_NE(error.cause().find(c.cause), std::string::npos) << error.cause();
                    EXPECT_NE(std::string(error.what()).find("Could not connect to the server."), std::string::npos)
                        << error.what();
                    EXPECT_EQ(error.folder(), repoFolder);
                }
                EXPECT_TRUE(testsupport::folderFiles(repoFolder) == before);  // nothing lost, nothing changed
                EXPECT_TRUE(log.contains("Put " + repoFolder.string() + " back as it was", "DownloadUtils"));
                EXPECT_FALSE(log.contains("Downloading parakeet-tdt-0.6b-v3-coreml from"));
            }
            EXPECT_TRUE(log.contains("First load failed: ", "DownloadUtils"));
            EXPECT_NE(log.matching("First load failed: ", "DownloadUtils").at(0).message.find(c.cause),
                      std::string::npos);
            EXPECT_TRUE(log.contains("Set " + repoFolder.string() + " aside as parakeet-tdt-0.6b-v3-coreml.corrupt-",
                                     "DownloadUtils"));
            // No copy is left lying about either way.
            for (const auto& entry : testsupport::folderContents(sandbox.modelsDirectory())) {
                EXPECT_EQ(entry.find(".corrupt-"), std::string::npos) << entry;
            }
        }
    }
}

// The same bytes, another digest: the listing's SHA-256 catches what the size cannot. The hub
// sent the whole file as it is: asking again on the same connection would only bring it again,
// so the load fails after one transfer and leaves no folder behind.
TEST(ModelFolderLoaderTest, AFileWhoseDigestDiffersIsNeverInstalledNorFetchedTwice) {
    HubSandbox sandbox;
    addVad(sandbox);
    const std::string weights = vadModel + "/weights/weight.bin";
    sandbox.hub.setFileFault(vadId, weights, TestHub::Fault::wrongBytes(), 1);
    platform::LogCapture log;
    try {
        ModelFolderLoader::loadModels(Repo::vad, {vadModel}, sandbox.modelsDirectory(), MLComputeUnits::all);
        ADD_FAILURE() << "no error";
    } catch (const rarivoredu::ModelSourceError& error) {
        EXPECT_EQ(error.kind(), rarivoredu::ModelSourceError::Kind::corruptDownload);
        EXPECT_EQ(error.file(), weights);
    }
    EXPECT_TRUE(log.contains("⚠️ Downloaded file SHA-256 mismatch for " + weights, "DownloadUtils"));
    EXPECT_FALSE(log.contains("once more", "DownloadUtils"));
    EXPECT_EQ(sandbox.hub.requestCount(TestHub::filePath(vadId, weights)), 1);
    EXPECT_FALSE(fs::exists(sandbox.modelsDirectory() / "silero-vad-coreml"));

    // A later load (another network, the hub mended) fetches afresh.
    const auto models = ModelFolderLoader::loadModels(Repo::vad, {vadModel}, sandbox.modelsDirectory(), MLComputeUnits::all);
    EXPECT_EQ(models.count(vadModel), 1u);
    EXPECT_EQ(sandbox.hub.requestCount(TestHub::filePath(vadId, weights)), 2);
}

// What the log says happened, happened: the hub named is the hub used, and nothing is said to be
// downloaded or resumed when nothing was.
TEST(ModelFolderLoaderTest, LogLinesNameTheHubUsedAndOnlyWhatWasDownloaded) {
    HubSandbox sandbox;
    addParakeet(sandbox);
    platform::LogCapture log;
    ModelFolderLoader::loadModels(Repo::parakeet, {"Encoder.mlmodelc"}, sandbox.modelsDirectory(), MLComputeUnits::cpuOnly);
    EXPECT_TRUE(log.contains("Downloading parakeet-tdt-0.6b-v3-coreml from " + sandbox.hub.baseURL() + "...",
                             "DownloadUtils"));
    EXPECT_FALSE(log.contains("HuggingFace"));
    EXPECT_FALSE(log.contains("Resuming"));

    // The hub listed again over a complete folder: nothing is fetched, so nothing is announced.
    log.clear();
    RepoMirror::downloadRepo(Repo::parakeet, sandbox.modelsDirectory());
    EXPECT_FALSE(log.contains("Downloading"));
    EXPECT_FALSE(log.contains("Downloaded all required models"));
    EXPECT_TRUE(log.contains("Nothing to download for parakeet-tdt-0.6b-v3-coreml: every file the hub lists is here "
                             "already",
                             "DownloadUtils"));
    // One file gone: it alone is fetched, and announced with its model.
    fs::remove(sandbox.modelsDirectory() / "parakeet-tdt-0.6b-v3-coreml" / "Decoder.mlmodelc" / "coremldata.bin");
    log.clear();
    RepoMirror::downloadRepo(Repo::parakeet, sandbox.modelsDirectory());
    EXPECT_TRUE(log.contains("Downloading parakeet-tdt-0.6b-v3-coreml from " + sandbox.hub.baseURL() + "...",
                             "DownloadUtils"));
    EXPECT_TRUE(log.contains("Downloading required model: Decoder.mlmodelc"));
    EXPECT_FALSE(log.contains("Downloading required model: Encoder.mlmodelc"));
    EXPECT_TRUE(log.contains("Downloaded all required models for parakeet-tdt-0.6b-v3-coreml"));

    // Unreachable with the folder in place: found, loaded, and no download announced.
    sandbox.unplugHub();
    log.clear();
    ModelFolderLoader::loadModels(Repo::parakeet, {"Decoder.mlmodelc"}, sandbox.modelsDirectory(), MLComputeUnits::cpuOnly);
    EXPECT_TRUE(log.contains("Found parakeet-tdt-0.6b-v3-coreml locally, no download needed"));
    EXPECT_FALSE(log.contains("Downloading"));

    // A required model the hub does not list is named as missing, not as downloaded.
    HubSandbox other;
    addVad(other);
    for (const auto& file : ModelBundleFiles::tiny()) other.hub.removeFile(vadId, vadModel + "/" + file.first);
    log.clear();
    EXPECT_THROW(ModelFolderLoader::loadModels(Repo::vad, {vadModel}, other.modelsDirectory(), MLComputeUnits::all),
                 NSError);
    EXPECT_TRUE(log.contains("The hub at " + other.hub.baseURL() + " lists no " + vadModel));
    EXPECT_FALSE(log.contains("Downloaded all required models"));
}

// Quitting while a model downloads: the transfer stops, nothing is retried, and the unfinished
// folder does not stay to pass for a complete one.
TEST(ModelFolderLoaderTest, ACancelledDownloadStopsWithoutRetryAndLeavesNoFolder) {
    HubSandbox sandbox;
    addVad(sandbox);
    sandbox.hub.setFileFault(vadId, vadModel + "/weights/weight.bin", TestHub::Fault::stall());
    platform::CancellationToken token;
    std::optional<NSError> error;
    std::thread load([&] {
        platform::CancellationToken::Scope scope(token);
        try {
            ModelFolderLoader::loadModels(Repo::vad, {vadModel}, sandbox.modelsDirectory(), MLComputeUnits::all);
        } catch (const NSError& e) {
            error = e;
        }
    });
    sandbox.hub.waitForStalls(1);
    platform::LogCapture log;
    token.cancel();
    load.join();
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code(), platform::URLError::cancelled) << error->what();
    EXPECT_EQ(rootListings(sandbox.hub, vadId), 1);
    EXPECT_FALSE(fs::exists(sandbox.modelsDirectory() / "silero-vad-coreml"));
    EXPECT_TRUE(log.contains("Download cancelled: " + vadModel + "/weights/weight.bin", "DownloadUtils"));
    EXPECT_FALSE(log.contains("First load failed"));
    EXPECT_FALSE(log.contains("Download failed"));
}

TEST(ModelFolderLoaderTest, AFaultOnTheFirstDownloadIsRecoveredByTheRetry) {
    HubSandbox sandbox;
    addVad(sandbox);
    sandbox.hub.setFileFault(vadId, vadModel + "/weights/weight.bin", TestHub::Fault::dropConnection(),
                             1);
    platform::LogCapture log;
    const auto models = ModelFolderLoader::loadModels(Repo::vad, {vadModel}, sandbox.modelsDirectory(), MLComputeUnits::all);
    EXPECT_EQ(models.count(vadModel), 1u);
    EXPECT_TRUE(log.contains("First load failed: The network connection was lost."));
    EXPECT_EQ(rootListings(sandbox.hub, vadId), 2);
}

TEST(ModelFolderLoaderTest, AHostileHubGivesAClearErrorAndNothingIsWrittenOutsideTheModelsFolder) {
    struct Case {
        const char* name;
        std::function<void(HubSandbox&)> misbehave;
        std::string error;
    };
    auto entry = [](const std::string& path) {
        return R"({"type": "file", "path": ")" + path + R"(", "size": 4})";
    };
    const std::vector<Case> cases{
        {"wrong size",
         [](HubSandbox& s) { s.hub.setFileFault(vadId, vadModel + "/model.pt", TestHub::Fault::wrongSize()); },
         "Downloaded file size mismatch for " + vadModel + "/model.pt"},
        {"not found",
         [](HubSandbox& s) { s.hub.setFileFault(vadId, "config.json", TestHub::Fault::withStatus(404)); },
         "status 404"},
        // Far more than listed: stopped as soon as it is longer, not stored whole first.
        {"endless",
         [](HubSandbox& s) {
             s.hub.setFileFault(vadId, "config.json", TestHub::Fault::withBody(std::string(8 << 20, 'x')));
         },
         "config.json: the body is longer than 2 bytes"},
        {"server error", [](HubSandbox& s) { s.hub.setListingFault(vadId, "", TestHub::Fault::withStatus(500)); },
         "status 500"},
        {"dropped connection",
         [](HubSandbox& s) {
             s.hub.setFileFault(vadId, vadModel + "/weights/weight.bin", TestHub::Fault::dropConnection());
         },
         "The network connection was lost."},
        {"malformed listing",
         [](HubSandbox& s) { s.hub.setListingFault(vadId, vadModel, TestHub::Fault::withBody("<html>")); },
         "The hub listing is not valid JSON"},
        {"parent folder at the top",
         [&](HubSandbox& s) { s.hub.addListingEntry(vadId, "", entry("../evil.json")); },
         "holds the path '../evil.json', which is not inside it"},
        {"absolute path",
         [&](HubSandbox& s) { s.hub.addListingEntry(vadId, "", entry((s.root() / "outside" / "evil.json").string())); },
         "which is not inside it"},
        {"parent folder inside a model",
         [&](HubSandbox& s) { s.hub.addListingEntry(vadId, vadModel, entry(vadModel + "/../../evil.bin")); },
         "which is not inside it"},
        {"another folder's path",
         [&](HubSandbox& s) { s.hub.addListingEntry(vadId, vadModel, entry("elsewhere/evil.bin")); },
         "holds the path 'elsewhere/evil.bin', which is not inside it"},
        {"the listed folder itself",
         [&](HubSandbox& s) {
             s.hub.addListingEntry(vadId, vadModel, R"({"type": "directory", "path": ")" + vadModel + R"(", "size": 0})");
         },
         "which is not inside it"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HubSandbox sandbox;
        addVad(sandbox);
        sandbox.hub.serveUnknownFilesWith("evil");
        c.misbehave(sandbox);
        platform::LogCapture log;
        try {
            ModelFolderLoader::loadModels(Repo::vad, {vadModel}, sandbox.modelsDirectory(), MLComputeUnits::all);
            ADD_FAILURE() << "no error";
        } catch (const NSError& error) {
            EXPECT_NE(error.localizedDescription().find(c.error), std::string::npos) << error.what();
        }
        EXPECT_TRUE(log.contains("First load failed: ", "DownloadUtils"));
        EXPECT_TRUE(sandbox.outsideModels().empty());
        for (const auto& file : testsupport::folderContents(sandbox.modelsDirectory())) {
            EXPECT_TRUE(file.rfind("silero-vad-coreml", 0) == 0 || file == ".silero-vad-coreml.lock") << file;
            EXPECT_EQ(file.find("evil"), std::string::npos) << file;
        }
    }
}

TEST(ModelFolderLoaderTest, TwoLoadsOfOneRepositoryAtOnceDownloadItOnce) {
    HubSandbox sandbox;
    addParakeet(sandbox);
    std::vector<std::thread> threads;
    std::vector<std::size_t> loaded(3, 0);
    for (std::size_t i = 0; i < loaded.size(); ++i) {
        threads.emplace_back([&, i] {
            try {
                loaded[i] = ModelFolderLoader::loadModels(Repo::parakeet, {"Encoder.mlmodelc", "Preprocessor.mlmodelc"},
                                                      sandbox.modelsDirectory(), MLComputeUnits::cpuOnly)
                                .size();
            } catch (const std::exception& error) {
                ADD_FAILURE() << error.what();
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(loaded, (std::vector<std::size_t>{2, 2, 2}));
    EXPECT_EQ(rootListings(sandbox.hub, parakeetId), 1);
}

// An engine's upstream importer is asked first; when it declines, the hub's bundles serve.
TEST(ModelFolderLoaderTest, AnUpstreamImporterGoesFirstAndTheBundleListingServesWhenItDeclines) {
    using rarivoredu::UpstreamImport;
    HubSandbox sandbox;
    addVad(sandbox);
    const fs::path repoFolder = sandbox.modelsDirectory() / "silero-vad-coreml";
    std::vector<fs::path> asked;
    bool accept = false;
    const UpstreamImport::Importer importer = [&](const fs::path& folder) {
        asked.push_back(folder);
        if (!accept) return false;
        ModelBundleFiles::write(ModelBundleFiles::tiny(), (folder / vadModel).string());
        return true;
    };

    // Declined: the listing of our bundles fills the folder.
    EXPECT_EQ(
        ModelFolderLoader::loadModels(Repo::vad, {vadModel}, sandbox.modelsDirectory(), MLComputeUnits::cpuOnly, importer)
            .size(),
        1u);
    EXPECT_EQ(asked, std::vector<fs::path>{repoFolder});
    EXPECT_EQ(rootListings(sandbox.hub, vadId), 1);

    // Accepted: the importer's folder is loaded and the hub's bundle listing is never asked for.
    fs::remove_all(repoFolder);
    accept = true;
    const auto models =
        ModelFolderLoader::loadModels(Repo::vad, {vadModel}, sandbox.modelsDirectory(), MLComputeUnits::cpuOnly, importer);
    ASSERT_EQ(models.size(), 1u);
    EXPECT_EQ(ModelBundleFiles::runTiny(*models.at(vadModel)), doubled);
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_EQ(rootListings(sandbox.hub, vadId), 1);

    // A failing import is the download's failure: nothing is loaded from a half-made folder.
    fs::remove_all(repoFolder);
    const UpstreamImport::Importer failing = [](const fs::path&) -> bool {
        throw platform::NSError("test", 1, "the upstream file is not the model");
    };
    EXPECT_THROW(RepoMirror::downloadRepo(Repo::vad, sandbox.modelsDirectory(), failing), NSError);
    EXPECT_FALSE(fs::exists(repoFolder));
}

}  // namespace
