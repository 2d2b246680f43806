// The activation policy on the test X server: which windows a task bar would list.
#include "Platform/desktop/TaskbarListing.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QWidget>
#include <algorithm>
#include <memory>
#include <vector>

#include "tests/Platform/desktop/EventLoopWait.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

// The window's _NET_WM_STATE atoms, by name, read over a connection of the test's own.
class WindowStates {
public:
    WindowStates() : display_(XOpenDisplay(nullptr)) {}
    ~WindowStates() {
        if (display_) XCloseDisplay(display_);
    }
    bool connected() const { return display_ != nullptr; }

    // Whether the window carries both the skip-taskbar and the skip-pager state.
    bool skipped(const QWidget& window) {
        std::vector<std::string> names;
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, remaining = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(display_, window.winId(), XInternAtom(display_, "_NET_WM_STATE", False), 0, 64, False,
                           XA_ATOM, &type, &format, &count, &remaining, &data);
        for (unsigned long i = 0; data && i < count; ++i) {
            char* name = XGetAtomName(display_, reinterpret_cast<Atom*>(data)[i]);
            names.emplace_back(name);
            XFree(name);
        }
        if (data) XFree(data);
        auto has = [&](const char* n) { return std::find(names.begin(), names.end(), n) != names.end(); };
        const bool taskbar = has("_NET_WM_STATE_SKIP_TASKBAR"), pager = has("_NET_WM_STATE_SKIP_PAGER");
        EXPECT_EQ(taskbar, pager);
        return taskbar && pager;
    }

private:
    Display* display_;
};

TEST(TaskbarListingTest, AccessoryWindowsAreLeftOutOfTaskBarAndSwitcher) {
    ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "needs an X server (DISPLAY)";
    WindowStates states;
    ASSERT_TRUE(states.connected());
    auto& listing = platform::TaskbarListing::shared();

    // Shown while accessory: left out from the start.
    listing.setListed(false);
    QWidget window;
    window.setWindowTitle("Parloquin");
    window.show();
    parloquin_test::drainEventLoop();
    EXPECT_TRUE(states.skipped(window));

    // Regular while shown: listed again; and back.
    listing.setListed(true);
    EXPECT_FALSE(states.skipped(window));
    listing.setListed(false);
    EXPECT_TRUE(states.skipped(window));

    // Hidden and shown again under the other policy.
    window.hide();
    listing.setListed(true);
    window.show();
    parloquin_test::drainEventLoop();
    EXPECT_FALSE(states.skipped(window));

    // Tool windows and dialogs keep the hints they were given, whatever the policy.
    QWidget tool(nullptr, Qt::Tool);
    QWidget dialog(nullptr, Qt::Dialog);
    tool.show();
    dialog.show();
    listing.setListed(false);
    EXPECT_FALSE(states.skipped(tool));
    EXPECT_FALSE(states.skipped(dialog));
    listing.setListed(true);
}

}  // namespace
