// How often a keyboard made just before it types loses keys: each run makes a new keyboard and
// types a word into the focused window right away. Prints the count of runs in which every key
// arrived; not part of the suite (a figure, not a check).
#include <gtest/gtest.h>

#include <cstdio>

#include "Platform/desktop/wayland/KWinFakeInputKeyboard.h"
#include "Platform/desktop/wayland/WaylandConnection.h"
#include "Platform/desktop/wayland/WaylandVirtualKeyboard.h"
#include "tests/Platform/desktop/WaylandCompositor.h"

namespace {

using parloquin_test::WaylandCompositor;

TEST(WaylandKeyboardReliability, NewKeyboardTypesAtOnce) {
    const int runs = std::getenv("RUNS") ? std::atoi(std::getenv("RUNS")) : 20;
    const bool swayOnly = std::getenv("SWAY_ONLY") != nullptr;
    for (auto kind : {WaylandCompositor::Kind::sway, WaylandCompositor::Kind::kwin}) {
        if (swayOnly && kind != WaylandCompositor::Kind::sway) continue;
        WaylandCompositor compositor(kind);
        ASSERT_TRUE(compositor.isRunning()) << compositor.failure().toStdString();
        // With another keyboard on the seat (as a desktop has), or as the seat's only one.
        if (std::getenv("OTHER_KEYBOARD")) {
            ASSERT_TRUE(compositor.sendKey(42, false));
        }
        for (auto windowKind : {WaylandCompositor::WindowKind::native, WaylandCompositor::WindowKind::x11}) {
            auto window = compositor.openWindow(windowKind, windowKind == WaylandCompositor::WindowKind::native ? "N" : "X");
            ASSERT_TRUE(window && compositor.focus(*window));
            int whole = 0;
            std::string expected;
            for (int run = 0; run < runs; ++run) {
                auto connection =
                    platform::WaylandConnection::open(compositor.value("WAYLAND_DISPLAY").toUtf8().constData());
                std::unique_ptr<platform::EvdevSyntheticKeyboard> keyboard;
                if (kind == WaylandCompositor::Kind::sway) keyboard = platform::WaylandVirtualKeyboard::create(connection);
                else keyboard = platform::KWinFakeInputKeyboard::create(connection);
                ASSERT_TRUE(keyboard);
                for (std::uint16_t key : {4, 0, 37, 37, 31, 49}) {  // "hallo "
                    keyboard->post({platform::CGEventType::keyDown, key, 0, false});
                    keyboard->post({platform::CGEventType::keyUp, key, 0, false});
                }
                const std::string before = expected;
                expected += "hallo ";
                if (window->waitForText(expected, std::chrono::seconds(3))) ++whole;
                else std::printf("  run %d: got \"%s\"\n", run, window->text().substr(before.size()).c_str());
                expected = window->text();
            }
            std::printf("%s, %s window: %d of %d runs with every key\n", WaylandCompositor::name(kind),
                        windowKind == WaylandCompositor::WindowKind::native ? "native" : "X", whole, runs);
        }
    }
}

}  // namespace
