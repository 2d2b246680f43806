// Sounds of the freedesktop sound theme, played on the sound server of scripts/test-session.sh.
#include "Platform/desktop/NSSound.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>

namespace platform {
namespace {

TEST(NSSound, ThemeSoundsPlayToTheirEnd) {
    // The bell, and the two the hotkey feedback plays as a dictation starts and stops.
    for (const char* name : {"bell", "device-added", "device-removed"}) {
        SCOPED_TRACE(name);
        auto finished = std::make_shared<std::promise<bool>>();
        auto result = finished->get_future();
        ASSERT_TRUE(NSSound(name).play([finished](bool completed) { finished->set_value(completed); }));
        ASSERT_EQ(result.wait_for(std::chrono::seconds(10)), std::future_status::ready);
        EXPECT_TRUE(result.get());
    }
}

TEST(NSSound, ASoundTheThemeDoesNotHaveIsNotPlayed) {
    int calls = 0;
    EXPECT_FALSE(NSSound("no-such-sound-in-any-theme").play([&calls](bool) { ++calls; }));
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(NSSound("bell").play()) << "without a completion";
}

}  // namespace
}  // namespace platform
