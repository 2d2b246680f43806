// A file the user saves: written whole or not at all, and a failure told in the pages' words.
#include "Parloquin/views/ExportFileWriter.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "Platform/system/CocoaError.h"
#include "tests/Parloquin/views/WriteFailures.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TemporaryDirectory.h"

namespace {

namespace fs = std::filesystem;
using parloquin::ExportFileWriter;

TEST(ExportFileWriterTest, AFailedWriteNamesFileFolderAndReasonAndLeavesTheOldFile) {
    testsupport::TemporaryDirectory folder;
    const std::string old(4096, 'o');
    const fs::path existing = testsupport::writeFile(folder / "alt.txt", old);
    const fs::path belowAFile = parloquin_test::belowAFile(folder.path());
    struct Case {
        const char* name;
        fs::path target;
        std::size_t sizeLimit;  // 0: none
        std::string message;
    };
    const std::vector<Case> cases = {
        {"a folder that is a file", belowAFile, 0,
         "„export.txt“ konnte nicht in „" + belowAFile.parent_path().string() +
             "“ gespeichert werden (Not a directory)"},
        {"a write cut short, as on a full disk", existing, 8,
         "„alt.txt“ konnte nicht in „" + folder.path().string() + "“ gespeichert werden (File too large)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            std::optional<parloquin_test::FileSizeLimit> limit;
            if (c.sizeLimit) limit.emplace(c.sizeLimit);
            ExportFileWriter::write(c.target, std::string(10000, 'n'));
            ADD_FAILURE() << "the write did not fail";
        } catch (const platform::NSError& error) {
            EXPECT_EQ(error.domain(), platform::CocoaError::domain);
            EXPECT_EQ(error.code(), platform::CocoaError::fileWriteUnknown);
            EXPECT_EQ(error.localizedDescription(), c.message);
        }
        EXPECT_EQ(testsupport::readBytes(existing), old);
    }
    // The old file and the file in the folder's place: nothing else.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 2);
}

}  // namespace
