#include "RarivOredu/tts/kokoro/KokoroCheckpointImport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <nlohmann/json.hpp>

#include "Platform/ml/MLModelBundle.h"
#include "RarivOredu/checkpoint/CheckpointError.h"
#include "RarivOredu/checkpoint/TorchCheckpoint.h"
#include "RarivOredu/shared/ModelNames.h"
#include "tests/support/TemporaryDirectory.h"

namespace rarivoredu {
namespace {

namespace fs = std::filesystem;
using Tensors = std::map<std::string, platform::MLMultiArrayPtr>;

fs::path fixture(const std::string& name) {
    return fs::path(PARLOQUIN_SOURCE_DIR) / "tests" / "fixtures" / "tts" / "kokoro" / name;
}

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeText(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::vector<std::string> entries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(KokoroCheckpointImportTest, TheCheckpointBecomesBothBundlesAndTheVocabulary) {
    testsupport::TemporaryDirectory root;
    const fs::path target = root / "kokoro";
    fs::create_directories(target / "voices");
    writeText(target / "voices" / "af_heart.json", "[1, 2]");
    writeText(target / "vocab_index.json", "{\"vocab\": {\"a\": 1}}");
    KokoroCheckpointImport::importFolder(fixture("kokoro-tiny.pth"), fixture("config.json"), target);
    EXPECT_EQ(entries(target), (std::vector<std::string>{"kokoro_21_15s.mlmodelc", "kokoro_21_5s.mlmodelc",
                                                         "vocab_index.json", "voices"}));
    EXPECT_EQ(readText(target / "voices" / "af_heart.json"), "[1, 2]");
    EXPECT_EQ(entries(root.path()), std::vector<std::string>{"kokoro"});
    const struct {
        const char* bundle;
        std::int64_t tokens, samples;
    } variants[] = {{"kokoro_21_5s.mlmodelc", 124, 120000}, {"kokoro_21_15s.mlmodelc", 249, 360000}};
    for (const auto& v : variants) {
        SCOPED_TRACE(v.bundle);
        const auto description = platform::MLModelBundle::read(target / v.bundle).description;
        EXPECT_EQ(description.input("input_ids")->multiArrayConstraint->shape, (std::vector<std::int64_t>{1, v.tokens}));
        EXPECT_EQ(description.input("attention_mask")->multiArrayConstraint->shape,
                  (std::vector<std::int64_t>{1, v.tokens}));
        EXPECT_EQ(description.input("ref_s")->multiArrayConstraint->shape, (std::vector<std::int64_t>{1, 256}));
        EXPECT_EQ(description.input("random_phases")->multiArrayConstraint->shape, (std::vector<std::int64_t>{1, 9}));
        EXPECT_EQ(description.output("audio")->multiArrayConstraint->shape, (std::vector<std::int64_t>{1, v.samples}));
    }
    const auto config = nlohmann::json::parse(readText(fixture("config.json")));
    EXPECT_EQ(nlohmann::json::parse(readText(target / "vocab_index.json"))["vocab"], config["vocab"]);
}

// A checkpoint trained without the AdaIN norms' scale and shift imports, with 1 and 0 for them.
TEST(KokoroCheckpointImportTest, InstanceNormsWithoutScaleAndShiftTakeTheIdentity) {
    auto tensors = KokoroCheckpointImport::readStateDict(TorchCheckpoint::open(fixture("kokoro-tiny.pth"))).arrays();
    std::size_t removed = 0;
    for (auto it = tensors.begin(); it != tensors.end();) {
        const bool affine = it->first.find(".norm.weight") != std::string::npos ||
                            it->first.find(".norm.bias") != std::string::npos;
        if (affine) ++removed;
        it = affine ? tensors.erase(it) : std::next(it);
    }
    ASSERT_GT(removed, 100u);
    testsupport::TemporaryDirectory root;
    KokoroCheckpointImport::importWeights(StateDict(std::move(tensors)), readText(fixture("config.json")),
                                          root / "kokoro");
    EXPECT_TRUE(fs::exists(root / "kokoro" / "kokoro_21_15s.mlmodelc" / "model.pt"));
}

TEST(KokoroCheckpointImportTest, BadInputIsRefusedAndLeavesTheFolderAsItWas) {
    const Tensors good = KokoroCheckpointImport::readStateDict(TorchCheckpoint::open(fixture("kokoro-tiny.pth"))).arrays();
    const std::string config = readText(fixture("config.json"));
    const auto withTensors = [&](const std::function<void(Tensors&)>& change) {
        Tensors tensors = good;
        change(tensors);
        return StateDict(std::move(tensors));
    };
    const auto array = [](std::vector<std::int64_t> shape) {
        auto a = platform::MLMultiArray::create(shape, platform::MLMultiArrayDataType::float32);
        std::fill_n(a->data<float>(), a->count(), 0.5f);
        return a;
    };
    testsupport::TemporaryDirectory root;
    const fs::path cut = root / "cut.pth";
    {
        const std::string whole = readText(fixture("kokoro-tiny.pth"));
        writeText(cut, whole.substr(0, whole.size() / 2));
    }
    auto noVocabulary = nlohmann::json::parse(config);
    noVocabulary.erase("vocab");
    writeText(root / "no-vocab.json", noVocabulary.dump());

    const struct {
        const char* what;
        std::function<void(const fs::path&)> run;
        CheckpointError::Kind kind;
        std::string message;  // empty: any text
    } cases[] = {
        {"a cut download",
         [&](const fs::path& t) { KokoroCheckpointImport::importFolder(cut, fixture("config.json"), t); },
         CheckpointError::Kind::truncated, ""},
        {"a configuration without vocabulary",
         [&](const fs::path& t) { KokoroCheckpointImport::importFolder(fixture("kokoro-tiny.pth"), root / "no-vocab.json", t); },
         CheckpointError::Kind::malformed, "config.json member vocab is malformed"},
        {"a tensor missing",
         [&](const fs::path& t) {
             KokoroCheckpointImport::importWeights(
                 withTensors([](Tensors& w) { w.erase("decoder.generator.conv_post.bias"); }), config, t);
         },
         CheckpointError::Kind::missingTensor, "The checkpoint has no tensor decoder.generator.conv_post.bias"},
        {"a tensor of another network",
         [&](const fs::path& t) {
             KokoroCheckpointImport::importWeights(
                 withTensors([&](Tensors& w) { w["decoder.generator.extra.weight"] = array({4}); }), config, t);
         },
         CheckpointError::Kind::malformed, "Kokoro checkpoint entry 'decoder.generator.extra.weight' is malformed"},
        {"a convolution of another width",
         [&](const fs::path& t) {
             KokoroCheckpointImport::importWeights(
                 withTensors([&](Tensors& w) { w["decoder.encode.conv1.weight_v"] = array({48, 10, 3}); }), config, t);
         },
         CheckpointError::Kind::malformed, ""},
    };
    const fs::path target = root / "kokoro";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::create_directories(target);
        writeText(target / "voices.txt", "what was there before");
        try {
            c.run(target);
            ADD_FAILURE() << "imported";
        } catch (const CheckpointError& error) {
            EXPECT_EQ(error.kind(), c.kind) << error.what();
            if (!c.message.empty()) {
                EXPECT_EQ(error.what(), c.message);
            }
        }
        EXPECT_EQ(entries(target), std::vector<std::string>{"voices.txt"});
        EXPECT_EQ(entries(root.path()), (std::vector<std::string>{"cut.pth", "kokoro", "no-vocab.json"}));
    }
}

}  // namespace
}  // namespace rarivoredu
