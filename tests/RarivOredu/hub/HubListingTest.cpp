#include "RarivOredu/hub/HubListing.h"

#include <gtest/gtest.h>

#include <cctype>
#include <optional>
#include <set>

#include "Platform/net/URLError.h"
#include "Platform/system/CocoaError.h"
#include "Platform/system/SHA256.h"
#include "RarivOredu/hub/RepoFile.h"
#include "tests/RarivOredu/hub/VadHubFixture.h"

namespace {

using hubtest::errorOf;
using hubtest::vadId;
using hubtest::vadModel;
using platform::CocoaError;
using platform::NSError;
using platform::URLError;
using rarivoredu::HubListing;
using rarivoredu::Repo;
using rarivoredu::RepoFile;
using testsupport::TestHub;

class HubListingTest : public hubtest::VadHubTest {};

TEST_F(HubListingTest, ListsTheRootAndFoldersWithThePathPercentEncoded) {
    const auto root = HubListing::listRepoFiles(Repo::vad);
    std::set<std::string> rootPaths;
    for (const auto& f : root) rootPaths.insert(f.type + " " + f.path);
    EXPECT_EQ(rootPaths, (std::set<std::string>{"directory " + vadModel, "file config.json", "directory my folder"}));

    const auto folder = HubListing::listRepoFiles(Repo::vad, "my folder");
    ASSERT_EQ(folder.size(), 1u);
    EXPECT_EQ(folder[0].path, "my folder/notes #1.txt");
    EXPECT_EQ(folder[0].size, 5);

    const auto requests = sandbox.hub.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], TestHub::listingPath(vadId));
    EXPECT_EQ(requests[1], TestHub::listingPath(vadId) + "/my%20folder");
}

TEST_F(HubListingTest, ARequestedPathOutsideTheRepositoryIsRefusedBeforeAnyRequest) {
    for (const char* path : {"../other", "/etc", "a//b", "a/./b", "a/..", "tab\there"}) {
        SCOPED_TRACE(path);
        const NSError error = errorOf([&] { HubListing::listRepoFiles(Repo::vad, path); });
        EXPECT_EQ(error.domain(), URLError::domain);
        EXPECT_EQ(error.code(), URLError::badURL);
    }
    EXPECT_TRUE(sandbox.hub.requests().empty());
}

TEST_F(HubListingTest, OnlyStatus200IsAListing) {
    for (const int status : {204, 304, 404, 500}) {
        SCOPED_TRACE(status);
        sandbox.hub.setListingFault(vadId, "", TestHub::Fault::withStatus(status), 1);
        const NSError error = errorOf([] { HubListing::listRepoFiles(Repo::vad); });
        EXPECT_EQ(error.domain(), URLError::domain);
        EXPECT_EQ(error.code(), URLError::badServerResponse);
        EXPECT_NE(error.localizedDescription().find("status " + std::to_string(status)), std::string::npos)
            << error.what();
    }
}

TEST_F(HubListingTest, DecodesEntriesWithOrWithoutLargeFileRecords) {
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
            EXPECT_EQ(HubListing::listRepoFiles(Repo::vad).size(), 1u);
        } else {
            const NSError error = errorOf([] { HubListing::listRepoFiles(Repo::vad); });
            EXPECT_EQ(error.domain(), CocoaError::domain);
            EXPECT_EQ(error.code(), CocoaError::coderReadCorrupt);
        }
    }
    const auto files = RepoFile::decodeListing(
        R"([{"type": "file", "path": "w.bin", "size": 134, "lfs": {"size": 9, "pointer_size": 134}, "x": 1}])");
    ASSERT_TRUE(files[0].lfs.has_value());
    EXPECT_EQ(files[0].lfs->size, 9);
    EXPECT_EQ(RepoFile::encodeListing(files),
              R"([{"type":"file","path":"w.bin","size":134,"lfs":{"size":9,"pointer_size":134}}])");
}

TEST(HubListingDigestTest, TheDigestComesFromTheLargeFileRecord) {
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
        const auto files = RepoFile::decodeListing(
            R"([{"type": "file", "path": "w.bin", "size": 134, "lfs": )" + c.lfs + "}]");
        EXPECT_EQ(files.at(0).sha256Digest(), c.expected);
    }
}

}  // namespace
