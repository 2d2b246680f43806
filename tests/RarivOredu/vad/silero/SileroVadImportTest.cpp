#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Platform/system/CocoaError.h"
#include "Platform/system/NSError.h"
#include "RarivOredu/checkpoint/CheckpointError.h"
#include "RarivOredu/vad/VadManager.h"
#include "RarivOredu/vad/silero/SileroVadImport.h"
#include "tests/support/HubSandbox.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TemporaryDirectory.h"
#include "tests/support/vad/SileroSpeech.h"

namespace rarivoredu {
namespace {

namespace fs = std::filesystem;
using testsupport::SileroSpeech;

const std::string modelName = "silero-vad-unified-256ms-v6.0.0.mlmodelc";

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// The names in a folder, hidden ones (lock files) left out.
std::set<std::string> visibleEntries(const fs::path& folder) {
    std::set<std::string> names;
    if (!fs::exists(folder)) return names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const auto name = entry.path().filename().string();
        if (name.front() != '.') names.insert(name);
    }
    return names;
}

// The offset of the 16 kHz branch's copy of a tensor name in the ONNX bytes.
std::size_t branchName(const std::string& onnx, const std::string& tensor) {
    const auto at = onnx.find("If_0_then_branch__Inline_0__" + tensor);
    EXPECT_NE(at, std::string::npos) << tensor;
    return at + std::string("If_0_then_branch__Inline_0__").size();
}

// The first occurrence of `pattern` in the bytes shortly after `after`.
std::size_t firstAfter(const std::string& bytes, const std::string& pattern, std::size_t after) {
    const auto at = bytes.find(pattern, after);
    EXPECT_NE(at, std::string::npos);
    EXPECT_LT(at - after, 64u);
    return at;
}

class SileroVadImportTest : public ::testing::Test {
protected:
    fs::path modelsFolder() const { return folder_.path() / "Models"; }
    fs::path repoFolder() const { return modelsFolder() / "silero-vad-coreml"; }
    fs::path writeOnnx(const std::string& name, const std::string& bytes) const {
        const auto path = folder_.path() / name;
        writeBytes(path, bytes);
        return path;
    }

    testsupport::TemporaryDirectory folder_;
    const std::string onnx_ = readBytes(SileroSpeech::onnxFile());
};

TEST_F(SileroVadImportTest, AFileOfAnotherDigestIsRefusedAndNothingIsWritten) {
    auto altered = onnx_;
    altered[altered.size() / 2] ^= 0x01;  // one weight, one bit
    const auto file = writeOnnx("silero_vad.onnx", altered);
    try {
        SileroVadImport::importFile(file, repoFolder());
        FAIL() << "a file of another digest was imported";
    } catch (const platform::NSError& error) {
        EXPECT_EQ(error.code(), platform::CocoaError::fileReadCorruptFile);
        EXPECT_NE(std::string(error.what()).find("is not Silero VAD v6.2: SHA-256"), std::string::npos) << error.what();
    }
    EXPECT_FALSE(fs::exists(modelsFolder()));
}

// Files that are not Silero's 16 kHz network are refused even when their digest is not asked
// for, and a refused import leaves the models folder as it was.
TEST_F(SileroVadImportTest, AnOnnxFileThatIsNotSilerosIsRefused) {
    struct Case {
        const char* what;
        std::function<std::string(std::string)> alter;
        CheckpointError::Kind kind;
        std::string description;
    };
    const std::vector<Case> cases{
        {"a tensor renamed",
         [](std::string bytes) {
             bytes[branchName(bytes, "encoder.0.reparam_conv.weight") + 9] = 'X';  // "encoder.0.Xeparam…"
             return bytes;
         },
         CheckpointError::Kind::missingTensor, "The checkpoint has no tensor encoder.0.reparam_conv.weight"},
        {"a tensor's dimensions swapped",
         [](std::string bytes) {
             // The Constant node's tensor follows its output's name; its dimensions [128, 129, 3]
             // come first, as varints 80 01, 81 01, 03.
             const auto name = branchName(bytes, "encoder.0.reparam_conv.weight");
             const auto dims = firstAfter(bytes, std::string("\x80\x01", 2), name);
             const auto second = firstAfter(bytes, std::string("\x81\x01", 2), name);
             std::swap(bytes[dims], bytes[second]);
             return bytes;
         },
         CheckpointError::Kind::wrongShape, "encoder.0.reparam_conv.weight has shape [129, 128, 3], expected [128, 129, 3]"},
        {"cut short", [](std::string bytes) { return bytes.substr(0, bytes.size() / 2); },
         CheckpointError::Kind::truncated, ""},
        {"not a model at all", [](std::string) { return std::string(R"({"model": "none"})"); },
         CheckpointError::Kind::malformed, ""},
    };
    fs::create_directories(modelsFolder());
    writeBytes(modelsFolder() / "kept.txt", "a file of the user's");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto file = writeOnnx("candidate.onnx", c.alter(onnx_));
        try {
            SileroVadImport::importFile(file, repoFolder(), SileroVadImport::Check::layoutOnly);
            ADD_FAILURE() << "imported";
        } catch (const CheckpointError& error) {
            EXPECT_EQ(error.kind(), c.kind) << error.what();
            if (!c.description.empty()) {
                EXPECT_EQ(std::string(error.what()), c.description);
            }
        }
        EXPECT_EQ(visibleEntries(modelsFolder()), std::set<std::string>{"kept.txt"});
    }
}

