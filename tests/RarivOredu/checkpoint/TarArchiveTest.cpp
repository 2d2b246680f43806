#include "RarivOredu/checkpoint/TarArchive.h"

#include <gtest/gtest.h>

#include "RarivOredu/checkpoint/CheckpointError.h"
#include "tests/RarivOredu/checkpoint/ArchiveBytes.h"
#include "tests/RarivOredu/checkpoint/MemoryFile.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TemporaryDirectory.h"

namespace rarivoredu {
namespace {

using checkpointtest::paxRecord;
using checkpointtest::tarEnd;
using checkpointtest::tarHeader;
using checkpointtest::tarMember;
using Type = TarArchive::Member::Type;

const std::filesystem::path nemo = PARLOQUIN_SOURCE_DIR "/tests/fixtures/asr/tiny-parakeet-tdt.nemo";

std::string contents(const TarArchive& archive, const TarArchive::Member& member) {
    return archive.region(member).readBytes(0, member.size);
}

TEST(TarArchiveTest, ListsTheMembersOfAModelArchiveInPlace) {
    const TarArchive archive = TarArchive::open(nemo);
    std::vector<std::string> names;
    for (const auto& member : archive.members()) names.push_back(member.name);
    EXPECT_EQ(names, (std::vector<std::string>{"model_config.yaml", "model_weights.ckpt",
                                               "60ae136e5d49fbdf037fab5f1d805634_tokenizer.model",
                                               "60ae136e5d49fbdf037fab5f1d805634_tokenizer.vocab",
                                               "60ae136e5d49fbdf037fab5f1d805634_vocab.txt"}));
    const auto* weights = archive.find("./model_weights.ckpt");
    ASSERT_NE(weights, nullptr);
    EXPECT_EQ(weights, archive.find("model_weights.ckpt"));
    EXPECT_EQ(weights->offset, 3584u);
    EXPECT_EQ(weights->size, 1121014u);
    EXPECT_EQ(weights->type, Type::file);
    const FileRegion region = archive.region(*weights);
    EXPECT_EQ(region.offset(), 3584u);
    EXPECT_EQ(region.readBytes(0, 4), "PK\x03\x04");
    EXPECT_EQ(contents(archive, *archive.find("model_config.yaml")).substr(0, 12), "sample_rate:");
    EXPECT_EQ(archive.find("model_weights"), nullptr);
}

TEST(TarArchiveTest, ReadsLongNamesInEachForm) {
    const std::string longName = std::string(120, 'd') + "/weights.ckpt";
    const std::string paxName = "./" + std::string(130, 'p') + "/model.pt";
    std::string bytes;
    // GNU: a ././@LongLink member holds the next member's name.
    bytes += tarMember("././@LongLink", longName + '\0', 'L');
    bytes += tarHeader({longName.substr(0, 100), 3, '0', "", true}) + checkpointtest::padded("gnu");
    // pax: a path record; its size record overrides the header's size field.
    bytes += tarMember("PaxHeaders/x", paxRecord("path", paxName) + paxRecord("size", "3"), 'x');
    bytes += tarHeader({"short-and-wrong", 0, '0', "", false}) + checkpointtest::padded("pax");
    // ustar: a prefix and a name joined by "/".
    bytes += tarHeader({"voices/af_heart.pt", 5, '0', "./kokoro"}) + checkpointtest::padded("ustar");
    bytes += tarMember("./folder/", "", '5');
    bytes += tarMember("./later", "one");
    bytes += tarMember("./later", "two");
    bytes += tarEnd();
    testsupport::TemporaryDirectory folder;
    const TarArchive archive = TarArchive::open(testsupport::writeFile(folder / "names.tar", bytes));

    const struct {
        std::string name;
        std::string data;
        Type type;
    } expected[] = {
        {longName, "gnu", Type::file},
        {paxName.substr(2), "pax", Type::file},
        {"kokoro/voices/af_heart.pt", "ustar", Type::file},
        {"folder/", "", Type::directory},
        {"later", "one", Type::file},
        {"later", "two", Type::file},
    };
    ASSERT_EQ(archive.members().size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const auto& member = archive.members()[i];
        EXPECT_EQ(member.name, expected[i].name);
        EXPECT_EQ(member.type, expected[i].type) << member.name;
        EXPECT_EQ(contents(archive, member), expected[i].data) << member.name;
    }
    // As tar extracts: the later copy wins.
    EXPECT_EQ(contents(archive, *archive.find("later")), "two");
}

TEST(TarArchiveTest, RefusesDamagedAndCompressedArchives) {
    testsupport::TemporaryDirectory folder;
    const std::string good = testsupport::readBytes(nemo);
    const TarArchive reference = TarArchive::open(nemo);
    std::vector<std::pair<std::string, std::string>> truncated;
    for (const auto& member : reference.members()) {
        truncated.emplace_back(member.name + ": cut in its header", good.substr(0, member.offset - 300));
        truncated.emplace_back(member.name + ": cut in its data", good.substr(0, member.offset + member.size / 2));
    }
    for (const auto& [label, bytes] : truncated) {
        try {
            TarArchive::open(testsupport::writeFile(folder / "cut.tar", bytes));
            ADD_FAILURE() << label << ": opened";
        } catch (const CheckpointError& error) {
            EXPECT_EQ(error.kind(), CheckpointError::Kind::truncated) << label << ": " << error.what();
        }
    }

    std::string badChecksum = good;
    badChecksum[3072 + 10] ^= 0x20;  // a letter of the second member's name
    const struct {
        const char* label;
        std::string bytes;
        CheckpointError::Kind kind;
        const char* text;
    } cases[] = {
        {"gzip", std::string("\x1f\x8b\x08\x00", 4) + std::string(600, '\0'), CheckpointError::Kind::unsupported,
         "gzip-compressed"},
        {"checksum", badChecksum, CheckpointError::Kind::malformed, "checksum error"},
        {"not a tar", std::string(1024, 'x'), CheckpointError::Kind::malformed, "not a tar archive"},
        {"half a header", good.substr(0, 200), CheckpointError::Kind::truncated, "is truncated"},
        {"a member without its padding", checkpointtest::tarHeader({"x", 3}) + "abc", CheckpointError::Kind::truncated,
         "is truncated"},
    };
    for (const auto& c : cases) {
        try {
            TarArchive::open(testsupport::writeFile(folder / "bad.tar", c.bytes));
            ADD_FAILURE() << c.label << ": opened";
        } catch (const CheckpointError& error) {
            EXPECT_EQ(error.kind(), c.kind) << c.label << ": " << error.what();
            EXPECT_NE(std::string(error.what()).find(c.text), std::string::npos) << c.label << ": " << error.what();
        }
    }
    try {
        TarArchive::open(folder / "absent.nemo");
        ADD_FAILURE() << "opened a file that is not there";
    } catch (const CheckpointError& error) {
        EXPECT_EQ(error.kind(), CheckpointError::Kind::unreadable);
    }
}

TEST(TarArchiveTest, EveryFlippedByteOfASmallArchiveFailsCleanly) {
    std::string good = tarMember("././@LongLink", std::string(150, 'n') + '\0', 'L');
    good += tarMember(std::string(100, 'n'), "long");
    good += tarMember("PaxHeaders/x", paxRecord("path", "pax/name") + paxRecord("size", "3"), 'x');
    good += tarMember("short", "pax");
    good += tarEnd();
    checkpointtest::MemoryFile file;
    // Each flip either leaves a readable archive or gives a CheckpointError (the sanitizers watch).
    for (std::size_t at = 0; at < good.size() - 1024; ++at) {
        std::string bad = good;
        bad[at] = static_cast<char>(bad[at] ^ 0x11);
        try {
            const TarArchive archive = TarArchive::open(file.write(bad));
            for (const auto& member : archive.members()) contents(archive, member);
        } catch (const CheckpointError&) {
        }
    }
}

TEST(TarArchiveTest, AnArchiveMayEndWithoutItsZeroBlocks) {
    const std::string good = testsupport::readBytes(nemo);
    const TarArchive::Member last = TarArchive::open(nemo).members().back();
    const std::size_t end = last.offset + (last.size + 511) / 512 * 512;
    testsupport::TemporaryDirectory folder;
    const TarArchive archive = TarArchive::open(testsupport::writeFile(folder / "short.tar", good.substr(0, end)));
    EXPECT_EQ(archive.members().size(), 5u);
}

}  // namespace
}  // namespace rarivoredu
