// What a replaced or new file is allowed: the old file's permissions stay, a new file gets the
// writer's less the umask.
#include "Platform/system/AtomicFileWriter.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <optional>
#include <vector>

#include "tests/support/FileBytes.h"
#include "tests/support/TemporaryDirectory.h"

namespace {

namespace fs = std::filesystem;
using platform::AtomicFileWriter;

// The umask for as long as it lives.
class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : previous_(::umask(mask)) {}
    ~ScopedUmask() { ::umask(previous_); }
    ScopedUmask(const ScopedUmask&) = delete;
    ScopedUmask& operator=(const ScopedUmask&) = delete;

private:
    mode_t previous_;
};

TEST(AtomicFileWriterTest, AReplacedFileKeepsItsPermissionsAndANewOneGetsTheWritersLessTheUmask) {
    testsupport::TemporaryDirectory folder;
    const ScopedUmask umask(022);
    struct Case {
        const char* name;
        fs::perms writer;
        std::optional<fs::perms> existing;  // none: no file before
        fs::perms expected;
    };
    const fs::perms rw_r_____ = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    const fs::perms rw_r__r__ = rw_r_____ | fs::perms::others_read;
    const std::vector<Case> cases = {
        {"a new private file", AtomicFileWriter::ownerOnly, std::nullopt, AtomicFileWriter::ownerOnly},
        {"a new file of the user's", AtomicFileWriter::everyone, std::nullopt, rw_r__r__},
        {"a private writer over a shared file", AtomicFileWriter::ownerOnly, rw_r__r__, rw_r__r__},
        {"a shared writer over a file for the group", AtomicFileWriter::everyone, rw_r_____, rw_r_____},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path path = folder / ("datei-" + std::to_string(index++) + ".txt");
        if (c.existing) {
            testsupport::writeFile(path, "alt");
            fs::permissions(path, *c.existing);
        }
        AtomicFileWriter(c.writer).replace(path, "neu");
        EXPECT_EQ(testsupport::readBytes(path), "neu");
        EXPECT_EQ(fs::status(path).permissions(), c.expected);
    }
    // No temporary file is left beside them.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 4);
}

}  // namespace
