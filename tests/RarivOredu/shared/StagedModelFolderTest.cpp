#include "RarivOredu/shared/StagedModelFolder.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "Platform/system/FileManager.h"
#include "Platform/system/NSError.h"
#include "RarivOredu/shared/ModelStore.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TemporaryDirectory.h"

namespace rarivoredu {
namespace {

namespace fs = std::filesystem;
using platform::FileManager;

// The pid of a process that has finished: leftovers named after it are stale.
pid_t deadPid() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

std::vector<std::string> entries(const fs::path& folder) { return FileManager::contentsOfDirectory(folder); }

TEST(StagedModelFolderTest, CommitReplacesTheModelFolderWhole) {
    testsupport::TemporaryDirectory root;
    const fs::path target = root / "models" / "parakeet";
    // First import: no folder yet, parents made.
    {
        StagedModelFolder staged(target);
        EXPECT_EQ(staged.path().parent_path(), target.parent_path());
        EXPECT_EQ(staged.path().filename().string().rfind("parakeet.importing-" + std::to_string(::getpid()) + "-", 0), 0u);
        testsupport::writeFile(staged.path() / "model.pt", "one");
        staged.commit();
        EXPECT_TRUE(staged.committed());
    }
    EXPECT_EQ(testsupport::readBytes(target / "model.pt"), "one");
    // A second import replaces it, leaving nothing of the old one.
    {
        StagedModelFolder staged(target);
        testsupport::writeFile(staged.path() / "encoder.pt", "two");
        staged.commit();
    }
    EXPECT_EQ(entries(target), std::vector<std::string>{"encoder.pt"});
    EXPECT_EQ(entries(root / "models"), std::vector<std::string>{"parakeet"});
}

TEST(StagedModelFolderTest, AnImportThatDoesNotCommitLeavesTheOldFolder) {
    testsupport::TemporaryDirectory root;
    const fs::path target = root / "kokoro";
    FileManager::createDirectory(target);
    testsupport::writeFile(target / "model.pt", "old");
    fs::path staging;
    {
        StagedModelFolder staged(target);
        staging = staged.path();
        testsupport::writeFile(staged.path() / "model.pt", "half written");
    }
    EXPECT_FALSE(FileManager::fileExists(staging));
    EXPECT_EQ(testsupport::readBytes(target / "model.pt"), "old");

    // A commit that cannot happen (the staged folder went) throws and keeps the old folder.
    StagedModelFolder staged(target);
    FileManager::removeItem(staged.path());
    EXPECT_THROW(staged.commit(), platform::NSError);
    EXPECT_FALSE(staged.committed());
    EXPECT_EQ(testsupport::readBytes(target / "model.pt"), "old");
}

TEST(StagedModelFolderTest, ClearsWhatInterruptedImportsLeft) {
    testsupport::TemporaryDirectory root;
    const fs::path target = root / "vad";
    const std::string dead = std::to_string(deadPid());
    const std::string alive = std::to_string(::getppid());
    for (const std::string& name : std::vector<std::string>{"vad.importing-" + dead + "-0", "vad.importing-" + alive + "-3",
                                                            "other.importing-" + dead + "-0", "vad.importing-notapid"})
        FileManager::createDirectory(root / name);
    // A commit cut short between its two renames: the old folder is aside and the target gone.
    FileManager::createDirectory(root / ("vad.replaced-" + dead + "-1"));
    testsupport::writeFile(root / ("vad.replaced-" + dead + "-1") / "model.pt", "old");

    StagedModelFolder staged(target);
    EXPECT_EQ(testsupport::readBytes(target / "model.pt"), "old");
    std::vector<std::string> left = entries(root.path());
    std::erase(left, staged.path().filename().string());
    EXPECT_EQ(left, (std::vector<std::string>{"other.importing-" + dead + "-0", "vad", "vad.importing-" + alive + "-3",
                                              "vad.importing-notapid"}));
}

TEST(ModelStoreTest, TellsTheFreeSpaceBelowAFolderYetToBeMade) {
    testsupport::TemporaryDirectory root;
    const std::uint64_t free = ModelStore::availableBytes(root / "not" / "made" / "yet");
    EXPECT_GT(free, 0u);
    // The same file system as the folder that exists (others may write to it meanwhile).
    const double there = static_cast<double>(ModelStore::availableBytes(root.path()));
    EXPECT_NEAR(static_cast<double>(free), there, 1024.0 * 1024 * 1024);
}

}  // namespace
}  // namespace rarivoredu
