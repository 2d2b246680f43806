#include "Platform/desktop/SMAppService.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <optional>
#include <sstream>

#include "Platform/system/NSError.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TemporaryDirectory.h"

namespace {

using platform::NSError;
using platform::SMAppService;

std::string contents(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string execLine(const std::string& entry) {
    std::istringstream lines(entry);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("Exec=", 0) == 0) return line;
    return {};
}

TEST(SMAppServiceTest, TheEntryStartsThisProgramWhereverItLies) {
    struct Case {
        const char* program;
        const char* exec;
    };
    // Quoted as one argument; inside the quotes " ` $ \ are escaped, % is doubled (a field code
    // otherwise), and the value's own backslash escapes come on top.
    const Case cases[] = {
        {"/opt/parloquin/parloquin", R"(Exec="/opt/parloquin/parloquin")"},
        {"/home/anna/Meine Programme/parloquin", R"(Exec="/home/anna/Meine Programme/parloquin")"},
        {"/home/anna/100% \"neu\"/parloquin", R"(Exec="/home/anna/100%% \\"neu\\"/parloquin")"},
        {"/tmp/$HOME/`x`/a\\b/parloquin", R"(Exec="/tmp/\\$HOME/\\`x\\`/a\\\\b/parloquin")"},
        {"/tmp/zeile\nzwei/parloquin", R"(Exec="/tmp/zeile\nzwei/parloquin")"},
    };
    for (const auto& c : cases) {
        const std::string entry = SMAppService::desktopEntry(c.program);
        EXPECT_EQ(execLine(entry), c.exec) << c.program;
        EXPECT_EQ(entry.rfind("[Desktop Entry]\nType=Application\nName=Parloquin\n", 0), 0u);
        // The desktop's autostart settings show it with the application's icon.
        EXPECT_NE(entry.find("\nIcon=parloquin\n"), std::string::npos) << entry;
    }
}

// The program the entry names is the one that runs: the installed one, or a build tree's. After a
// package upgrade replaced the program file, the running one is still named by its path.
TEST(SMAppServiceTest, AProgramReplacedWhileItRunsIsNamedByItsPath) {
    struct Case {
        const char* link;
        const char* program;
    };
    const Case cases[] = {
        {"/usr/bin/parloquin", "/usr/bin/parloquin"},
        {"/usr/bin/parloquin (deleted)", "/usr/bin/parloquin"},
        {"/home/anna/src/build/app/Parloquin/parloquin", "/home/anna/src/build/app/Parloquin/parloquin"},
        {"/home/anna/a (deleted) b/parloquin", "/home/anna/a (deleted) b/parloquin"},
        {" (deleted)", " (deleted)"},
    };
    for (const auto& c : cases) EXPECT_EQ(SMAppService::programPath(c.link), c.program) << c.link;
}

TEST(SMAppServiceTest, TheEntryLivesInTheUsersAutostartFolder) {
    testsupport::ScopedEnvironment environment;
    environment.set("XDG_CONFIG_HOME", "/home/anna/.config-x");
    EXPECT_EQ(SMAppService::defaultEntryPath(), "/home/anna/.config-x/autostart/parloquin.desktop");
    environment.set("XDG_CONFIG_HOME", "relative");
    environment.set("HOME", "/home/anna");
    EXPECT_EQ(SMAppService::defaultEntryPath(), "/home/anna/.config/autostart/parloquin.desktop");
    // This very build is what starts.
    const std::string exec = execLine(SMAppService::desktopEntry(std::filesystem::read_symlink("/proc/self/exe")));
    EXPECT_NE(exec.find("platform_desktop_session_tests"), std::string::npos) << exec;
}

TEST(SMAppServiceTest, RegisteringWritesTheEntryAndUnregisteringRemovesIt) {
    testsupport::TemporaryDirectory home;
    const auto entry = home / "autostart/parloquin.desktop";  // the folder does not exist yet
    SMAppService service(entry, "/opt/parloquin/parloquin");

    service.registerLoginItem();
    EXPECT_EQ(contents(entry), SMAppService::desktopEntry("/opt/parloquin/parloquin"));
    service.registerLoginItem();  // again: the same file
    EXPECT_EQ(contents(entry), SMAppService::desktopEntry("/opt/parloquin/parloquin"));
    // Written whole under another name first: nothing else is left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(home / "autostart"), {}), 1);

    service.unregisterLoginItem();
    EXPECT_FALSE(std::filesystem::exists(entry));
    EXPECT_NO_THROW(service.unregisterLoginItem());  // nothing left to remove
}

// What the desktop will do at login, read from the entry as it stands: the desktops' own settings
// switch an entry off by writing one of two keys into it.
TEST(SMAppServiceTest, TheStatusIsWhatTheDesktopWillStart) {
    using Status = SMAppService::Status;
    const std::string ours = SMAppService::desktopEntry("/opt/parloquin/parloquin");
    struct Case {
        const char* name;
        std::optional<std::string> entry;  // nothing: no file
        Status status;
    };
    const Case cases[] = {
        {"no entry", std::nullopt, Status::notRegistered},
        {"our entry", ours, Status::enabled},
        {"switched off", ours + "Hidden=true\n", Status::notRegistered},
        {"switched off with spaces", ours + "Hidden = true\r\n", Status::notRegistered},
        {"switched off in GNOME", "[Desktop Entry]\nExec=parloquin\nX-GNOME-Autostart-enabled=false\n",
         Status::notRegistered},
        {"another group's key", ours + "[Desktop Action quit]\nHidden=true\n", Status::enabled},
        {"not a desktop entry", "left by hand\n", Status::notRegistered},
        {"empty", "", Status::notRegistered},
    };
    testsupport::TemporaryDirectory home;
    const auto path = home / "autostart/parloquin.desktop";
    std::filesystem::create_directories(path.parent_path());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(path);
        if (c.entry) std::ofstream(path) << *c.entry;
        EXPECT_EQ(SMAppService(path, "/opt/parloquin/parloquin").status(), c.status);
    }
    EXPECT_EQ(SMAppService("", "/opt/parloquin/parloquin").status(), Status::notRegistered);  // no home folder
    std::filesystem::remove(path);
    std::filesystem::create_directory(path);  // a folder where the entry belongs
    EXPECT_EQ(SMAppService(path, "/opt/parloquin/parloquin").status(), Status::notRegistered);
}

// CI runs as root, for whom permissions are no obstacle: the folders are blocked by files instead.
TEST(SMAppServiceTest, AnEntryThatCannotBeWrittenOrRemovedIsAnError) {
    testsupport::TemporaryDirectory home;
    std::ofstream(home / "autostart") << "a file where the folder belongs";
    SMAppService blocked(home / "autostart/parloquin.desktop", "/opt/parloquin/parloquin");
    try {
        blocked.registerLoginItem();
        FAIL() << "registered into a file";
    } catch (const NSError& error) {
        EXPECT_EQ(error.code(), ENOTDIR);
        EXPECT_NE(error.localizedDescription().find("autostart"), std::string::npos) << error.localizedDescription();
    }

    std::filesystem::create_directories(home / "entry-is-a-folder/parloquin.desktop/inside");
    SMAppService stuck(home / "entry-is-a-folder/parloquin.desktop", "/opt/parloquin/parloquin");
    EXPECT_THROW(stuck.unregisterLoginItem(), NSError);
    EXPECT_TRUE(std::filesystem::exists(home / "entry-is-a-folder/parloquin.desktop"));

    SMAppService nowhere(home / "autostart2/parloquin.desktop", "");
    EXPECT_THROW(nowhere.registerLoginItem(), NSError);
}

}  // namespace
