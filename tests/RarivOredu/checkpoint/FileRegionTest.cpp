#include "RarivOredu/checkpoint/FileRegion.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>

#include "RarivOredu/checkpoint/CheckpointError.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TemporaryDirectory.h"

namespace rarivoredu {
namespace {

using Kind = CheckpointError::Kind;

TEST(FileRegionTest, ReadsPartsOfAFileInPlace) {
    testsupport::TemporaryDirectory folder;
    const FileRegion file = FileRegion::open(testsupport::writeFile(folder / "f", "0123456789"));
    const FileRegion part = file.subRegion(3, 5).named("f: part");
    EXPECT_EQ(part.offset(), 3u);
    EXPECT_EQ(part.readBytes(0, 5), "34567");
    EXPECT_EQ(part.subRegion(1, 2).readBytes(0, 2), "45");
    EXPECT_EQ(part.name(), "f: part");
    EXPECT_EQ(file.name(), (folder / "f").string());
}

TEST(FileRegionTest, RefusesWhatIsNoFileAndReadsPastTheEnd) {
    testsupport::TemporaryDirectory folder;
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    const FileRegion file = FileRegion::open(testsupport::writeFile(folder / "f", "0123456789"));
    const FileRegion part = file.subRegion(3, 5).named("f: part");
    char buffer[8];
    const struct {
        const char* label;
        std::function<void()> action;
        Kind kind;
        std::string text;
    } cases[] = {
        {"absent", [&] { FileRegion::open(folder / "absent"); }, Kind::unreadable, "No such file"},
        {"folder", [&] { FileRegion::open(folder.path()); }, Kind::unreadable, "not a regular file"},
        // Opening must not wait for a writer.
        {"fifo", [&] { FileRegion::open(folder / "fifo"); }, Kind::unreadable, "not a regular file"},
        {"a part past the end", [&] { file.subRegion(8, 3, "the part"); }, Kind::truncated, "the part is truncated"},
        {"a read past the end", [&] { part.read(4, buffer, 2); }, Kind::truncated, "f: part is truncated"},
        {"a read far past the end", [&] { part.readBytes(~std::uint64_t{0}, 2); }, Kind::truncated, "f: part"},
        {"an empty region", [&] { FileRegion().read(0, buffer, 1); }, Kind::truncated, "an empty region"},
    };
    for (const auto& c : cases) {
        try {
            c.action();
            ADD_FAILURE() << c.label << ": no error";
        } catch (const CheckpointError& error) {
            EXPECT_EQ(error.kind(), c.kind) << c.label << ": " << error.what();
            EXPECT_NE(std::string(error.what()).find(c.text), std::string::npos) << c.label << ": " << error.what();
        }
    }
}

}  // namespace
}  // namespace rarivoredu
