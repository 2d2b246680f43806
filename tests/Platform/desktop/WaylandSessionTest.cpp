// Which Qt platform Parloquin asks for in a Wayland session: its own choice where the compositor has
// a layer shell for the overlay; X11 through XWayland where it has none (mutter).
#include <gtest/gtest.h>

#include "Platform/desktop/QtPlatformChoice.h"
#include "tests/Platform/desktop/WaylandCompositor.h"
#include "tests/support/ScopedEnvironment.h"

namespace {

using parloquin_test::WaylandCompositor;
using Kind = WaylandCompositor::Kind;

TEST(QtPlatformChoiceTest, XWaylandWhereTheCompositorHasNoLayerShellAndTheUsersChoiceAlways) {
    struct Case {
        Kind compositor;
        std::optional<std::string> preferred;
    };
    for (const Case& c : {Case{Kind::sway, std::nullopt}, Case{Kind::kwin, std::nullopt}, Case{Kind::mutter, "xcb"}}) {
        WaylandCompositor compositor(c.compositor);
        ASSERT_TRUE(compositor.isRunning()) << compositor.failure().toStdString();
        testsupport::ScopedEnvironment environment;
        for (auto it = compositor.clientVariables().begin(); it != compositor.clientVariables().end(); ++it)
            environment.set(it.key().toStdString(), it.value().toStdString());
        environment.unset("QT_QPA_PLATFORM");
        EXPECT_EQ(platform::QtPlatformChoice::preferred(), c.preferred) << WaylandCompositor::name(c.compositor);
        environment.set("QT_QPA_PLATFORM", "wayland");
        EXPECT_EQ(platform::QtPlatformChoice::preferred(), std::nullopt);
        // Without XWayland there is no other choice.
        environment.unset("QT_QPA_PLATFORM");
        environment.unset("DISPLAY");
        EXPECT_EQ(platform::QtPlatformChoice::preferred(), std::nullopt);
    }
}

}  // namespace
