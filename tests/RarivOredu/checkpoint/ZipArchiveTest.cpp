#include "RarivOredu/checkpoint/ZipArchive.h"

#include <gtest/gtest.h>

#include <functional>

#include "RarivOredu/checkpoint/CheckpointError.h"
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

// The archive with its one central directory entry listed twice.
std::string withSharedLocalHeader(const std::string& zip) {
    const std::size_t directory = zip.find("PK\x01\x02");
    const std::size_t end = zip.size() - 22;
    const std::string entry = zip.substr(directory, end - directory);
    std::string out = zip.substr(0, end) + entry + zip.substr(end);
    const std::size_t newEnd = out.size() - 22;
    out[newEnd + 8] = out[newEnd + 10] = 2;                                      // entries
    out[newEnd + 12] = static_cast<char>(2 * entry.size());                      // directory size
    return out;
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
        // The first record's local header (at 0) says otherwise than the central directory.
        {"local method", with(8, std::string("\x08\x00", 2)), Kind::malformed, "a/data.pkl: local header disagrees"},
        {"local CRC", with(14, std::string("\x00\x00\x00\x00", 4)), Kind::malformed, "local header disagrees"},
        {"local compressed size", with(18, std::string("\x09\x00\x00\x00", 4)), Kind::malformed,
         "local header disagrees"},
        {"local size", with(22, std::string("\x09\x00\x00\x00", 4)), Kind::malformed, "local header disagrees"},
        {"local name", with(30, "b"), Kind::malformed, "a/data.pkl: local header disagrees"},
        {"two central entries of one local header", withSharedLocalHeader(zipArchive({{"a/x", "1"}})),
         Kind::malformed, "a local header of another entry"},
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
