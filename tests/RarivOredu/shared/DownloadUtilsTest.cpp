#include "RarivOredu/shared/DownloadUtils.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "Platform/log/LogCapture.h"
#include "Platform/net/URLError.h"
#include "Platform/system/CocoaError.h"
#include "Platform/system/SHA256.h"
#include "RarivOredu/shared/ModelSourceError.h"
#include "tests/support/FolderContents.h"
#include "tests/support/HubSandbox.h"
#include "tests/support/LoopbackProxy.h"

namespace {

namespace fs = std::filesystem;
using platform::CocoaError;
using platform::NSError;
using platform::URLError;
using rarivoredu::DownloadUtils;
using rarivoredu::Repo;
using testsupport::HubSandbox;
using testsupport::TemporaryDirectory;
using testsupport::TestHub;

const std::string vadId = "ViridErevidaro/silero-vad-coreml";
const std::string vadModel = "silero-vad-unified-256ms-v6.0.0.mlmodelc";

// The error a call throws; fails the test when it throws none.
template <typename Call>
NSError errorOf(Call&& call) {
    try {
        call();
    } catch (const NSError& error) {
        return error;
    }
    ADD_FAILURE() << "no error";
    return NSError("", 0, "");
}

// MARK: - Proxies

TEST(DownloadUtilsProxyTest, ProxiesComeFromTheTwoLowerCaseVariablesOnly) {
    struct Case {
        const char* name;
        std::map<std::string, std::string> environment;
        std::optional<platform::ConnectionProxyDictionary> expected;
        std::vector<std::string> logLines;
    };
    platform::ConnectionProxyDictionary https;
    https.httpsEnable = true;
    https.httpsProxy = "proxy.example";
    https.httpsPort = 3128;
    platform::ConnectionProxyDictionary http;
    http.httpEnable = true;
    http.httpProxy = "10.0.0.1";
    http.httpPort = 8080;
    platform::ConnectionProxyDictionary both = https;
    both.httpEnable = true;
    both.httpProxy = "10.0.0.1";
    both.httpPort = 8080;
    const std::vector<Case> cases{
        {"https with a port", {{"https_proxy", "http://proxy.example:3128"}}, https,
         {"Configured HTTPS proxy: proxy.example:3128"}},
        {"https without a port", {{"https_proxy", "http://proxy.example"}}, std::nullopt,
         {"Invalid HTTPS proxy URL: http://proxy.example"}},
        {"http", {{"http_proxy", "http://user:pw@10.0.0.1:8080/"}}, http, {"Configured HTTP proxy: 10.0.0.1:8080"}},
        {"both", {{"https_proxy", "http://proxy.example:3128"}, {"http_proxy", "http://10.0.0.1:8080"}}, both, {}},
        {"one bad, one good", {{"https_proxy", "proxy.example:3128"}, {"http_proxy", "http://10.0.0.1:8080"}}, http,
         {"Invalid HTTPS proxy URL: proxy.example:3128"}},
        {"upper case names", {{"HTTPS_PROXY", "http://proxy.example:3128"}, {"HTTP_PROXY", "http://10.0.0.1:8080"}},
         std::nullopt, {}},
        {"none", {}, std::nullopt, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::ScopedEnvironment environment;
        for (const char* name : {"https_proxy", "http_proxy", "HTTPS_PROXY", "HTTP_PROXY"}) environment.unset(name);
        for (const auto& [name, value] : c.environment) environment.set(name, value);
        platform::LogCapture log;
        EXPECT_EQ(DownloadUtils::proxyConfiguration(), c.expected);
        for (const auto& line : c.logLines) EXPECT_TRUE(log.contains(line, "DownloadUtils")) << line;
    }
}

TEST(DownloadUtilsProxyTest, HubRequestsGoThroughTheProxyNamedByHttpProxy) {
    // The shared session reads the environment once per process: the check runs in a fresh one.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    HubSandbox sandbox;
    sandbox.hub.addFile(vadId, "config.json", "{}");
    testsupport::LoopbackProxy proxy(R"([{"type": "file", "path": "proxied.json", "size": 2}])");
    const std::string expectedTarget = sandbox.hub.baseURL() + TestHub::listingPath(vadId);
    EXPECT_EXIT(
        {
            ::setenv("http_proxy", proxy.url().c_str(), 1);
            ::unsetenv("https_proxy");
            const auto files = DownloadUtils::listRepoFiles(Repo::vad);
            const auto targets = proxy.requestTargets();
            const bool ok = files.size() == 1 && files[0].path == "proxied.json" && targets.size() == 1 &&
                            targets[0] == expectedTarget && sandbox.hub.requests().empty();
            std::fprintf(stderr, "proxy saw %zu request(s)%s%s\n", targets.size(), targets.empty() ? "" : ": ",
                         targets.empty() ? "" : targets[0].c_str());
            fs::remove_all(sandbox.root());  // no destructor runs after _Exit
            std::_Exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "proxy saw 1 request");
}

// MARK: - Listing

class DownloadUtilsHubTest : public ::testing::Test {
protected:
    void SetUp() override {
        sandbox.addBundle(vadId, vadModel);
        sandbox.hub.addFile(vadId, "config.json", R"({"sample_rate": 16000})");
        sandbox.hub.addFile(vadId, "my folder/notes #1.txt", "notes");
    }

    std::vector<std::string> targetsEndingWith(const std::string& suffix) const {
        std::vector<std::string> found;
        for (const auto& t : sandbox.hub.requests()) {
            if (t.size() >= suffix.size() && t.compare(t.size() - suffix.size(), suffix.size(), suffix) == 0) {
                found.push_back(t);
            }
        }
        return found;
    }

    HubSandbox sandbox;
    platform::LogCapture log;
};

TEST_F(DownloadUtilsHubTest, ListsTheRootAndFoldersWithThePathPercentEncoded) {
    const auto root = DownloadUtils::listRepoFiles(Repo::vad);
    std::set<std::string> rootPaths;
    for (const auto& f : root) rootPaths.insert(f.type + " " + f.path);
    EXPECT_EQ(rootPaths, (std::set<std::string>{"directory " + vadModel, "file config.json", "directory my folder"}));

    const auto folder = DownloadUtils::listRepoFiles(Repo::vad, "my folder");
    ASSERT_EQ(folder.size(), 1u);
    EXPECT_EQ(folder[0].path, "my folder/notes #1.txt");
    EXPECT_EQ(folder[0].size, 5);

    const auto requests = sandbox.hub.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], TestHub::listingPath(vadId));
    EXPECT_EQ(requests[1], TestHub::listingPath(vadId) + "/my%20folder");
}

TEST_F(DownloadUtilsHubTest, ARequestedPathOutsideTheRepositoryIsRefusedBeforeAnyRequest) {
    for (const char* path : {"../other", "/etc", "a//b", "a/./b", "a/..", "tab\there"}) {
        SCOPED_TRACE(path);
        const NSError error = errorOf([&] { DownloadUtils::listRepoFiles(Repo::vad, path); });
        EXPECT_EQ(error.domain(), URLError::domain);
        EXPECT_EQ(error.code(), URLError::badURL);
    }
    EXPECT_TRUE(sandbox.hub.requests().empty());
}

TEST_F(DownloadUtilsHubTest, OnlyStatus200IsAListing) {
    for (const int status : {204, 304, 404, 500}) {
        SCOPED_TRACE(status);
        sandbox.hub.setListingFault(vadId, "", TestHub::Fault::withStatus(status), 1);
        const NSError error = errorOf([] { DownloadUtils::listRepoFiles(Repo::vad); });
        EXPECT_EQ(error.domain(), URLError::domain);
        EXPECT_EQ(error.code(), URLError::badServerResponse);
        EXPECT_NE(error.localizedDescription().find("status " + std::to_string(status)), std::string::npos)
            << error.what();
    }
}

TEST_F(DownloadUtilsHubTest, DecodesEntriesWithOrWithoutLargeFileRecords) {
    struct Case {
        const char* name;
        const char* body;
        bool decodes;
    };
    const std::vector<Case> cases{
        {"plain entry", R"([{"type": "file", "path": "a.json", "size": 3, "oid": "x"}])", true},
        {"large file without optional keys", R"([{"type": "file", "path": "w.bin", "size": 134, "lfs": {"size": 9}}])",
         true},
        {"lfs null", R"([{"type": "file", "path": "a.json", "size": 3, "lfs": null}])", true},
        {"no size", R"([{"type": "file", "path": "a.json"}])", false},
        {"lfs without size", R"([{"type": "file", "path": "w.bin", "size": 1, "lfs": {"oid": "x"}}])", false},
        {"size as text", R"([{"type": "file", "path": "a.json", "size": "3"}])", false},
        {"an object", R"({"type": "file", "path": "a.json", "size": 3})", false},
        {"not JSON", "<html>", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sandbox.hub.setListingFault(vadId, "", TestHub::Fault::withBody(c.body), 1);
        if (c.decodes) {
            EXPECT_EQ(DownloadUtils::listRepoFiles(Repo::vad).size(), 1u);
        } else {
            const NSError error = errorOf([] { DownloadUtils::listRepoFiles(Repo::vad); });
            EXPECT_EQ(error.domain(), CocoaError::domain);
            EXPECT_EQ(error.code(), CocoaError::coderReadCorrupt);
        }
    }
    const auto files = DownloadUtils::RepoFile::decodeListing(
        R"([{"type": "file", "path": "w.bin", "size": 134, "lfs": {"size": 9, "pointer_size": 134}, "x": 1}])");
    ASSERT_TRUE(files[0].lfs.has_value());
    EXPECT_EQ(files[0].lfs->size, 9);
    EXPECT_EQ(DownloadUtils::RepoFile::encodeListing(files),
              R"([{"type":"file","path":"w.bin","size":134,"lfs":{"size":9,"pointer_size":134}}])");
}

// MARK: - One file

TEST_F(DownloadUtilsHubTest, AFileOfTheExpectedSizeIsKeptAnythingElseIsReplaced) {
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
        DownloadUtils::downloadFile(Repo::vad, "config.json", destination, static_cast<std::int64_t>(content.size()),
                                    [&](double f) { progress.push_back(f); });
        EXPECT_EQ(progress, std::vector<double>{1.0});
        EXPECT_EQ(sandbox.hub.requests().size(), c.fetched ? 1u : 0u);
        EXPECT_EQ(testsupport::readBytes(destination), c.fetched ? content : *c.existing);
        EXPECT_EQ(testsupport::folderContents(destination.parent_path()), std::set<std::string>{"config.json"});
        EXPECT_TRUE(log.contains(c.logLine, "DownloadUtils")) << c.logLine;
        EXPECT_FALSE(log.contains("Resuming"));  // a leftover is replaced, never continued
    }
}

TEST_F(DownloadUtilsHubTest, AFailedDownloadInstallsNothingAndKeepsTheOldFile) {
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
            DownloadUtils::downloadFile(Repo::vad, "config.json", destination, static_cast<std::int64_t>(content.size()),
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
            DownloadUtils::downloadFile(Repo::vad, "config.json", destination, static_cast<std::int64_t>(content.size()),
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
    DownloadUtils::downloadFile(Repo::vad, "config.json", destination, static_cast<std::int64_t>(content.size()), {},
                                30, platform::SHA256::hexDigest(content));
    EXPECT_EQ(testsupport::readBytes(destination), content);
}

TEST(DownloadUtilsListingTest, TheDigestComesFromTheLargeFileRecord) {
    const std::string digest = platform::SHA256::hexDigest("weights");
    std::string upper = digest;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    struct Case {
        const char* name;
        std::string lfs;
        std::optional<std::string> expected;
    };
    const std::vector<Case> cases{
        {"as the public hub lists it", R"({"oid": ")" + digest + R"(", "size": 7, "pointerSize": 134})", digest},
        {"under sha256", R"({"sha256": ")" + upper + R"(", "oid": "1234", "size": 7})", digest},
        {"an oid that is no digest", R"({"oid": "2222", "size": 7})", std::nullopt},
        {"a digest of the wrong length", R"({"sha256": ")" + digest.substr(1) + R"(", "size": 7})", std::nullopt},
        {"no large-file record", "null", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto files = DownloadUtils::RepoFile::decodeListing(
            R"([{"type": "file", "path": "w.bin", "size": 134, "lfs": )" + c.lfs + "}]");
        EXPECT_EQ(files.at(0).sha256Digest(), c.expected);
    }
}

TEST(DownloadUtilsProgressTest, LogsEveryTenthPercentOfLargeFilesOnly) {
    EXPECT_FALSE(DownloadUtils::progressLogger("Encoder.mlmodelc/weights/weight.bin", 100'000'000));
    struct Case {
        const char* path;
        const char* name;
    };
    for (const Case& c : {Case{"Encoder.mlmodelc/weights/weight.bin", "weight.bin"},
                          Case{"Encoder.mlmodelc/weights/", "weights"}, Case{"", ""}}) {
        SCOPED_TRACE(c.path);
        platform::LogCapture log;
        const auto progress = DownloadUtils::progressLogger(c.path, 100'000'001);
        ASSERT_TRUE(progress);
        for (double f : {0.05, 0.1, 0.15, 0.5, 0.55, 1.0}) progress(f);
        std::vector<std::string> lines;
        for (const auto& e : log.matching("Progress: ", "DownloadUtils")) lines.push_back(e.message);
        const std::string suffix = std::string("% of ") + c.name;
        EXPECT_EQ(lines, (std::vector<std::string>{"Progress: 10" + suffix, "Progress: 50" + suffix,
                                                   "Progress: 100" + suffix}));
    }
}

TEST(DownloadUtilsHubAddressTest, TheHubAddressComesFromTheEnvironment) {
    testsupport::ScopedEnvironment environment;
    environment.unset("RARIVOREDU_HUB_URL");
    EXPECT_EQ(DownloadUtils::hubBaseURL(), "https://huggingface.co");
    EXPECT_EQ(DownloadUtils::resolveURL(Repo::kokoro, "voices/af heart.json"),
              "https://huggingface.co/ViridErevidaro/kokoro-82m-coreml/resolve/main/voices/af%20heart.json");
    environment.set("RARIVOREDU_HUB_URL", "http://127.0.0.1:8080/mirror/");
    EXPECT_EQ(DownloadUtils::hubBaseURL(), "http://127.0.0.1:8080/mirror");
    for (const char* bad : {"ftp://hub.example", "hub.example", "https://hub.example/?q=1"}) {
        environment.set("RARIVOREDU_HUB_URL", bad);
        const NSError error = errorOf([] { DownloadUtils::hubBaseURL(); });
        EXPECT_EQ(error.code(), URLError::badURL) << bad;
    }
}

}  // namespace

namespace {

TEST(ResumableDownloadTest, AWholeTransferOfOtherBytesIsAPermanentFailure) {
    const std::string repoId = "owner/large";
    const std::string bytes(100'000, 'n');
    HubSandbox sandbox;
    sandbox.hub.addFile(repoId, "big.bin", bytes, true);
    sandbox.hub.setFileFault(repoId, "big.bin", TestHub::Fault::wrongBytes());
    const fs::path destination = sandbox.modelsDirectory() / "big.bin";
    std::exception_ptr error;
    try {
        DownloadUtils::resumableDownload(repoId, "big.bin", destination, static_cast<std::int64_t>(bytes.size()),
                                         platform::SHA256::hexDigest(bytes));
    } catch (...) {
        error = std::current_exception();
    }
    EXPECT_TRUE(rarivoredu::ModelSourceError::isPermanent(error));
    EXPECT_FALSE(fs::exists(DownloadUtils::partialPath(destination)));
    EXPECT_FALSE(fs::exists(destination));
    EXPECT_EQ(sandbox.hub.requestCount(TestHub::filePath(repoId, "big.bin")), 1);
}

TEST(ResumableDownloadTest, ADroppedTransferIsContinuedAndAPartialFileThatCannotBeTheFileIsStartedAgain) {
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
        const fs::path partial = DownloadUtils::partialPath(destination);
        fs::create_directories(destination.parent_path());
        if (!c.kept.empty()) std::ofstream(partial, std::ios::binary) << c.kept;
        auto fetch = [&] {
            DownloadUtils::resumableDownload(repoId, "big.bin", destination, static_cast<std::int64_t>(bytes.size()),
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
