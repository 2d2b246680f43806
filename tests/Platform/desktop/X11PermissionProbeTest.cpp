#include "Platform/desktop/X11PermissionProbe.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "Platform/desktop/X11Connection.h"

namespace platform {
namespace {

class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnv() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(X11PermissionProbe, GrantsFollowTheSessionAndTheServer) {
    auto connection = X11Connection::open();
    ASSERT_TRUE(connection) << "needs an X server (DISPLAY)";
    const struct {
        const char* name;
        const char* waylandDisplay;
        const char* sessionType;
        bool granted;
    } cases[] = {
        {"X11 session", nullptr, "x11", true},
        {"no session type", nullptr, nullptr, true},
        {"Wayland display set", "wayland-0", nullptr, false},
        {"Wayland session type", nullptr, "wayland", false},
        {"empty Wayland display", "", "x11", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedEnv display("WAYLAND_DISPLAY", c.waylandDisplay);
        ScopedEnv session("XDG_SESSION_TYPE", c.sessionType);
        X11PermissionProbe probe(connection);
        EXPECT_EQ(probe.isAccessibilityTrusted(false), c.granted);
        EXPECT_EQ(probe.isAccessibilityTrusted(true), c.granted);
        EXPECT_EQ(probe.canMonitorInput(), c.granted);
    }

    ScopedEnv display("WAYLAND_DISPLAY", nullptr);
    ScopedEnv session("XDG_SESSION_TYPE", nullptr);
    X11PermissionProbe withoutServer(nullptr);
    EXPECT_FALSE(withoutServer.isAccessibilityTrusted(false));
    EXPECT_FALSE(withoutServer.canMonitorInput());
}

}  // namespace
}  // namespace platform
