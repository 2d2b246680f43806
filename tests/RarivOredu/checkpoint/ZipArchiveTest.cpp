#include "RarivOredu/checkpoint/ZipArchive.h"

#include <gtest/gtest.h>

#include <functional>

#include "RarivOredu/checkpoint/CheckpointError.h"
#include "RarivOredu/checkpoint/Crc32.h"
#include "tests/RarivOredu/checkpoint/ArchiveBytes.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TemporaryDirectory.h"

namespace rarivoredu {
namespace {

using checkpointtest::ZipRecord;
using checkpointtest::zipArchive;
using Kind = CheckpointError::Kind;

const std::filesystem::path stateDict = PARLOQUIN_SOURCE_DIR "/tests/fixtures/checkpoint/state_dict.pt";

TEST(ZipArchiveTest, ReadsTheRecordsTorchWrites) {
    const ZipArchive zip = ZipArchive::open(FileRegion::open(stateDict));
    ASSERT_EQ(zip.entries().size(), 15u);
    EXPECT_EQ(zip.entries().front().name, "state_dict/data.pkl");
    const auto* version = zip.find("state_dict/version");
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(zip.readAll(*version), "3\n");
    for (const auto& entry : zip.entries()) {
        EXPECT_EQ(entry.method, 0) << entry.name;
        EXPECT_EQ(entry.dataOffset % 64, 0u) << entry.name;
        zip.readAll(entry);  // every CRC holds
    }
    EXPECT_EQ(zip.find("state_dict/data/99"), nullptr);
}

TEST(ZipArchiveTest, ChecksumsMatchTheBitwiseDefinitionInPieces) {
    std::string pattern(1001, '\0');
    for (std::size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<char>(i * 7 + (i >> 3));
    const struct {
        std::string bytes;
        std::uint32_t crc;
    } cases[] = {{"", 0}, {"a", 0xe8b7be43u}, {"123456789", 0xcbf43926u}, {pattern, checkpointtest::crc32(pattern)}};
    for (const auto& c : cases) {
        EXPECT_EQ(crc32(0, c.bytes.data(), c.bytes.size()), c.crc) << c.bytes.size();
        for (std::size_t cut : {std::size_t{1}, std::size_t{5}, c.bytes.size() / 2}) {
            if (cut > c.bytes.size()) continue;
            EXPECT_EQ(crc32(crc32(0, c.bytes.data(), cut), c.bytes.data() + cut, c.bytes.size() - cut), c.crc);
        }
    }
}

TEST(ZipArchiveTest, ReadsPlainAndZip64Directories) {
    const std::vector<ZipRecord> records = {{"a/data.pkl", "pickle bytes"}, {"a/data/0", std::string(100, '\x7f')},
                                            {"a/empty", ""}};
    testsupport::TemporaryDirectory folder;
    for (const bool zip64 : {false, true}) {
        // Behind some leading bytes, as a zip inside a tar member lies.
        const std::string bytes = std::string(1000, 'T') + zipArchive(records, zip64) + "trailing";
        const auto file = testsupport::writeFile(folder / "a.zip", bytes);
        const FileRegion region = FileRegion::open(file).subRegion(1000, bytes.size() - 1000 - 8);
        const ZipArchive zip = ZipArchive::open(region);
        ASSERT_EQ(zip.entries().size(), records.size()) << "zip64 " << zip64;
        for (std::size_t i = 0; i < records.size(); ++i) {
            const auto& entry = zip.entries()[i];
            EXPECT_EQ(entry.name, records[i].name);
            EXPECT_EQ(entry.size, records[i].data.size());
            EXPECT_EQ(zip.readAll(entry), records[i].data) << entry.name << " zip64 " << zip64;
            EXPECT_EQ(zip.region(entry).offset(), 1000 + entry.dataOffset);
        }
    }
}

void expectError(const std::string& label, const std::function<void()>& action, Kind kind, const std::string& text) {
    try {
        action();
        ADD_FAILURE() << label << ": no error";
    } catch (const CheckpointError& error) {
        EXPECT_EQ(error.kind(), kind) << label << ": " << error.what();
        EXPECT_NE(std::string(error.what()).find(text), std::string::npos) << label << ": " << error.what();
    }
}

TEST(ZipArchiveTest, RefusesDamagedDirectoriesAndCompressedRecords) {
    testsupport::TemporaryDirectory folder;
    const std::string good = zipArchive({{"a/data.pkl", "0123456789"}, {"a/data/0", "abcd"}});
    const std::size_t end = good.size() - 22;
    const std::size_t directory = good.find("PK\x01\x02");
    auto with = [&](std::size_t at, const std::string& bytes) {
        std::string copy = good;
        copy.replace(at, bytes.size(), bytes);
        return copy;
    };
    const struct {
        const char* label;
        std::string bytes;
        Kind kind;
        const char* text;
    } cases[] = {
        {"cut in the directory", good.substr(0, directory + 20), Kind::truncated, "is truncated"},
        {"cut in a record", good.substr(0, 70), Kind::truncated, "is truncated"},
        {"no zip at all", std::string(100, 'x'), Kind::malformed, "no end of central directory"},
        {"directory past the end", with(end + 16, "\xff\xff\x00\x00"), Kind::truncated, "central directory"},
        {"directory signature", with(directory, "PK\x09\x09"), Kind::malformed, "central directory"},
        {"entry count", with(end + 8, std::string("\x09\x00\x09\x00", 4)), Kind::malformed, "entry count"},
        {"local header offset", with(directory + 42, std::string("\x05\x00\x00\x00", 4)), Kind::malformed,
         "local header"},
        {"local offset past the end", with(directory + 42, "\xff\xff\xff\x00"), Kind::truncated, "a/data.pkl"},
        {"record size past the end", with(directory + 20, std::string("\xff\xff\x00\x00\xff\xff\x00\x00", 8)),
         Kind::truncated, "a/data.pkl"},
        {"encrypted", with(directory + 8, std::string("\x01\x00", 2)), Kind::unsupported, "encrypted"},
        {"split archive", with(end + 4, std::string("\x01\x00", 2)), Kind::unsupported, "split"},
        {"two entries of one name", zipArchive({{"a/x", "1"}, {"a/x", "2"}}), Kind::malformed, "a second entry"},
    };
    for (const auto& c : cases) {
        const auto file = testsupport::writeFile(folder / "bad.zip", c.bytes);
        expectError(c.label, [&] { ZipArchive::open(FileRegion::open(file)); }, c.kind, c.text);
    }

    const auto compressed = testsupport::writeFile(folder / "deflate.zip", zipArchive({{"a/data/0", "xx", 8}}));
    const ZipArchive zip = ZipArchive::open(FileRegion::open(compressed));
    expectError("deflate", [&] { zip.region(zip.entries()[0]); }, Kind::unsupported, "compressed (method 8)");

    std::string flipped = good;
    flipped[flipped.find("0123456789") + 3] = 'X';
    const auto corrupt = testsupport::writeFile(folder / "crc.zip", flipped);
    const ZipArchive damaged = ZipArchive::open(FileRegion::open(corrupt));
    expectError("crc", [&] { damaged.readAll(damaged.entries()[0]); }, Kind::malformed, "CRC-32");
}

}  // namespace
}  // namespace rarivoredu
