#include "tests/Parloquin/app/StandaloneTray.h"

#include <string>
#include <vector>

#include "tests/Platform/desktop/EventLoopWait.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace parloquin_test {
namespace {

// The top-level window of the screen that holds the window, or 0.
unsigned long topLevelOf(Display* display, Window window) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    Window current = window;
    for (;;) {
        if (!XQueryTree(display, current, &root, &parent, &children, &count)) return 0;
        if (children) XFree(children);
        if (parent == root || parent == 0) return current;
        current = parent;
    }
}

}  // namespace

StandaloneTray::StandaloneTray() {
    process_.setProgram(QStringLiteral("trayer"));
    process_.setArguments({QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                           QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("request"),
                           QStringLiteral("--height"), QStringLiteral("28"), QStringLiteral("--SetDockType"),
                           QStringLiteral("true"), QStringLiteral("--tint"), QStringLiteral("0x2b3440"),
                           QStringLiteral("--transparent"), QStringLiteral("true"), QStringLiteral("--alpha"),
                           QStringLiteral("0")});
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start();
    if (!process_.waitForStarted(5000)) return;
    waitUntil([this] { return selectionOwner() != 0; }, std::chrono::milliseconds(10000));
}

StandaloneTray::~StandaloneTray() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

QStringList StandaloneTray::dockedClasses() const {
    QStringList classes;
    Display* display = XOpenDisplay(nullptr);
    if (!display) return classes;
    // Every window below a top-level window of class "trayer", depth first.
    std::vector<Window> pending;
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count; ++i) {
            XClassHint hint{};
            if (!XGetClassHint(display, children[i], &hint)) continue;
            if (hint.res_class && std::string(hint.res_class) == "trayer") pending.push_back(children[i]);
            if (hint.res_name) XFree(hint.res_name);
            if (hint.res_class) XFree(hint.res_class);
        }
        if (children) XFree(children);
    }
    while (!pending.empty()) {
        const Window window = pending.back();
        pending.pop_back();
        if (!XQueryTree(display, window, &root, &parent, &children, &count)) continue;
        for (unsigned i = 0; i < count; ++i) {
            pending.push_back(children[i]);
            XClassHint hint{};
            if (!XGetClassHint(display, children[i], &hint)) continue;
            if (hint.res_class) classes << QString::fromLocal8Bit(hint.res_class);
            if (hint.res_name) XFree(hint.res_name);
            if (hint.res_class) XFree(hint.res_class);
        }
        if (children) XFree(children);
    }
    XCloseDisplay(display);
    return classes;
}

unsigned long StandaloneTray::selectionOwner() const {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 0;
    const std::string name = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(display));
    const Window owner = XGetSelectionOwner(display, XInternAtom(display, name.c_str(), False));
    XCloseDisplay(display);
    return owner;
}

bool StandaloneTray::isRunning() const { return process_.state() == QProcess::Running && selectionOwner() != 0; }

bool StandaloneTray::holds(unsigned long window) const {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;
    // trayer docks icons into its panel, a top-level window of class "trayer".
    const unsigned long top = topLevelOf(display, window);
    bool inTray = false;
    XClassHint hint{};
    if (top != 0 && top != window && XGetClassHint(display, top, &hint)) {
        inTray = hint.res_class && std::string(hint.res_class) == "trayer";
        if (hint.res_name) XFree(hint.res_name);
        if (hint.res_class) XFree(hint.res_class);
    }
    XWindowAttributes attributes{};
    const bool viewable = XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
    XCloseDisplay(display);
    return inTray && viewable;
}

}  // namespace parloquin_test