TEST_F(SileroVadImportTest, AnOfflineImportReplacesTheFolderWholeAndServesTheManager) {
    fs::create_directories(repoFolder() / modelName);
    writeBytes(repoFolder() / modelName / "coremldata.bin", "stale");
    writeBytes(repoFolder() / "old.json", "{}");

    SileroVadImport::importFile(SileroSpeech::onnxFile(), repoFolder());

    EXPECT_EQ(visibleEntries(repoFolder()), std::set<std::string>{modelName});
    EXPECT_EQ(visibleEntries(repoFolder() / modelName), (std::set<std::string>{"coremldata.bin", "model.pt"}));
    EXPECT_EQ(visibleEntries(modelsFolder()), std::set<std::string>{"silero-vad-coreml"});

    // A manager takes the imported model without fetching anything (nothing listens there).
    testsupport::ScopedEnvironment offline;
    offline.set("RARIVOREDU_VAD_ONNX_URL", "http://127.0.0.1:9/silero_vad.onnx");
    VadManager manager(VadConfig::defaultConfig(), folder_.path());
    EXPECT_TRUE(manager.isAvailable());
}

TEST_F(SileroVadImportTest, TheAddressComesFromTheEnvironment) {
    struct Case {
        std::optional<std::string> onnxURL;
        std::optional<std::string> hubURL;
        std::optional<std::string> expected;
    };
    const std::string pinned = SileroVadImport::pinnedURL;
    const std::vector<Case> cases{
        {std::nullopt, std::nullopt, pinned},
        {std::string(""), std::nullopt, pinned},
        // A hub of our own bundles serves them.
        {std::nullopt, std::string("http://127.0.0.1:9"), std::nullopt},
        {std::string("http://127.0.0.1:8/vad.onnx"), std::string("http://127.0.0.1:9"),
         std::string("http://127.0.0.1:8/vad.onnx")},
    };
    for (const auto& c : cases) {
        testsupport::ScopedEnvironment environment;
        if (c.onnxURL) environment.set("RARIVOREDU_VAD_ONNX_URL", *c.onnxURL);
        else environment.unset("RARIVOREDU_VAD_ONNX_URL");
        if (c.hubURL) environment.set("RARIVOREDU_HUB_URL", *c.hubURL);
        else environment.unset("RARIVOREDU_HUB_URL");
        EXPECT_EQ(SileroVadImport::sourceURL(), c.expected) << c.onnxURL.value_or("-") << " " << c.hubURL.value_or("-");
    }
    EXPECT_NE(pinned.find("/snakers4/silero-vad/"), std::string::npos);
}

// The manager's first load fetches the ONNX file, checks it and imports it; the hub is not asked.
class SileroVadDownloadTest : public ::testing::Test {
protected:
    testsupport::HubSandbox sandbox_;
    const std::string onnx_ = readBytes(SileroSpeech::onnxFile());
    std::string altered_ = [this] {
        auto bytes = onnx_;
        bytes[bytes.size() / 3] ^= 0x10;
        return bytes;
    }();
    testsupport::LoopbackServer server_{[this](httplib::Server& server) {
        server.Get("/silero_vad.onnx", [this](const httplib::Request&, httplib::Response& response) {
            response.set_content(onnx_, "application/octet-stream");
        });
        server.Get("/altered.onnx", [this](const httplib::Request&, httplib::Response& response) {
            response.set_content(altered_, "application/octet-stream");
        });
    }};
    testsupport::ScopedEnvironment environment_;
};

TEST_F(SileroVadDownloadTest, TheFirstLoadImportsTheUpstreamFile) {
    environment_.set("RARIVOREDU_VAD_ONNX_URL", server_.baseURL() + "/silero_vad.onnx");
    VadManager manager(VadConfig::defaultConfig(), sandbox_.root());
    ASSERT_TRUE(manager.isAvailable());
    EXPECT_TRUE(sandbox_.hub.requests().empty());
    const auto repo = sandbox_.modelsDirectory() / "silero-vad-coreml";
    EXPECT_EQ(visibleEntries(sandbox_.modelsDirectory()), std::set<std::string>{"silero-vad-coreml"});
    EXPECT_EQ(visibleEntries(repo), std::set<std::string>{modelName});

    const auto speech = SileroSpeech::all().front();
    const auto result = manager.processChunk(std::span<const float>(speech.samples).subspan(4096 * 5, 4096));
    EXPECT_GT(result.probability, 0.0f);

    // A second manager finds the model in place.
    VadManager second(VadConfig::defaultConfig(), sandbox_.root());
    EXPECT_TRUE(second.isAvailable());
}

TEST_F(SileroVadDownloadTest, ADownloadOfAnotherDigestLeavesNothingBehind) {
    environment_.set("RARIVOREDU_VAD_ONNX_URL", server_.baseURL() + "/altered.onnx");
    try {
        VadManager manager(VadConfig::defaultConfig(), sandbox_.root());
        FAIL() << "a manager over a file of another digest";
    } catch (const platform::NSError& error) {
        EXPECT_EQ(error.code(), platform::CocoaError::fileReadCorruptFile) << error.what();
        EXPECT_NE(std::string(error.what()).find("altered.onnx is not Silero VAD v6.2"), std::string::npos)
            << error.what();
    }
    EXPECT_TRUE(visibleEntries(sandbox_.modelsDirectory()).empty());
    EXPECT_TRUE(sandbox_.hub.requests().empty());
}

}  // namespace
}  // namespace rarivoredu
