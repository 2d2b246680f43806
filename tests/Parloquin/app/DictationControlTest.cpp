#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Parloquin/app/DictationControl.h"

namespace {

using parloquin::DictationAction;
using parloquin::DictationControl;

const char* name(DictationAction action) {
    switch (action) {
        case DictationAction::none: return "none";
        case DictationAction::start: return "start";
        case DictationAction::stop: return "stop";
    }
    return "?";
}

TEST(DictationControlTest, HotkeyPressAndReleaseFollowTheModeAndTheKind) {
    struct Case {
        std::string mode;
        bool isSingleKey;
        bool isRecording;
        DictationAction onPress;
        DictationAction onRelease;
    };
    using A = DictationAction;
    const std::vector<Case> cases = {
        // hold: a press starts (never stops), a release stops
        {"hold", false, false, A::start, A::none},
        {"hold", false, true, A::none, A::stop},
        {"hold", true, false, A::start, A::none},
        {"hold", true, true, A::none, A::stop},
        // toggle: a press toggles, a release does nothing
        {"toggle", false, false, A::start, A::none},
        {"toggle", false, true, A::stop, A::none},
        {"toggle", true, false, A::start, A::none},
        {"toggle", true, true, A::stop, A::none},
        // auto: hold with a lone modifier, toggle with a combination
        {"auto", true, false, A::start, A::none},
        {"auto", true, true, A::none, A::stop},
        {"auto", false, false, A::start, A::none},
        {"auto", false, true, A::stop, A::none},
        // anything else is auto
        {"", true, true, A::none, A::stop},
        {"", false, true, A::stop, A::none},
        {"Hold", false, true, A::stop, A::none},
        {"halten", true, false, A::start, A::none},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("mode \"" + c.mode + "\", single " + std::to_string(c.isSingleKey) + ", recording " +
                     std::to_string(c.isRecording));
        EXPECT_STREQ(name(DictationControl::press(c.mode, c.isSingleKey, c.isRecording)), name(c.onPress));
        EXPECT_STREQ(name(DictationControl::release(c.mode, c.isSingleKey, c.isRecording)), name(c.onRelease));
    }
}

TEST(DictationControlTest, MenuAndFloatingButtonAlwaysToggle) {
    EXPECT_EQ(DictationControl::toggle(false), DictationAction::start);
    EXPECT_EQ(DictationControl::toggle(true), DictationAction::stop);
}

// A desktop shortcut's command: a repeated --start (key repeat) never stops, a --stop never starts.
TEST(DictationControlTest, CommandsStartOnlyWhileIdleAndStopOnlyWhileRecording) {
    using C = parloquin::DictationCommand;
    using A = DictationAction;
    struct Case {
        C command;
        A whileIdle;
        A whileRecording;
    };
    for (const Case& c : {Case{C::toggle, A::start, A::stop}, Case{C::start, A::start, A::none},
                          Case{C::stop, A::none, A::stop}}) {
        EXPECT_STREQ(name(DictationControl::command(c.command, false)), name(c.whileIdle));
        EXPECT_STREQ(name(DictationControl::command(c.command, true)), name(c.whileRecording));
    }
}

}  // namespace
