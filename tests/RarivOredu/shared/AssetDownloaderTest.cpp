#include "RarivOredu/shared/AssetDownloader.h"

#include <gtest/gtest.h>

#include <atomic>

#include "Platform/log/LogCapture.h"
#include "Platform/system/CocoaError.h"
#include "tests/support/FolderContents.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TemporaryDirectory.h"

namespace {

namespace fs = std::filesystem;
using rarivoredu::AppLogger;
using rarivoredu::AssetDownloader;
using testsupport::TemporaryDirectory;
using Mode = AssetDownloader::TransferMode;

// Answers "/<status>" with that status; 2xx answers carry "payload" unless the path ends in
// "/empty".
class AssetServer {
public:
    AssetServer()
        : server_([this](httplib::Server& s) {
              s.Get(R"(/(\d+)(/empty)?)", [this](const httplib::Request& request, httplib::Response& response) {
                  ++requests;
                  response.status = std::stoi(request.matches[1]);
                  if (response.status / 100 == 2 && request.matches[2].length() == 0) {
                      response.set_content("payload", "application/json");
                  }
              });
          }) {}

    std::string url(const std::string& path) const { return server_.baseURL() + path; }

    std::atomic<int> requests{0};

private:
    testsupport::LoopbackServer server_;
};

TEST(AssetDownloaderTest, StoresTheAssetOrLeavesTheDestinationAlone) {
    struct Case {
        const char* name;
        const char* path;
        std::optional<std::string> existing;
        bool skipIfExists;
        bool fileMode;
        int requests;
        std::optional<int> failingStatus;  // the status of the invalidResponse thrown
        std::string stored;                // the destination afterwards ("" = absent)
    };
    const std::vector<Case> cases{
        {"fresh", "/200", std::nullopt, true, false, 1, std::nullopt, "payload"},
        {"fresh by file", "/200", std::nullopt, true, true, 1, std::nullopt, "payload"},
        {"present and skipped", "/200", std::string("old"), true, false, 0, std::nullopt, "old"},
        {"present and replaced", "/200", std::string("old"), false, false, 1, std::nullopt, "payload"},
        {"present and replaced by file", "/200", std::string("old"), false, true, 1, std::nullopt, "payload"},
        {"not found", "/404", std::nullopt, true, false, 1, 404, ""},
        {"not found by file", "/404", std::nullopt, true, true, 1, 404, ""},
        {"not modified", "/304", std::string("old"), false, false, 1, 304, "old"},
        {"no content", "/204", std::nullopt, true, false, 1, 204, ""},
        {"empty body", "/200/empty", std::nullopt, true, false, 1, 200, ""},
        {"empty body by file", "/200/empty", std::string("old"), false, true, 1, 200, "old"},
    };
    const AppLogger logger("AssetTest");
    const platform::URLSession session;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AssetServer server;
        TemporaryDirectory folder;
        const fs::path destination = folder.path() / "Models" / "kokoro" / "vocab_index.json";
        if (c.existing) testsupport::writeFileMakingFolders(destination, *c.existing);
        platform::LogCapture log;
        const AssetDownloader::Descriptor descriptor{
            "vocab_index.json", server.url(c.path), destination, c.skipIfExists,
            c.fileMode ? Mode::file(AssetDownloader::moveReplacingItem) : Mode::data(AssetDownloader::writeDataAtomically)};
        try {
            AssetDownloader::ensure(descriptor, session, logger);
            EXPECT_FALSE(c.failingStatus.has_value()) << "no error";
        } catch (const AssetDownloader::Error& error) {
            ASSERT_TRUE(c.failingStatus.has_value()) << error.what();
            EXPECT_EQ(error.kind(), AssetDownloader::Error::Kind::invalidResponse);
            EXPECT_EQ(error.statusCode(), *c.failingStatus);
            EXPECT_EQ(std::string(error.what()), "Unexpected response (status " + std::to_string(*c.failingStatus) +
                                                     ") while downloading vocab_index.json");
        }
        EXPECT_EQ(server.requests, c.requests);
        EXPECT_EQ(fs::exists(destination) ? testsupport::readBytes(destination) : "", c.stored);
        // No temporary file stays behind.
        const auto left = testsupport::folderContents(destination.parent_path());
        EXPECT_LE(left.size(), 1u);
        const bool cached = !c.failingStatus && c.requests > 0;
        EXPECT_EQ(log.contains("Cached vocab_index.json at " + destination.string(), "AssetTest"), cached);
        EXPECT_EQ(log.contains("Downloading vocab_index.json…", "AssetTest"), c.requests > 0);
    }
}

TEST(AssetDownloaderTest, AWriterErrorPassesThroughUnchanged) {
    AssetServer server;
    TemporaryDirectory folder;
    const AppLogger logger("AssetTest");
    platform::LogCapture log;
    const AssetDownloader::Descriptor descriptor{
        "lexicon", server.url("/200"), folder.path() / "lexicon.json", true,
        Mode::data([](const AssetDownloader::Data&, const fs::path&) {
            throw platform::CocoaError::make(platform::CocoaError::fileWriteOutOfSpace, "disk full");
        })};
    try {
        AssetDownloader::ensure(descriptor, platform::URLSession(), logger);
        ADD_FAILURE() << "no error";
    } catch (const platform::NSError& error) {
        EXPECT_EQ(error.code(), platform::CocoaError::fileWriteOutOfSpace);
    }
    EXPECT_FALSE(log.contains("Cached lexicon"));
}

TEST(AssetDownloaderTest, FetchDataAppliesTheSameStatusRule) {
    AssetServer server;
    const AppLogger logger("AssetTest");
    const platform::URLSession session;
    platform::LogCapture log;
    const auto data = AssetDownloader::fetchData(server.url("/200"), "af_heart voice embedding JSON", session, logger);
    EXPECT_EQ(std::string(data.begin(), data.end()), "payload");
    EXPECT_TRUE(log.contains("Fetching af_heart voice embedding JSON from " + server.url("/200"), "AssetTest"));
    try {
        AssetDownloader::fetchData(server.url("/500"), "af_heart voice embedding JSON", session, logger);
        ADD_FAILURE() << "no error";
    } catch (const AssetDownloader::Error& error) {
        EXPECT_EQ(std::string(error.what()), "Unexpected response (status 500) while downloading af_heart voice embedding JSON");
    }
}

}  // namespace
