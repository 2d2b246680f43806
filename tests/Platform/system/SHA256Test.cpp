#include "Platform/system/SHA256.h"

#include <gtest/gtest.h>

namespace {

using platform::SHA256;

TEST(SHA256Test, KnownDigestsAndPieceByPieceEqualsWhole) {
    EXPECT_EQ(SHA256::hexDigest(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(SHA256::hexDigest("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");

    const std::string text(100000, 'q');
    SHA256 hash;
    for (std::size_t at = 0; at < text.size(); at += 4093) {
        hash.update(text.data() + at, std::min<std::size_t>(4093, text.size() - at));
    }
    EXPECT_EQ(hash.finalizeHex(), SHA256::hexDigest(text));
    // Finalising starts afresh.
    hash.update("abc", 3);
    EXPECT_EQ(hash.finalizeHex(), SHA256::hexDigest("abc"));
}

}  // namespace
