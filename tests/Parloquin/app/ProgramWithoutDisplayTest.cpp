// The program started where no X server can be reached: one line that says what it needs, and
// status 1, instead of Qt's abort.
#include <gtest/gtest.h>

#include "tests/Parloquin/app/ParloquinProcess.h"
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

}  // namespace
