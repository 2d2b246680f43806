// The desktop's programs as the pages use them: addresses opened by the desktop, folders shown by a
// file manager on the session bus (or by the desktop when there is none), and the sound settings
// found in the program search path and started.
#include "Platform/desktop/NSWorkspace.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "tests/Platform/desktop/EventLoopWait.h"
#include "tests/Platform/desktop/FileManagerServer.h"
#include "tests/Platform/desktop/PrivateSessionBus.h"
#include "tests/support/TemporaryDirectory.h"

namespace {

namespace fs = std::filesystem;
using parloquin_test::FileManagerServer;
using parloquin_test::OpenedURLs;
using parloquin_test::PrivateSessionBus;
using parloquin_test::waitUntil;
using platform::NSWorkspace;

// An executable script that notes how it was called.
void program(const fs::path& path, const fs::path& log) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "#!/bin/sh\necho \"$0 $*\" >> '" << log.string() << "'\n";
    fs::permissions(path, fs::perms::owner_all);
}

std::string contents(const fs::path& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(NSWorkspaceTest, AddressesAreOpenedByTheDesktopAndTextsThatFormNoneAreNot) {
    OpenedURLs desktop({QStringLiteral("https"), QStringLiteral("mailto")});
    NSWorkspace workspace(QDBusConnection(QString()), "");
    struct Case {
        std::string address;
        bool opened;
    };
    const std::vector<Case> cases = {
        {"https://parloquin.example/support#kontakt", true},
        {"mailto:support@parloquin.example", true},
        {"", false},
        {"kein Link", false},
        {"https://exa mple.com/", false},
    };
    for (const Case& c : cases) EXPECT_EQ(workspace.openURL(c.address), c.opened) << c.address;
    EXPECT_EQ(desktop.opened, (QStringList{QStringLiteral("https://parloquin.example/support#kontakt"),
                                           QStringLiteral("mailto:support@parloquin.example")}));
}

TEST(NSWorkspaceTest, AFolderIsShownByTheFileManagerOnTheBusElseByTheDesktop) {
    PrivateSessionBus bus;
    ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon did not start";
    testsupport::TemporaryDirectory root;
    const fs::path log = root / "opened.log";
    program(root / "bin/xdg-open", log);
    NSWorkspace workspace(bus.connect(QStringLiteral("workspace")), (root / "bin").string());
    const fs::path folder = "/home/anna/.local/share/Rariv Oredu";
    std::vector<bool> outcomes;
    auto note = [&outcomes](bool shown) { outcomes.push_back(shown); };

    // No file manager on the bus: the desktop's program for folders.
    EXPECT_TRUE(workspace.selectFile(std::nullopt, folder, note));
    ASSERT_TRUE(waitUntil([&] { return outcomes.size() == 1; }));
    EXPECT_TRUE(outcomes[0]);
    EXPECT_EQ(contents(log), (root / "bin/xdg-open").string() + " /home/anna/.local/share/Rariv Oredu\n");

    FileManagerServer fileManager;
    ASSERT_TRUE(fileManager.start(bus.address()));
    EXPECT_TRUE(workspace.selectFile(std::nullopt, folder, note));
    EXPECT_TRUE(workspace.selectFile(folder / "Models", folder, note));
    ASSERT_TRUE(waitUntil([&] { return fileManager.received.size() == 2 && outcomes.size() == 3; }));
    EXPECT_EQ(fileManager.received[0].method, "ShowFolders");
    EXPECT_EQ(fileManager.received[0].uris, QStringList{QStringLiteral("file:///home/anna/.local/share/Rariv%20Oredu")});
    EXPECT_EQ(fileManager.received[1].method, "ShowItems");
    EXPECT_EQ(fileManager.received[1].uris,
              QStringList{QStringLiteral("file:///home/anna/.local/share/Rariv%20Oredu/Models")});
    EXPECT_EQ(outcomes, (std::vector<bool>{true, true, true}));
}

// A desktop with no program for folders: the caller hears of it instead of a line on stderr.
TEST(NSWorkspaceTest, WithoutAFileManagerTheFolderIsReportedNotShown) {
    testsupport::TemporaryDirectory root;
    fs::create_directories(root / "bin");
    std::ofstream(root / "bin/xdg-open") << "#!/bin/sh\necho \"xdg-open: no method available for opening '$1'\" >&2\nexit 3\n";
    fs::permissions(root / "bin/xdg-open", fs::perms::owner_all);
    struct Case {
        const char* name;
        std::string searchPath;
        bool started;
    };
    const std::vector<Case> cases = {
        {"xdg-open finds no program", (root / "bin").string(), true},
        {"no xdg-open at all", (root / "empty").string(), false},
    };
    for (const Case& c : cases) {
        NSWorkspace workspace(QDBusConnection(QString()), c.searchPath);
        std::optional<bool> shown;
        EXPECT_EQ(workspace.selectFile(std::nullopt, root.path(), [&](bool s) { shown = s; }), c.started) << c.name;
        ASSERT_TRUE(waitUntil([&] { return shown.has_value(); })) << c.name;
        EXPECT_FALSE(*shown) << c.name;
    }
}

TEST(NSWorkspaceTest, TheSoundSettingsAreTheDesktopsOwnBeforeAStandAloneMixer) {
    testsupport::TemporaryDirectory root;
    const fs::path log = root / "started.log";
    const std::string path = (root / "bin").string() + ":" + (root / "more").string();

    NSWorkspace none(QDBusConnection(QString()), path);
    EXPECT_FALSE(none.hasSoundSettings());
    EXPECT_FALSE(none.openSoundSettings());

    program(root / "more/pavucontrol", log);
    std::ofstream(root / "bin/gnome-control-center") << "not executable";
    NSWorkspace mixer(QDBusConnection(QString()), path);
    EXPECT_EQ(mixer.soundSettingsCommand(), (root / "more/pavucontrol").string());

    program(root / "more/gnome-control-center", log);
    NSWorkspace desktop(QDBusConnection(QString()), path);
    ASSERT_EQ(desktop.soundSettingsCommand(), (root / "more/gnome-control-center").string() + " sound");
    ASSERT_TRUE(desktop.openSoundSettings());
    ASSERT_TRUE(waitUntil([&] { return !contents(log).empty(); }));
    EXPECT_EQ(contents(log), (root / "more/gnome-control-center").string() + " sound\n");
}

}  // namespace
