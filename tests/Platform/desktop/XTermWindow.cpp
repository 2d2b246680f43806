#include "tests/Platform/desktop/XTermWindow.h"

#include <QFile>

#include "tests/Platform/desktop/EventLoopWait.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace parloquin_test {
namespace {

constexpr const char* kInstanceName = "parloquin-test-xterm";

}  // namespace

XTermWindow::XTermWindow() : display_(XOpenDisplay(nullptr)) {
    if (!display_ || !folder_.isValid()) return;
    const QString output = folder_.filePath(QStringLiteral("received"));
    QFile(output).open(QIODevice::WriteOnly);
    // "ready" tells the test that cat has taken over the terminal.
    const QString command = QStringLiteral("stty raw -echo && : > '%1.ready' && exec cat > '%1'").arg(output);
    process_.start(QStringLiteral("xterm"), {QStringLiteral("-name"), QString::fromLatin1(kInstanceName),
                                            QStringLiteral("-geometry"), QStringLiteral("80x10+40+40"),
                                            QStringLiteral("-e"), QStringLiteral("sh"), QStringLiteral("-c"),
                                            command});
    if (!process_.waitForStarted(5000)) return;

    unsigned long window = 0;
    const bool shown = waitUntil([&] {
        window = findWindow();
        if (window == 0) return false;
        XWindowAttributes attributes;
        return XGetWindowAttributes(display_, window, &attributes) && attributes.map_state == IsViewable &&
               QFile::exists(output + QStringLiteral(".ready"));
    });
    if (!shown) return;
    XRaiseWindow(display_, window);
    XSetInputFocus(display_, window, RevertToPointerRoot, CurrentTime);
    XSync(display_, False);
    ready_ = waitUntil([&] {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(display_, &focus, &revert);
        return focus == window;
    });
}

XTermWindow::~XTermWindow() {
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(3000)) process_.kill();
        process_.waitForFinished(3000);
    }
    if (display_) XCloseDisplay(display_);
}

unsigned long XTermWindow::findWindow() const {
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count)) return 0;
    unsigned long found = 0;
    for (unsigned i = 0; i < count && found == 0; ++i) {
        XClassHint hint{};
        if (!XGetClassHint(display_, children[i], &hint)) continue;
        if (hint.res_name && std::string(hint.res_name) == kInstanceName) found = children[i];
        if (hint.res_name) XFree(hint.res_name);
        if (hint.res_class) XFree(hint.res_class);
    }
    if (children) XFree(children);
    return found;
}

std::string XTermWindow::received() const {
    QFile file(folder_.filePath(QStringLiteral("received")));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll().toStdString();
}

}  // namespace parloquin_test
