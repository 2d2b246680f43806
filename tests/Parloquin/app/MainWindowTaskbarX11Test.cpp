// The task bar entry the user keeps ("showDockIcon") on a real X server. A task bar lists the
// windows that are mapped or iconified and lack the skip-taskbar state; the test server has no
// window manager, so the test reads what the window tells one: its map state, its hints and the
// requests it sends to the root window.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QTest>
#include <algorithm>
#include <string>
#include <vector>

#include "Parloquin/app/AppDelegate.h"
#include "Parloquin/app/QtApplicationActivation.h"
#include "tests/Parloquin/app/AppHarness.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

using parloquin::AppDelegate;
using parloquin::MainWindowView;
using parloquin_test::AppHarness;
using parloquin_test::waitUntil;

// What a window manager would learn of one window, over a connection of the test's own that also
// hears the requests clients send to the root window.
class WindowManagerView {
public:
    WindowManagerView() : display_(XOpenDisplay(nullptr)) {
        if (display_) XSelectInput(display_, DefaultRootWindow(display_), StructureNotifyMask | SubstructureNotifyMask);
    }
    ~WindowManagerView() {
        if (display_) XCloseDisplay(display_);
    }
    bool connected() const { return display_ != nullptr; }

    bool mapped(WId window) {
        XWindowAttributes attributes{};
        return XGetWindowAttributes(display_, window, &attributes) && attributes.map_state != IsUnmapped;
    }

    // The state the window asks to be mapped in (WM_HINTS).
    int initialState(WId window) {
        XWMHints* hints = XGetWMHints(display_, window);
        const int state = hints && (hints->flags & StateHint) ? hints->initial_state : NormalState;
        if (hints) XFree(hints);
        return state;
    }

    std::vector<std::string> netWmState(WId window) {
        std::vector<std::string> names;
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, remaining = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(display_, window, atom("_NET_WM_STATE"), 0, 64, False, XA_ATOM, &type, &format, &count,
                           &remaining, &data);
        for (unsigned long i = 0; data && i < count; ++i) {
            char* name = XGetAtomName(display_, reinterpret_cast<Atom*>(data)[i]);
            names.emplace_back(name);
            XFree(name);
        }
        if (data) XFree(data);
        return names;
    }
    bool skipsTaskbar(WId window) {
        const auto names = netWmState(window);
        return std::find(names.begin(), names.end(), "_NET_WM_STATE_SKIP_TASKBAR") != names.end();
    }

    // Whether the window asked the window manager to iconify it (WM_CHANGE_STATE, IconicState)
    // since the last call.
    bool askedToIconify(WId window) {
        bool asked = false;
        XSync(display_, False);
        while (XPending(display_)) {
            XEvent event;
            XNextEvent(display_, &event);
            if (event.type == ClientMessage && event.xclient.window == window &&
                event.xclient.message_type == atom("WM_CHANGE_STATE") && event.xclient.data.l[0] == IconicState)
                asked = true;
        }
        return asked;
    }

    // The close button of a window manager: WM_DELETE_WINDOW.
    void close(WId window) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = atom("WM_PROTOCOLS");
        event.xclient.format = 32;
        event.xclient.data.l[0] = long(atom("WM_DELETE_WINDOW"));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display_, window, False, NoEventMask, &event);
        XFlush(display_);
    }

private:
    Atom atom(const char* name) { return XInternAtom(display_, name, False); }

    Display* display_;
};

class MainWindowTaskbarX11Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "needs an X server (DISPLAY)";
        ASSERT_TRUE(wm.connected());
        ASSERT_TRUE(harness.notificationsStarted);
        harness.store.defaults().setBool("hasShownFirstLaunchExplanation", true);
    }
    // The shell with the real task bar listing.
    AppDelegate& start() {
        parloquin::AppEnvironment environment = harness.environment();
        environment.application = std::make_shared<parloquin::QtApplicationActivation>();
        harness.delegate = std::make_unique<AppDelegate>(environment);
        harness.delegate->applicationDidFinishLaunching();
        return *harness.delegate;
    }
    void setKept(bool kept) { ASSERT_TRUE(harness.store.defaults().setBool("showDockIcon", kept)); }

    WindowManagerView wm;
    AppHarness harness;
};

// At launch the window is made minimised, and listed, so that the entry is there; the setting
// turned off takes it away, turned on brings it back.
TEST_F(MainWindowTaskbarX11Test, TheKeptEntryIsThereFromTheLaunchOn) {
    setKept(true);
    AppDelegate& delegate = start();
    ASSERT_TRUE(waitUntil([&] { return delegate.mainWindow() && wm.mapped(delegate.mainWindow()->winId()); }));
    MainWindowView* window = delegate.mainWindow();
    const WId id = window->winId();
    EXPECT_TRUE(window->isMinimized());
    EXPECT_EQ(wm.initialState(id), IconicState);
    EXPECT_FALSE(wm.skipsTaskbar(id));

    setKept(false);
    EXPECT_TRUE(waitUntil([&] { return !wm.mapped(id); }));
    EXPECT_FALSE(window->isVisible());

    setKept(true);
    EXPECT_TRUE(waitUntil([&] { return wm.mapped(id); }));
    EXPECT_EQ(wm.initialState(id), IconicState);
    EXPECT_FALSE(wm.skipsTaskbar(id));
    waitUntil([&] { return !harness.notifications.received.empty(); });
}

// While the entry is kept, the window manager's close button minimises the window: it asks to be
// iconified and stays mapped and listed.
TEST_F(MainWindowTaskbarX11Test, TheCloseButtonMinimisesTheWindowWhileTheEntryIsKept) {
    AppDelegate& delegate = start();
    delegate.openSettings();
    ASSERT_TRUE(waitUntil([&] { return delegate.mainWindow() != nullptr; }));
    MainWindowView* window = delegate.mainWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    const WId id = window->winId();
    setKept(true);
    waitUntil([&] { return window->minimizesOnClose(); });

    wm.askedToIconify(id);
    wm.close(id);
    EXPECT_TRUE(waitUntil([&] { return wm.askedToIconify(id); }));
    EXPECT_TRUE(window->isMinimized());
    EXPECT_TRUE(wm.mapped(id));
    EXPECT_FALSE(wm.skipsTaskbar(id));

    setKept(false);
    EXPECT_TRUE(waitUntil([&] { return !wm.mapped(id); }));
    waitUntil([&] { return !harness.notifications.received.empty(); });
}

// Without the setting the close button hides the window, as before: no entry is left.
TEST_F(MainWindowTaskbarX11Test, WithoutTheSettingClosingHidesTheWindow) {
    AppDelegate& delegate = harness.launch();
    EXPECT_EQ(delegate.mainWindow(), nullptr);
    delegate.openSettings();
    MainWindowView* window = delegate.mainWindow();
    ASSERT_TRUE(window);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    wm.close(window->winId());
    EXPECT_TRUE(waitUntil([&] { return !wm.mapped(window->winId()); }));
    EXPECT_FALSE(window->isVisible());
}

}  // namespace
