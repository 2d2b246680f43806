// The program started where no X server can be reached: one line that says what it needs, and
// status 1, instead of Qt's abort.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "tests/Parloquin/app/ParloquinProcess.h"
#include "tests/Platform/desktop/PrivateSessionBus.h"
#include "tests/support/TemporaryDirectory.h"

namespace {

using parloquin_test::ParloquinProcess;

TEST(ProgramWithoutDisplayTest, SaysInOneLineWhatItNeedsAndEndsWithStatusOne) {
    struct Case {
        const char* name;
        const char* display;         // nullptr: unset
        const char* waylandDisplay;  // nullptr: unset
        std::string line;
    };
    const Case cases[] = {
        {"no display", nullptr, nullptr,
         "Parloquin needs an X11 display, and DISPLAY is not set: start it in a graphical session.\n"},
        {"Wayland without XWayland", nullptr, "wayland-0",
         "Parloquin needs an X11 display, and this Wayland session offers none (DISPLAY is not set): "
         "start it in a session with XWayland.\n"},
        {"empty DISPLAY", "", nullptr,
         "Parloquin needs an X11 display, and DISPLAY is not set: start it in a graphical session.\n"},
        {"unreachable display", ":4711", nullptr,
         "Parloquin needs an X11 display, and the one DISPLAY names (:4711) cannot be opened.\n"},
    };
    for (const Case& c : cases) {
        testsupport::TemporaryDirectory home;
        ParloquinProcess program(home.path());
        program.environment.remove("DISPLAY");
        program.environment.remove("WAYLAND_DISPLAY");
        if (c.display) program.environment.insert("DISPLAY", c.display);
        if (c.waylandDisplay) program.environment.insert("WAYLAND_DISPLAY", c.waylandDisplay);
        ASSERT_TRUE(program.start()) << c.name;
        ASSERT_TRUE(program.waitForExit()) << c.name;
        EXPECT_FALSE(program.crashed()) << c.name;
        EXPECT_EQ(program.exitCode(), 1) << c.name;
        EXPECT_EQ(program.standardError(), c.line) << c.name;
        // Nothing was written before it ended.
        EXPECT_TRUE(std::filesystem::is_empty(home.path() / "config")) << c.name;
    }
}

// The offline import needs no display: one line with the result, and the exit status.
TEST(ProgramWithoutDisplayTest, ImportsACheckpointFileTheUserHasAndSaysWhereItWent) {
    namespace fs = std::filesystem;
    testsupport::TemporaryDirectory home;
    const fs::path fixture = fs::path(PARLOQUIN_SOURCE_DIR) / "tests/fixtures/asr/tiny-parakeet-tdt.nemo";
    const fs::path folder = home.path() / "data/RarivOredu/Models/parakeet-tdt-0.6b-v3-coreml";
    struct Case {
        const char* name;
        QStringList arguments;
        int status;
        std::string output;
        std::string error;
    };
    const Case cases[] = {
        {"a checkpoint", {"--import-model", QString::fromStdString(fixture.string())}, 0,
         "Imported the v3 speech models from " + fixture.string() + " into " + folder.string() + "\n", ""},
        {"no file named", {"--import-model"}, 2, "", "Usage: parloquin --import-model FILE (a .nemo checkpoint)\n"},
        {"a file that is not there", {"--import-model", "/nowhere/model.nemo"}, 1, "",
         "Could not import /nowhere/model.nemo: ASR model 'model.nemo' not found at: /nowhere/model.nemo\n"},
        {"a file that is no checkpoint", {"--import-model", QString::fromStdString((home.path() / "config").string())},
         1, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ParloquinProcess program(home.path());
        program.environment.remove("DISPLAY");
        program.command += c.arguments;
        program.keepStandardOutput = true;
        ASSERT_TRUE(program.start());
        ASSERT_TRUE(program.waitForExit(std::chrono::milliseconds(120000)));
        EXPECT_EQ(program.exitCode(), c.status);
        EXPECT_EQ(program.standardOutput(), c.output);
        if (!c.error.empty()) {
            EXPECT_EQ(program.standardError(), c.error);
        } else if (c.status != 0) {
            // One line that says why.
            const std::string error = program.standardError();
            EXPECT_EQ(error.rfind("Could not import ", 0), 0u) << error;
            EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), 1) << error;
        }
    }
    EXPECT_TRUE(fs::exists(folder / "Encoder.mlmodelc"));
    EXPECT_TRUE(fs::exists(folder / "parakeet_vocab.json"));
}

// What the command line asks for that needs neither a display nor the models: it ends at once,
// writes nothing, and starts nothing.
TEST(ProgramWithoutDisplayTest, HelpVersionAndMisusedOptionsEndWithoutStarting) {
    struct Case {
        QStringList arguments;
        int status;
        std::string outputStart;
        std::string error;
    };
    const Case cases[] = {
        {{"--help"}, 0, "Usage: parloquin [options]\n", ""},
        {{"--version"}, 0, "Parloquin ", ""},
        {{"--bogus"}, 2, "", "Unknown option 'bogus'. See parloquin --help.\n"},
        {{"--toggle", "--stop"}, 2, "", "--toggle and --stop cannot be combined. See parloquin --help.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        testsupport::TemporaryDirectory home;
        ParloquinProcess program(home.path());
        program.environment.remove("DISPLAY");
        program.environment.remove("WAYLAND_DISPLAY");
        program.command += c.arguments;
        program.keepStandardOutput = true;
        ASSERT_TRUE(program.start());
        ASSERT_TRUE(program.waitForExit());
        EXPECT_EQ(program.exitCode(), c.status);
        const std::string output = program.standardOutput();
        EXPECT_EQ(output.rfind(c.outputStart, 0), 0u) << output;
        if (c.outputStart.empty()) {
            EXPECT_EQ(output, "");
        }
        EXPECT_EQ(program.standardError(), c.error);
        EXPECT_TRUE(std::filesystem::is_empty(home.path() / "config"));
        EXPECT_TRUE(std::filesystem::is_empty(home.path() / "data"));
    }
}

// --stop with no Parloquin running has nothing to stop, and starts nothing (a release binding).
TEST(ProgramWithoutDisplayTest, StopWithoutARunningParloquinEndsAndStartsNothing) {
    parloquin_test::PrivateSessionBus bus;  // no other test's Parloquin on it
    testsupport::TemporaryDirectory home;
    ParloquinProcess program(home.path());
    program.environment.remove("DISPLAY");
    program.environment.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
    program.command += QStringList{"--stop"};
    ASSERT_TRUE(program.start());
    ASSERT_TRUE(program.waitForExit());
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_EQ(program.standardError(), "Parloquin is not running: there is no recording to stop.\n");
    EXPECT_TRUE(std::filesystem::is_empty(home.path() / "config"));
}

}  // namespace
