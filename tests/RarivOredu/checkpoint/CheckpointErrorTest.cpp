#include "RarivOredu/checkpoint/CheckpointError.h"

#include <gtest/gtest.h>

namespace rarivoredu {
namespace {

using Kind = CheckpointError::Kind;

TEST(CheckpointErrorTest, DescribesEachCase) {
    const struct {
        CheckpointError error;
        Kind kind;
        const char* text;
    } cases[] = {
        {CheckpointError::unreadable("/m/a.nemo", "No such file or directory"), Kind::unreadable,
         "Cannot read /m/a.nemo: No such file or directory"},
        {CheckpointError::truncated("/m/a.nemo"), Kind::truncated, "/m/a.nemo is truncated"},
        {CheckpointError::malformed("/m/a.pt: central directory"), Kind::malformed,
         "/m/a.pt: central directory is malformed"},
        {CheckpointError::unsupported("/m/a.pt holds big-endian tensors"), Kind::unsupported,
         "Unsupported checkpoint: /m/a.pt holds big-endian tensors"},
        {CheckpointError::missingTensor("joint.enc.weight"), Kind::missingTensor,
         "The checkpoint has no tensor joint.enc.weight"},
        {CheckpointError::wrongShape("encoder.layers.0.conv.depthwise_conv.weight", {1024, 1, 7}, {1024, 1, 9}),
         Kind::wrongShape, "encoder.layers.0.conv.depthwise_conv.weight has shape [1024, 1, 9], expected [1024, 1, 7]"},
        {CheckpointError::wrongShape("steps", {1}, {}), Kind::wrongShape, "steps has shape [], expected [1]"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.error.kind(), c.kind) << c.text;
        EXPECT_STREQ(c.error.what(), c.text);
    }
}

TEST(CheckpointErrorTest, KeepsItsPayload) {
    const auto shape = CheckpointError::wrongShape("w", {2, 3}, {3, 2});
    EXPECT_EQ(shape.subject(), "w");
    EXPECT_EQ(shape.expectedShape(), (std::vector<std::int64_t>{2, 3}));
    EXPECT_EQ(shape.foundShape(), (std::vector<std::int64_t>{3, 2}));
    const auto unreadable = CheckpointError::unreadable("/x", "Permission denied");
    EXPECT_EQ(unreadable.subject(), "/x");
    EXPECT_EQ(unreadable.reason(), "Permission denied");
}

}  // namespace
}  // namespace rarivoredu
