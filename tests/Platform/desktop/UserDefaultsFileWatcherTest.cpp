#include "Platform/desktop/UserDefaultsFileWatcher.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <optional>

#include <QTimer>

#include "tests/Platform/desktop/EventLoopWait.h"
#include "tests/support/TemporaryDirectory.h"

namespace {

using parloquin_test::waitUntil;
using platform::UserDefaults;

void writeInPlace(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::trunc) << text;
}

// As most editors save: a new file renamed over the old one.
void writeByRename(const std::filesystem::path& path, const std::string& text) {
    const auto temporary = path.string() + ".edit";
    std::ofstream(temporary) << text;
    std::filesystem::rename(temporary, path);
}

TEST(UserDefaultsFileWatcherTest, ChangesToTheFileReachTheObservers) {
    testsupport::TemporaryDirectory home;
    // The store's folder appears only with its first write.
    UserDefaults defaults(home / "Parloquin/defaults.json");
    platform::UserDefaultsFileWatcher watcher(defaults);
    std::optional<bool> heard;
    auto observation = defaults.observe("autoSendText", [&](const std::string& key) { heard = defaults.boolForKey(key); });

    ASSERT_TRUE(defaults.setBool("shareAnalytics", true));
    heard.reset();
    writeByRename(defaults.storePath(), R"({"autoSendText": true})");
    EXPECT_TRUE(waitUntil([&] { return heard == true; }));

    writeInPlace(defaults.storePath(), R"({"autoSendText": false})");
    EXPECT_TRUE(waitUntil([&] { return heard == false; }));

    // Our own writes are taken in too, but change nothing and so call nobody twice.
    int calls = 0;
    auto counting = defaults.observe("shareAnalytics", [&](const std::string&) { ++calls; });
    ASSERT_TRUE(defaults.setBool("shareAnalytics", false));
    writeByRename(home / "unrelated", "x");  // something to wait for in the folder above
    parloquin_test::drainEventLoop();
    EXPECT_FALSE(waitUntil([&] { return calls > 1; }, std::chrono::milliseconds(400)));
    EXPECT_EQ(calls, 1);
}

TEST(UserDefaultsFileWatcherTest, ABrokenEditIsSetAsideAndReported) {
    testsupport::TemporaryDirectory home;
    UserDefaults defaults(home / "defaults.json");
    ASSERT_TRUE(defaults.setBool("autoSendText", true));
    std::optional<UserDefaults::LoadProblem> reported;
    platform::UserDefaultsFileWatcher watcher(defaults, [&](const UserDefaults::LoadProblem& p) { reported = p; });

    writeByRename(defaults.storePath(), R"({"autoSendText": tru)");
    ASSERT_TRUE(waitUntil([&] { return reported.has_value(); }));
    EXPECT_TRUE(std::filesystem::exists(reported->setAsidePath));
    EXPECT_TRUE(defaults.boolForKey("autoSendText"));
}

}  // namespace

namespace {

// Other programs keep writing beside the settings folder (as they do in ~/.config), more often
// than the watcher waits for quiet: an edit of the settings file is still taken in.
TEST(UserDefaultsFileWatcherTest, ABusyFolderAboveDoesNotPutTheReadingOff) {
    testsupport::TemporaryDirectory home;
    UserDefaults defaults(home / "Parloquin/defaults.json");
    ASSERT_TRUE(defaults.setBool("autoSendText", false));
    platform::UserDefaultsFileWatcher watcher(defaults);
    std::optional<bool> heard;
    auto observation = defaults.observe("autoSendText", [&](const std::string& key) { heard = defaults.boolForKey(key); });

    QTimer neighbour;
    int written = 0;
    QObject::connect(&neighbour, &QTimer::timeout, [&] { writeInPlace(home / "other-program.conf", std::to_string(++written)); });
    neighbour.start(20);
    writeByRename(defaults.storePath(), R"({"autoSendText": true})");
    EXPECT_TRUE(waitUntil([&] { return heard == true; }, std::chrono::milliseconds(3000)));
}

}  // namespace
