#include "Platform/system/FileManager.h"

#include <gtest/gtest.h>

#include "Platform/system/CocoaError.h"
#include "tests/support/FolderContents.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TemporaryDirectory.h"

namespace {

using platform::CocoaError;
using platform::FileManager;
using platform::NSError;
using testsupport::TemporaryDirectory;

TEST(FileManagerTest, StandardFoldersFollowTheXdgVariables) {
    struct Case {
        const char* name;
        const char* dataHome;  // nullptr: unset
        const char* cacheHome;
        const char* configHome;
        const char* support;
        const char* caches;
        const char* configuration;
    };
    for (const Case& c :
         {Case{"set", "/xdg/data", "/xdg/cache", "/xdg/config", "/xdg/data", "/xdg/cache", "/xdg/config"},
          Case{"unset", nullptr, nullptr, nullptr, "/home/u/.local/share", "/home/u/.cache", "/home/u/.config"},
          Case{"empty", "", "", "", "/home/u/.local/share", "/home/u/.cache", "/home/u/.config"},
          Case{"relative", "data", "cache", "config", "/home/u/.local/share", "/home/u/.cache", "/home/u/.config"}}) {
        SCOPED_TRACE(c.name);
        testsupport::ScopedEnvironment environment;
        environment.set("HOME", "/home/u");
        if (c.dataHome) environment.set("XDG_DATA_HOME", c.dataHome); else environment.unset("XDG_DATA_HOME");
        if (c.cacheHome) environment.set("XDG_CACHE_HOME", c.cacheHome); else environment.unset("XDG_CACHE_HOME");
        if (c.configHome) environment.set("XDG_CONFIG_HOME", c.configHome); else environment.unset("XDG_CONFIG_HOME");
        EXPECT_EQ(FileManager::applicationSupportDirectory(), c.support);
        EXPECT_EQ(FileManager::cachesDirectory(), c.caches);
        EXPECT_EQ(FileManager::configurationDirectory(), c.configuration);
    }
}

TEST(FileManagerTest, FailedOperationsAreCocoaErrors) {
    TemporaryDirectory folder;
    const auto file = folder.path() / "file";
    const auto other = folder.path() / "other";
    testsupport::writeFileMakingFolders(file, "a");
    testsupport::writeFileMakingFolders(other, "b");
    struct Case {
        const char* name;
        std::function<void()> operation;
        long code;
    };
    const std::vector<Case> cases{
        {"remove nothing", [&] { FileManager::removeItem(folder.path() / "none"); }, CocoaError::fileNoSuchFile},
        {"move nothing", [&] { FileManager::moveItem(folder.path() / "none", other); }, CocoaError::fileNoSuchFile},
        {"copy onto a file", [&] { FileManager::copyItem(file, other); }, CocoaError::fileWriteFileExists},
        {"folder over a file", [&] { FileManager::createDirectory(file / "sub"); }, CocoaError::fileNoSuchFile},
        {"folder where a file is", [&] { FileManager::createDirectory(file); }, CocoaError::fileWriteFileExists},
        {"list a file", [&] { FileManager::contentsOfDirectory(file); }, CocoaError::fileNoSuchFile},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            c.operation();
            ADD_FAILURE() << "no error";
        } catch (const NSError& error) {
            EXPECT_EQ(error.domain(), CocoaError::domain);
            EXPECT_EQ(error.code(), c.code) << error.what();
        }
    }
    // Nothing was lost on the way.
    EXPECT_EQ(testsupport::readBytes(file), "a");
    EXPECT_EQ(testsupport::readBytes(other), "b");
}

TEST(FileManagerTest, RemovesFoldersWholeAndListsOneLevelSorted) {
    TemporaryDirectory folder;
    testsupport::writeFileMakingFolders(folder.path() / "b.json", "{}");
    testsupport::writeFileMakingFolders(folder.path() / "a.mlmodelc" / "weights" / "w.bin", "w");
    EXPECT_EQ(FileManager::contentsOfDirectory(folder.path()), (std::vector<std::string>{"a.mlmodelc", "b.json"}));
    bool isDirectory = false;
    EXPECT_TRUE(FileManager::fileExists(folder.path() / "a.mlmodelc", &isDirectory));
    EXPECT_TRUE(isDirectory);
    FileManager::removeItem(folder.path() / "a.mlmodelc");
    EXPECT_FALSE(FileManager::fileExists(folder.path() / "a.mlmodelc"));
    EXPECT_EQ(FileManager::fileSize(folder.path() / "b.json"), 2u);
    EXPECT_EQ(FileManager::fileSize(folder.path()), std::nullopt);
}

TEST(FileManagerTest, MovingAsideNeverReplacesWhatIsThere) {
    TemporaryDirectory folder;
    const auto models = folder.path() / "models";
    std::vector<std::filesystem::path> asides;
    for (int i = 0; i < 3; ++i) {
        testsupport::writeFileMakingFolders(models / "w.bin", std::to_string(i));
        asides.push_back(FileManager::moveAside(models));
        EXPECT_FALSE(FileManager::fileExists(models));
    }
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(asides[i].parent_path(), folder.path());
        EXPECT_EQ(asides[i].filename().string().rfind("models.corrupt-", 0), 0u) << asides[i];
        EXPECT_EQ(testsupport::readBytes(asides[i] / "w.bin"), std::to_string(i));
    }
    EXPECT_THROW(FileManager::moveAside(models), platform::NSError);
}

}  // namespace
