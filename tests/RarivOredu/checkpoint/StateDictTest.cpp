#include "RarivOredu/checkpoint/StateDict.h"

#include <gtest/gtest.h>

#include <functional>

#include "RarivOredu/checkpoint/CheckpointError.h"
#include "RarivOredu/checkpoint/TorchCheckpoint.h"

namespace rarivoredu {
namespace {

using Kind = CheckpointError::Kind;
using platform::MLMultiArray;
using platform::MLMultiArrayDataType;
using Shape = std::vector<std::int64_t>;

const std::string fixtures = PARLOQUIN_SOURCE_DIR "/tests/fixtures/checkpoint/";

platform::MLMultiArrayPtr zeros(const Shape& shape, MLMultiArrayDataType type = MLMultiArrayDataType::float32) {
    auto array = MLMultiArray::create(shape, type);
    for (std::int64_t i = 0; i < array->count(); ++i) array->setValueAtOffset(i, 0.0);
    return array;
}

// The same questions asked of tensors in memory and of a checkpoint's, with a prefix stripped.
TEST(StateDictTest, AnswersAlikeForArraysAndCheckpoints) {
    const StateDict memory({{"lstm.weight_ih_l0", zeros({8, 2})},
                            {"lstm.weight_ih_l1", zeros({8, 2})},
                            {"linear.0.weight", zeros({3, 4})}});
    EXPECT_TRUE(memory.contains("lstm.weight_ih_l1"));
    EXPECT_FALSE(memory.contains("lstm.weight_ih_l2"));
    EXPECT_EQ(memory.shape("linear.0.weight"), (Shape{3, 4}));
    EXPECT_EQ(memory.require("linear.0.weight", {3, 4})->count(), 12);
    EXPECT_EQ(memory.countNumbered("lstm.weight_ih_l", ""), 2);
    EXPECT_EQ(memory.countNumbered("linear.", ".weight"), 1);
    EXPECT_EQ(memory.elementCount(), 44);

    const auto checkpoint = std::make_shared<const TorchCheckpoint>(TorchCheckpoint::open(fixtures + "nested.pt"));
    const StateDict decoder = StateDict(checkpoint).withoutPrefix("decoder.module.");
    EXPECT_EQ(decoder.names(), (std::vector<std::string>{"generator.conv.weight", "layers.0", "layers.1"}));
    EXPECT_EQ(decoder.countNumbered("layers.", ""), 2);
    const auto conv = decoder.require("generator.conv.weight", {1, 2, 3});
    EXPECT_EQ(conv->dataType(), MLMultiArrayDataType::float32);
    EXPECT_FALSE(decoder.contains("bert.module.embeddings.weight"));
    EXPECT_TRUE(StateDict(checkpoint).hasPrefix("bert."));
}

TEST(StateDictTest, AMissingOrMisshapedTensorIsNamedAsStored) {
    const auto checkpoint = std::make_shared<const TorchCheckpoint>(TorchCheckpoint::open(fixtures + "nested.pt"));
    const StateDict decoder = StateDict(checkpoint).withoutPrefix("decoder.module.");
    const StateDict memory({{"w", zeros({2, 3})}, {"ids", zeros({2}, MLMultiArrayDataType::int32)}});
    struct Case {
        const char* label;
        std::function<void()> read;
        Kind kind;
        const char* text;
    };
    const Case cases[] = {
        {"missing in memory", [&] { memory.require("b", {2}); }, Kind::missingTensor, "The checkpoint has no tensor b"},
        {"misshaped in memory", [&] { memory.require("w", {3, 2}); }, Kind::wrongShape,
         "w has shape [2, 3], expected [3, 2]"},
        {"shape of a missing one", [&] { memory.shape("b"); }, Kind::missingTensor, "The checkpoint has no tensor b"},
        {"not float32", [&] { memory.tensor("ids"); }, Kind::unsupported,
         "Unsupported checkpoint: ids is not held as float32"},
        {"missing under a prefix", [&] { decoder.require("layers.2", {1}); }, Kind::missingTensor,
         "The checkpoint has no tensor decoder.module.layers.2"},
        {"misshaped under a prefix", [&] { decoder.require("generator.conv.weight", {3, 2, 1}); }, Kind::wrongShape,
         "decoder.module.generator.conv.weight has shape [1, 2, 3], expected [3, 2, 1]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        try {
            c.read();
            ADD_FAILURE() << "no error";
        } catch (const CheckpointError& error) {
            EXPECT_EQ(error.kind(), c.kind);
            EXPECT_STREQ(error.what(), c.text);
        }
    }
}

TEST(StateDictTest, TellsItsObserverOfEveryTensorRead) {
    StateDict memory({{"a", zeros({2, 3})}, {"b", zeros({4})}});
    std::vector<std::pair<std::string, std::int64_t>> reads;
    memory.setReadObserver([&](const std::string& name, std::int64_t elements) { reads.emplace_back(name, elements); });
    memory.require("a", {2, 3});
    memory.tensor("b");
    EXPECT_THROW(memory.require("a", {6}), CheckpointError);
    EXPECT_EQ(reads, (std::vector<std::pair<std::string, std::int64_t>>{{"a", 6}, {"b", 4}}));
}

}  // namespace
}  // namespace rarivoredu
