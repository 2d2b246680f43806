#include "RarivOredu/checkpoint/TorchCheckpoint.h"

#include <gtest/gtest.h>

#include <set>

#include "RarivOredu/checkpoint/CheckpointError.h"
#include "RarivOredu/checkpoint/TarArchive.h"
#include "tests/RarivOredu/checkpoint/ArchiveBytes.h"
#include "tests/RarivOredu/checkpoint/MemoryFile.h"
#include "tests/RarivOredu/checkpoint/PickleRepr.h"
#include "tests/RarivOredu/checkpoint/TorchPickleBytes.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TemporaryDirectory.h"

namespace rarivoredu {
namespace {

using namespace checkpointtest;
using DType = TensorRecord::DType;
using Kind = CheckpointError::Kind;
using Shape = std::vector<std::int64_t>;

const std::string fixtures = PARLOQUIN_SOURCE_DIR "/tests/fixtures/checkpoint/";
const std::filesystem::path nemo = PARLOQUIN_SOURCE_DIR "/tests/fixtures/asr/tiny-parakeet-tdt.nemo";

std::vector<std::string> names(const TorchCheckpoint& checkpoint) {
    std::vector<std::string> out;
    for (const auto& [name, tensor] : checkpoint.tensors()) out.push_back(name);
    return out;
}

double sum(const TensorRecord& tensor) {
    const auto array = tensor.toFloat32();
    double total = 0;
    for (std::int64_t i = 0; i < array->count(); ++i) total += array->data<float>()[i];
    return total;
}

TEST(TorchCheckpointTest, FlattensNestedDictsAndBareTensors) {
    const TorchCheckpoint nested = TorchCheckpoint::open(fixtures + "nested.pt");
    EXPECT_EQ(nested.prefix(), "nested");
    EXPECT_EQ(names(nested), (std::vector<std::string>{"bert.module.embeddings.weight",
                                                      "decoder.module.generator.conv.weight",
                                                      "decoder.module.layers.0", "decoder.module.layers.1"}));
    EXPECT_EQ(nested.top().get("epoch").asInt(), 3);
    EXPECT_EQ(sum(nested.require("decoder.module.generator.conv.weight", {1, 2, 3})), 1.5);
    EXPECT_EQ(sum(nested.require("decoder.module.layers.1", {1})), 2.0);

    const TorchCheckpoint voice = TorchCheckpoint::open(fixtures + "tensor.pt");
    EXPECT_TRUE(voice.top().isTensor());
    ASSERT_EQ(names(voice), (std::vector<std::string>{""}));
    const auto array = voice.require("", {2, 1, 4}).toFloat32();
    EXPECT_EQ(array->data<float>()[0], -3.5f);
    EXPECT_EQ(array->data<float>()[7], 3.5f);

    const TorchCheckpoint state = TorchCheckpoint::open(fixtures + "state_dict.pt");
    EXPECT_EQ(repr(state.top().state()), "{'_metadata': {'': {'version': 1}}}");
}

TEST(TorchCheckpointTest, ReadsCheckpointsThatHoldArbitraryPythonObjects) {
    // The same objects saved with pickle protocols 2 and 5 read the same.
    for (const char* file : {"opaque.pt", "opaque-p5.pt"}) {
        const TorchCheckpoint checkpoint = TorchCheckpoint::open(fixtures + file);
        EXPECT_EQ(names(checkpoint), (std::vector<std::string>{"state_dict.model.linear.bias",
                                                              "state_dict.model.linear.weight"}))
            << file;
        EXPECT_EQ(sum(checkpoint.require("state_dict.model.linear.weight", {1, 2})), 3.0) << file;
        const PickleValue& top = checkpoint.top();
        const struct {
            const char* key;
            const char* value;
        } fields[] = {
            {"hyper_parameters", "argparse.Namespace()+{'sample_rate': 16000, 'name': 'seg'}"},
            {"specifications", "__main__.Specifications()+{'duration': 10, 'classes': ['a', 'b']}"},
            // Enums pickle by name: getattr(cls, name), called on the class as a value.
            {"problem", "builtins.getattr(__main__.Problem, 'MULTILABEL')"},
            {"torch_version", "torch.torch_version.TorchVersion('1.13.0a0',)"},
            {"frozen", "frozenset({1})"},
            {"blob", "b'\\x00\\xff raw'"},
            {"big", "big'\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x10'"},
            {"negative", "-1099511627776"},
            {"ratio", "0.125"},
            {"pair", "(None, True, False)"},
            {"unicode", "'\xe2\x96\x81hello'"},
        };
        for (const auto& field : fields) EXPECT_EQ(repr(top.get(field.key)), field.value) << file << " " << field.key;
        std::set<std::string> labels;
        for (const auto& label : top.get("labels").items()) labels.insert(label.asString());
        EXPECT_EQ(labels, (std::set<std::string>{"x", "y"})) << file;
    }
}

TEST(TorchCheckpointTest, ReadsTheWeightsOfAModelArchiveInPlace) {
    const TarArchive archive = TarArchive::open(nemo);
    const TorchCheckpoint checkpoint = TorchCheckpoint::open(archive.region(*archive.find("model_weights.ckpt")));
    EXPECT_EQ(checkpoint.prefix(), "model_weights");
    ASSERT_EQ(checkpoint.tensors().size(), 87u);
    EXPECT_TRUE(checkpoint.top().isDict());
    std::size_t integers = 0;
    double total = 0;
    for (const auto& [name, tensor] : checkpoint.tensors()) {
        if (name.ends_with("num_batches_tracked")) {
            EXPECT_EQ(tensor.dtype, DType::int64) << name;
            EXPECT_EQ(tensor.shape, Shape{}) << name;
            EXPECT_EQ(tensor.toInt64(), std::vector<std::int64_t>{0}) << name;
            ++integers;
        } else {
            EXPECT_EQ(tensor.dtype, DType::float32) << name;
            total += sum(tensor);
        }
    }
    EXPECT_EQ(integers, 2u);
    EXPECT_NEAR(total, 1162.8645651698446, 1e-6);

    const struct {
        const char* name;
        Shape shape;
    } shapes[] = {
        {"preprocessor.featurizer.window", {400}},
        {"preprocessor.featurizer.fb", {1, 128, 257}},
        {"encoder.pre_encode.conv.0.weight", {16, 1, 3, 3}},
        {"encoder.pre_encode.out.weight", {64, 256}},
        {"encoder.layers.1.conv.depthwise_conv.weight", {64, 1, 9}},
        {"encoder.layers.1.conv.pointwise_conv1.weight", {128, 64, 1}},
        {"encoder.layers.0.self_attn.pos_bias_u", {8, 8}},
        {"decoder.prediction.embed.weight", {41, 32}},
        {"decoder.prediction.dec_rnn.lstm.weight_hh_l1", {128, 32}},
        {"joint.joint_net.2.weight", {46, 32}},
    };
    for (const auto& s : shapes) EXPECT_NO_THROW(checkpoint.require(s.name, s.shape)) << s.name;

    const auto window = checkpoint.require("preprocessor.featurizer.window", {400}).toFloat32();
    EXPECT_EQ(window->data<float>()[1], 6.198883056640625e-05f);
    EXPECT_EQ(window->data<float>()[200], 0.9999845027923584f);
    EXPECT_NEAR(sum(*checkpoint.find("preprocessor.featurizer.fb")), 4.090487632322038, 1e-6);
    EXPECT_NEAR(sum(*checkpoint.find("encoder.layers.1.self_attn.linear_q.weight")), 1.6203126413920472, 1e-6);
    const auto bias = checkpoint.find("joint.joint_net.2.bias")->toFloat32();
    const float durations[] = {0.29209497570991516f, 0.7314891219139099f, -0.10567013919353485f,
                               -0.0675208568572998f, 0.07646483927965164f};
    EXPECT_EQ(bias->data<float>()[40], 1.2236766815185547f);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(bias->data<float>()[41 + i], durations[i]);
    const auto depthwise = checkpoint.find("encoder.layers.0.conv.depthwise_conv.weight")->toFloat32();
    EXPECT_EQ(depthwise->valueAt({3, 0, 4}), static_cast<double>(-0.5721271634101868f));
    const auto embedding = checkpoint.find("decoder.prediction.embed.weight")->toFloat32();
    for (int i = 0; i < 32; ++i) EXPECT_EQ(embedding->valueAt({40, i}), 0.0);
}

TEST(TorchCheckpointTest, RequireNamesTheTensorAndBothShapes) {
    const TorchCheckpoint checkpoint = TorchCheckpoint::open(fixtures + "state_dict.pt");
    try {
        checkpoint.require("weight", {3, 2});
        FAIL() << "accepted a wrong shape";
    } catch (const CheckpointError& error) {
        EXPECT_EQ(error.kind(), Kind::wrongShape);
        EXPECT_STREQ(error.what(), "weight has shape [2, 3], expected [3, 2]");
    }
    try {
        checkpoint.require("encoder.weight", {1});
        FAIL() << "found a missing tensor";
    } catch (const CheckpointError& error) {
        EXPECT_EQ(error.kind(), Kind::missingTensor);
        EXPECT_STREQ(error.what(), "The checkpoint has no tensor encoder.weight");
    }
}

TEST(TorchCheckpointTest, RefusesDamagedAndForeignFiles) {
    testsupport::TemporaryDirectory folder;
    const std::string good = testsupport::readBytes(fixtures + "state_dict.pt");
    const std::string tensor = tensorPickle("0", 1, 1);
    const std::string oneFloat(4, '\0');
    std::string deep = "\x80\x02";
    for (int i = 0; i < 100; ++i) deep += "]";
    deep += tensor;
    for (int i = 0; i < 100; ++i) deep += "a";
    deep += ".";
    // Pickles whose few bytes ask for memory growing with the product of two counts.
    const auto put = [](char id) { return std::string("q") + id; };
    const auto get = [](char id) { return std::string("h") + id; };
    const std::string zero("K\x00", 2);
    std::string seventeen = std::string("ctorch._utils\n_rebuild_tensor_v2\n(") + "(" + binunicode("storage") +
                            "ctorch\nFloatStorage\n" + binunicode("0") + binunicode("cpu") + "K\x01tQ" + zero + "(";
    for (int i = 0; i < 17; ++i) seventeen += "K\x01";
    seventeen += "t(";
    for (int i = 0; i < 17; ++i) seventeen += "K\x01";
    seventeen += "t\x89NtR";
    std::string manyNames = "\x80\x02(" + tensor + put(0);
    for (int i = 1; i < 70000; ++i) manyNames += get(0);
    manyNames += "l.";
    std::string sets = "\x80\x02(";
    for (int i = 0; i < 1000; ++i) sets += "K\x01";
    sets += "l" + put(0) + "0cbuiltins\nset\n" + put(1) + "0";
    for (int i = 0; i < 9000; ++i) sets += get(1) + get(0) + "\x85R0";
    sets += "N.";
    const struct {
        const char* label;
        std::string bytes;
        Kind kind;
        const char* text;
    } cases[] = {
        {"legacy", testsupport::readBytes(fixtures + "legacy.pt"), Kind::unsupported, "older than 1.6"},
        {"model archive", testsupport::readBytes(nemo), Kind::unsupported, "tar archive"},
        {"text", "hello, this is not a checkpoint", Kind::malformed, "not a torch checkpoint"},
        {"empty", "", Kind::truncated, "is truncated"},
        {"cut early", good.substr(0, 100), Kind::truncated, "is truncated"},
        {"cut in the storages", good.substr(0, good.size() / 2), Kind::truncated, "is truncated"},
        {"cut in the directory", good.substr(0, good.size() - 100), Kind::truncated, "is truncated"},
        {"big-endian", zipArchive({{"b/data.pkl", pickle(tensor)}, {"b/byteorder", "big"}, {"b/data/0", oneFloat}}),
         Kind::unsupported, "big-endian"},
        {"no pickle", zipArchive({{"b/data/0", oneFloat}}), Kind::malformed, "no data.pkl"},
        {"storage record missing", zipArchive({{"b/data.pkl", pickle(tensor)}}), Kind::malformed,
         "no record for storage 0"},
        {"nested too deeply", zipArchive({{"b/data.pkl", deep}, {"b/data/0", oneFloat}}), Kind::malformed,
         "nested too deeply"},
        {"two tensors of one name",
         zipArchive({{"b/data.pkl", pickle(dictPickle({{"a.b", tensor}, {"a", dictPickle({{"b", tensor}})}}))},
                     {"b/data/0", oneFloat}}),
         Kind::malformed, "two tensors named \"a.b\""},
        {"a broken pickle", zipArchive({{"b/data.pkl", "\x80\x02]a."}}), Kind::malformed, "b/data.pkl"},
        {"a tensor of 17 dimensions", zipArchive({{"b/data.pkl", pickle(seventeen)}, {"b/data/0", oneFloat}}),
         Kind::malformed, "too many dimensions"},
        {"one tensor under 70000 names", zipArchive({{"b/data.pkl", manyNames}, {"b/data/0", oneFloat}}),
         Kind::unsupported, "more than 65536 tensors"},
        {"a list made a set 9000 times", zipArchive({{"b/data.pkl", sets}}), Kind::unsupported,
         "copies its values too often"},
    };
    for (const auto& c : cases) {
        const auto file = testsupport::writeFile(folder / "bad.pt", c.bytes);
        try {
            TorchCheckpoint::open(file);
            ADD_FAILURE() << c.label << ": opened";
        } catch (const CheckpointError& error) {
            EXPECT_EQ(error.kind(), c.kind) << c.label << ": " << error.what();
            EXPECT_NE(std::string(error.what()).find(c.text), std::string::npos) << c.label << ": " << error.what();
        }
    }
}

TEST(TorchCheckpointTest, EveryFlippedByteOfASmallCheckpointFailsCleanly) {
    checkpointtest::MemoryFile memory;
    const std::string good = testsupport::readBytes(fixtures + "nested.pt");
    // Each flipped byte either goes unnoticed (the tensors' numbers, padding, dates: torch keeps
    // no check of them) or gives a CheckpointError; never anything else (the sanitizers watch).
    for (std::size_t at = 0; at < good.size(); ++at) {
        std::string bad = good;
        bad[at] = static_cast<char>(bad[at] ^ 0x5a);
        const auto file = memory.write(bad);
        try {
            const TorchCheckpoint checkpoint = TorchCheckpoint::open(file);
            for (const auto& [name, tensor] : checkpoint.tensors()) tensor.toFloat32();
        } catch (const CheckpointError&) {
        }
    }
}

TEST(TorchCheckpointTest, ExtraRecordsAreIgnored) {
    testsupport::TemporaryDirectory folder;
    const auto file = testsupport::writeFile(
        folder / "new.pt", zipArchive({{"archive/data.pkl", pickle(dictPickle({{"w", tensorPickle("0", 1, 1)}}))},
                                       {"archive/byteorder", "little"},
                                       {"archive/.data/serialization_id", "1234"},
                                       {"archive/data/0", std::string("\x00\x00\x80\x3f", 4)},
                                       {"archive/version", "3\n"}}));
    const TorchCheckpoint checkpoint = TorchCheckpoint::open(file);
    EXPECT_EQ(checkpoint.prefix(), "archive");
    EXPECT_EQ(sum(checkpoint.require("w", {1})), 1.0);
}

}  // namespace
}  // namespace rarivoredu
