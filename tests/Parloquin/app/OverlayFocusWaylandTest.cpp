// While Parloquin records, its overlay and floating button show; on a Wayland compositor a window
// that appears takes the keyboard focus, so the overlay took it from the window the text was for,
// and the hotkey's second press (the X grab, through XWayland) no longer reached Parloquin. On Qt's
// Wayland platform they are layer panels now, which the compositor never focuses.
#include <gtest/gtest.h>

#include <QProcess>

#include "tests/Platform/desktop/EventLoopWait.h"
#include "tests/Platform/desktop/WaylandCompositor.h"

// Xlib after Qt: its macros clash with Qt's headers.
#include <X11/Xlib.h>

namespace {

using parloquin_test::WaylandCompositor;
using Kind = WaylandCompositor::Kind;
using WindowKind = WaylandCompositor::WindowKind;

constexpr std::uint32_t kEvdevF9 = 67;
constexpr unsigned kX11F9 = kEvdevF9 + 8;

// A key grabbed on XWayland's root, as Parloquin's X hotkey grabs it.
class RootGrab {
public:
    explicit RootGrab(const QString& display) : display_(XOpenDisplay(display.toUtf8().constData())) {
        if (!display_) return;
        XGrabKey(display_, int(kX11F9), AnyModifier, DefaultRootWindow(display_), False, GrabModeAsync, GrabModeAsync);
        XSync(display_, False);
    }
    ~RootGrab() {
        if (display_) XCloseDisplay(display_);
    }
    bool isOpen() const { return display_ != nullptr; }
    // Waits for the next press of the grabbed key.
    bool pressed() {
        return parloquin_test::waitUntil(
            [this] {
                while (XPending(display_) > 0) {
                    XEvent event;
                    XNextEvent(display_, &event);
                    if (event.type == KeyPress && event.xkey.keycode == kX11F9) return true;
                }
                return false;
            },
            std::chrono::seconds(5));
    }

private:
    Display* display_;
};

class OverlayFocusWaylandTest : public ::testing::TestWithParam<Kind> {};

// The overlay and the button as Parloquin shows them once a recording starts; they end with it.
class Panels {
public:
    explicit Panels(const WaylandCompositor& compositor) {
        QProcessEnvironment environment = compositor.clientEnvironment();
        environment.insert("QT_QPA_PLATFORM", "wayland");
        process_.setProcessEnvironment(environment);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(PARLOQUIN_PANELS_PROGRAM);
        if (parloquin_test::waitUntil([&] { return process_.canReadLine(); }, std::chrono::seconds(20)))
            report_ = process_.readLine().trimmed();
        // Some pictures of both reach the compositor.
        parloquin_test::waitUntil([] { return false; }, std::chrono::milliseconds(1500));
    }
    ~Panels() {
        process_.closeWriteChannel();
        if (!process_.waitForFinished(5000)) process_.kill();
        process_.waitForFinished(5000);
    }
    const QByteArray& report() const { return report_; }

private:
    QProcess process_;
    QByteArray report_;
};

TEST_P(OverlayFocusWaylandTest, TheOverlayLeavesTheFocusWhereItWasAndTheSecondPressArrives) {
    WaylandCompositor compositor(GetParam());
    ASSERT_TRUE(compositor.isRunning()) << compositor.failure().toStdString();
    auto x11 = compositor.openWindow(WindowKind::x11, "X11");
    auto native = compositor.openWindow(WindowKind::native, "Nativ");
    ASSERT_TRUE(native && x11);

    {
        SCOPED_TRACE("native window");
        ASSERT_TRUE(compositor.focus(*native));
        Panels panels(compositor);
        EXPECT_EQ(panels.report(), "shown layer");
        EXPECT_TRUE(native->hasFocus()) << "the native window lost the focus to the overlay";
    }

    SCOPED_TRACE("X window");
    ASSERT_TRUE(compositor.focus(*x11));
    RootGrab grab(compositor.value("DISPLAY"));
    ASSERT_TRUE(grab.isOpen());
    ASSERT_TRUE(compositor.pressChord({kEvdevF9}));
    ASSERT_TRUE(grab.pressed()) << "the first press, before the overlay shows";
    // The first press started a recording: the overlay and the button show.
    Panels panels(compositor);
    EXPECT_EQ(panels.report(), "shown layer");
    EXPECT_TRUE(x11->hasFocus()) << "the X window lost the focus to the overlay";
    ASSERT_TRUE(compositor.pressChord({kEvdevF9}));
    EXPECT_TRUE(grab.pressed()) << "the second press, while the overlay shows";
}

INSTANTIATE_TEST_SUITE_P(Compositors, OverlayFocusWaylandTest, ::testing::Values(Kind::sway, Kind::kwin),
                         [](const auto& info) { return std::string(WaylandCompositor::name(info.param)); });

}  // namespace
