#include "RarivOredu/hub/VerifiedDownload.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <set>

#include "Platform/log/LogCapture.h"
#include "Platform/net/URLError.h"
#include "Platform/system/CocoaError.h"
#include "Platform/system/SHA256.h"
#include "RarivOredu/shared/ModelSourceError.h"
#include "tests/RarivOredu/hub/VadHubFixture.h"
#include "tests/support/FolderContents.h"
#include "tests/support/HubSandbox.h"

namespace {

namespace fs = std::filesystem;
using hubtest::errorOf;
using hubtest::vadId;
using platform::CocoaError;
using platform::NSError;
using platform::URLError;
using rarivoredu::Repo;
using rarivoredu::VerifiedDownload;
using testsupport::HubSandbox;
using testsupport::TemporaryDirectory;
using testsupport::TestHub;

class VerifiedDownloadTest : public hubtest::VadHubTest {};

TEST_F(VerifiedDownloadTest, AFileOfTheExpectedSizeIsKeptAnythingElseIsReplaced) {
    const std::string content = R"({"sample_rate": 16000})";
    struct Case {
        const char* name;
        std::optional<std::string> existing;
        std::optional<std::string> leftover;  // a ".download" file from an earlier attempt
        bool fetched;
        const char* logLine;
    };
    const std::vector<Case> cases{
        {"absent", std::nullopt, std::nullopt, true, "Downloaded config.json"},
        {"same size", std::string(content.size(), 'z'), std::nullopt, false, "File already downloaded: config.json"},
        {"other size", std::string("short"), std::nullopt, true, "Downloaded config.json"},
        {"leftover", std::nullopt, std::string("abc"), true, "Downloaded config.json"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryDirectory folder;
        const fs::path destination = folder.path() / "sub" / "config.json";
        if (c.existing) testsupport::writeFileMakingFolders(destination, *c.existing);
        if (c.leftover) testsupport::writeFileMakingFolders(destination.string() + ".download", *c.leftover);
        sandbox.hub.clearRequests();
        log.clear();
        std::vector<double> progress;
        VerifiedDownload::downloadFile(Repo::vad, "config.json", destination, static_cast<std::int64_t>(content.size()),
                                    [&](double f) { progress.push_back(f); });
        EXPECT_EQ(progress, std::vector<double>{1.0});
        EXPECT_EQ(sandbox.hub.requests().size(), c.fetched ? 1u : 0u);
        EXPECT_EQ(testsupport::readBytes(destination), c.fetched ? content : *c.existing);
        EXPECT_EQ(testsupport::folderContents(destination.parent_path()), std::set<std::string>{"config.json"});
        EXPECT_TRUE(log.contains(c.logLine, "DownloadUtils")) << c.logLine;
        EXPECT_FALSE(log.contains("Resuming"));  // a leftover is replaced, never continued
    }
}

TEST_F(VerifiedDownloadTest, AFailedDownloadInstallsNothingAndKeepsTheOldFile) {
    const std::string content = R"({"sample_rate": 16000})";
    struct Case {
        const char* name;
        TestHub::Fault fault;
        std::string domain;
        long code;
        std::string logLine;
    };
    const std::vector<Case> cases{
        {"wrong size", TestHub::Fault::wrongSize(), CocoaError::domain, CocoaError::fileReadCorruptFile,
         "⚠️ Downloaded file size mismatch for config.json: got " + std::to_string(content.size() - 1) +
             ", expected " + std::to_string(content.size())},
        {"not found", TestHub::Fault::withStatus(404), URLError::domain, URLError::badServerResponse,
         "Download failed: "},
        {"server error", TestHub::Fault::withStatus(500), URLError::domain, URLError::badServerResponse,
         "Download failed: "},
        {"dropped connection", TestHub::Fault::dropConnection(), URLError::domain,
         URLError::networkConnectionLost, "Download failed: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryDirectory folder;
        const fs::path destination = folder.path() / "config.json";
        testsupport::writeFileMakingFolders(destination, "old");
        sandbox.hub.setFileFault(vadId, "config.json", c.fault, 1);
        log.clear();
        const NSError error = errorOf([&] {
            VerifiedDownload::downloadFile(Repo::vad, "config.json", destination, static_cast<std::int64_t>(content.size()),
                                        {}, 30, platform::SHA256::hexDigest(content));
        });
        EXPECT_EQ(error.domain(), c.domain);
        EXPECT_EQ(error.code(), c.code) << error.what();
        EXPECT_TRUE(log.contains(c.logLine, "DownloadUtils")) << c.logLine;
        EXPECT_EQ(testsupport::folderContents(folder.path()), std::set<std::string>{"config.json"});
        EXPECT_EQ(testsupport::readBytes(destination), "old");
    }
    {
        // Other bytes of the same size: the file the hub sends is not the listed one, and asking
        // again would bring it again. The digests are logged, not told.
        TemporaryDirectory folder;
        const fs::path destination = folder.path() / "config.json";
        testsupport::writeFileMakingFolders(destination, "old");
        sandbox.hub.setFileFault(vadId, "config.json", TestHub::Fault::wrongBytes(), 1);
        log.clear();
        try {
            VerifiedDownload::downloadFile(Repo::vad, "config.json", destination, static_cast<std::int64_t>(content.size()),
                                        {}, 30, platform::SHA256::hexDigest(content));
            ADD_FAILURE() << "installed";
        } catch (const rarivoredu::ModelSourceError& error) {
            EXPECT_EQ(error.kind(), rarivoredu::ModelSourceError::Kind::corruptDownload);
            EXPECT_EQ(error.file(), "config.json");
            EXPECT_EQ(std::string(error.what()).find(platform::SHA256::hexDigest(content)), std::string::npos);
        }
        EXPECT_TRUE(log.contains("⚠️ Downloaded file SHA-256 mismatch for config.json: got ", "DownloadUtils"));
        EXPECT_TRUE(log.contains(", expected " + platform::SHA256::hexDigest(content), "DownloadUtils"));
        EXPECT_EQ(testsupport::folderContents(folder.path()), std::set<std::string>{"config.json"});
        EXPECT_EQ(testsupport::readBytes(destination), "old");
    }
    // The right bytes pass the same check.
    const fs::path destination = sandbox.root() / "fresh" / "config.json";
    VerifiedDownload::downloadFile(Repo::vad, "config.json", destination, static_cast<std::int64_t>(content.size()), {},
                                30, platform::SHA256::hexDigest(content));
    EXPECT_EQ(testsupport::readBytes(destination), content);
}

TEST(VerifiedDownloadProgressTest, LogsEveryTenthPercentOfLargeFilesOnly) {
    EXPECT_FALSE(VerifiedDownload::progressLogger("Encoder.mlmodelc/weights/weight.bin", 100'000'000));
    struct Case {
        const char* path;
        const char* name;
    };
    for (const Case& c : {Case{"Encoder.mlmodelc/weights/weight.bin", "weight.bin"},
                          Case{"Encoder.mlmodelc/weights/", "weights"}, Case{"", ""}}) {
        SCOPED_TRACE(c.path);
        platform::LogCapture log;
        const auto progress = VerifiedDownload::progressLogger(c.path, 100'000'001);
        ASSERT_TRUE(progress);
        for (double f : {0.05, 0.1, 0.15, 0.5, 0.55, 1.0}) progress(f);
        std::vector<std::string> lines;
        for (const auto& e : log.matching("Progress: ", "DownloadUtils")) lines.push_back(e.message);
        const std::string suffix = std::string("% of ") + c.name;
        EXPECT_EQ(lines, (std::vector<std::string>{"Progress: 10" + suffix, "Progress: 50" + suffix,
                                                   "Progress: 100" + suffix}));
    }
}

TEST(VerifiedDownloadResumableTest, AWholeTransferOfOtherBytesIsAPermanentFailure) {
    const std::string repoId = "owner/large";
    const std::string bytes(100'000, 'n');
    HubSandbox sandbox;
    sandbox.hub.addFile(repoId, "big.bin", bytes, true);
    sandbox.hub.setFileFault(repoId, "big.bin", TestHub::Fault::wrongBytes());
    const fs::path destination = sandbox.modelsDirectory() / "big.bin";
    std::exception_ptr error;
    try {
        VerifiedDownload::resumableDownload(repoId, "big.bin", destination, static_cast<std::int64_t>(bytes.size()),
                                         platform::SHA256::hexDigest(bytes));
    } catch (...) {
        error = std::current_exception();
    }
    EXPECT_TRUE(rarivoredu::ModelSourceError::isPermanent(error));
    EXPECT_FALSE(fs::exists(VerifiedDownload::partialPath(destination)));
    EXPECT_FALSE(fs::exists(destination));
    EXPECT_EQ(sandbox.hub.requestCount(TestHub::filePath(repoId, "big.bin")), 1);
}

TEST(VerifiedDownloadResumableTest, ADroppedTransferIsContinuedAndAPartialFileThatCannotBeTheFileIsStartedAgain) {
    const std::string repoId = "owner/large";
    const std::string bytes(100'000, 'n');
    const std::string digest = platform::SHA256::hexDigest(bytes);
    struct Case {
        const char* name;
        std::string kept;           // in the partial file before the first call
        bool dropFirst;             // the first transfer ends half way
        std::vector<std::string> ranges;  // the hub saw
    };
    const std::vector<Case> cases{
        {"dropped half way", "", true, {"", "bytes=50000-"}},
        {"longer than the file", std::string(100'001, 'n'), false, {""}},
        {"of another content", std::string(40'000, 'x'), false, {"bytes=40000-"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HubSandbox sandbox;
        sandbox.hub.addFile(repoId, "big.bin", bytes, true);
        const fs::path destination = sandbox.modelsDirectory() / "big.bin";
        const fs::path partial = VerifiedDownload::partialPath(destination);
        fs::create_directories(destination.parent_path());
        if (!c.kept.empty()) std::ofstream(partial, std::ios::binary) << c.kept;
        auto fetch = [&] {
            VerifiedDownload::resumableDownload(repoId, "big.bin", destination, static_cast<std::int64_t>(bytes.size()),
                                             digest);
        };
        if (c.dropFirst) {
            sandbox.hub.setFileFault(repoId, "big.bin", TestHub::Fault::dropConnection(), 1);
            EXPECT_EQ(errorOf(fetch).domain(), URLError::domain);
            EXPECT_EQ(fs::file_size(partial), bytes.size() / 2);
            EXPECT_FALSE(fs::exists(destination));
        }
        if (c.name == std::string("of another content")) {
            // Continued, then refused by its digest: nothing is installed and the next try starts afresh.
            EXPECT_EQ(errorOf(fetch).code(), CocoaError::fileReadCorruptFile);
            EXPECT_FALSE(fs::exists(partial));
            EXPECT_FALSE(fs::exists(destination));
        } else {
            fetch();
            EXPECT_EQ(testsupport::readBytes(destination), bytes);
            EXPECT_FALSE(fs::exists(partial));
        }
        EXPECT_EQ(sandbox.hub.ranges("big.bin"), c.ranges);
    }
}

}  // namespace
