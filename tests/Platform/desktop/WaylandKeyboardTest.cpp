// Keys through the compositors' own injection protocols, as Parloquin's Wayland keyboards send them:
// wlroots' virtual keyboard on sway, KWin's fake input on KWin. Each test starts its compositor.
#include <gtest/gtest.h>

#include <vector>

#include "Platform/desktop/CGEvent.h"
#include "Platform/desktop/wayland/KWinFakeInputKeyboard.h"
#include "Platform/desktop/wayland/WaylandConnection.h"
#include "Platform/desktop/wayland/WaylandVirtualKeyboard.h"
#include "tests/Platform/desktop/WaylandCompositor.h"

namespace {

using parloquin_test::TestTextWindow;
using parloquin_test::WaylandCompositor;
using Kind = WaylandCompositor::Kind;
using WindowKind = WaylandCompositor::WindowKind;

// Virtual key codes (US positions) of "hallo welt".
const std::vector<std::uint16_t> kHalloWelt = {4, 0, 37, 37, 31, 49, 13, 14, 37, 17};

std::unique_ptr<platform::EvdevSyntheticKeyboard> keyboardFor(const WaylandCompositor& compositor) {
    auto connection = platform::WaylandConnection::open(compositor.value("WAYLAND_DISPLAY").toUtf8().constData());
    if (compositor.kind() == Kind::kwin) return platform::KWinFakeInputKeyboard::create(connection);
    return platform::WaylandVirtualKeyboard::create(connection);
}

void type(platform::SyntheticKeyboard& keyboard, const std::vector<std::uint16_t>& keys, platform::CGEventFlags flags = 0) {
    for (std::uint16_t key : keys) {
        ASSERT_TRUE(keyboard.post({platform::CGEventType::keyDown, key, flags, false}));
        ASSERT_TRUE(keyboard.post({platform::CGEventType::keyUp, key, flags, false}));
    }
}

class WaylandKeyboardTest : public ::testing::TestWithParam<Kind> {};

TEST_P(WaylandKeyboardTest, TheKeysReachTheFocusedNativeAndXWindow) {
    WaylandCompositor compositor(GetParam());
    ASSERT_TRUE(compositor.isRunning()) << compositor.failure().toStdString();
    // Only the keyboard its compositor offers.
    EXPECT_EQ(platform::KWinFakeInputKeyboard::create(platform::WaylandConnection::open(
                  compositor.value("WAYLAND_DISPLAY").toUtf8().constData())) != nullptr,
              GetParam() == Kind::kwin);
    auto keyboard = keyboardFor(compositor);
    ASSERT_NE(keyboard, nullptr);

    for (WindowKind kind : {WindowKind::native, WindowKind::x11}) {
        SCOPED_TRACE(kind == WindowKind::native ? "native window" : "X window");
        auto window = compositor.openWindow(kind, kind == WindowKind::native ? "Nativ" : "X11");
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(compositor.focus(*window));
        type(*keyboard, kHalloWelt);
        // Shift held with the first letter: the modifier reaches the window with it.
        type(*keyboard, {45}, platform::kCGEventFlagMaskShift);
        EXPECT_TRUE(window->waitForText("hallo weltN")) << window->text();
    }
}

INSTANTIATE_TEST_SUITE_P(Compositors, WaylandKeyboardTest, ::testing::Values(Kind::sway, Kind::kwin),
                         [](const auto& info) { return std::string(WaylandCompositor::name(info.param)); });

}  // namespace

namespace {

// The harness's own keys on mutter go through its RemoteDesktop interface; a window gets the focus
// when it opens there.
TEST(WaylandCompositorTest, KeysReachTheNewestWindowOnMutter) {
    WaylandCompositor compositor(Kind::mutter);
    ASSERT_TRUE(compositor.isRunning()) << compositor.failure().toStdString();
    for (WindowKind kind : {WindowKind::native, WindowKind::x11}) {
        SCOPED_TRACE(kind == WindowKind::native ? "native window" : "X window");
        auto window = compositor.openWindow(kind, kind == WindowKind::native ? "Nativ" : "X11");
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(compositor.focus(*window));
        for (std::uint32_t key : {35u, 30u, 38u, 38u, 24u}) ASSERT_TRUE(compositor.pressChord({key}));
        EXPECT_TRUE(window->waitForText("hallo")) << window->text();
    }
}

}  // namespace
