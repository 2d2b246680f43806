#pragma once

#include <QDBusConnection>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {
class EvdevSyntheticKeyboard;
}

namespace parloquin_test {

class TestTextWindow;

// A headless Wayland compositor with XWayland, started for a test (scripts/wayland-compositor.sh)
// and ended with this object. Each has its own Wayland socket, X display and (KWin, mutter) session
// bus, so compositor tests run in parallel with each other and with the rest of the suite.
class WaylandCompositor {
public:
    enum class Kind { sway, kwin, mutter };
    enum class WindowKind { native, x11 };
    static const char* name(Kind kind);

    // With the desktop portal: Plasma's on KWin (xdg-desktop-portal-kde) on the compositor's bus,
    // where it is installed; hasDesktopPortal() says whether it runs.
    enum class Portal { none, desktop };
    explicit WaylandCompositor(Kind kind, Portal portal = Portal::none);
    ~WaylandCompositor();
    WaylandCompositor(const WaylandCompositor&) = delete;
    WaylandCompositor& operator=(const WaylandCompositor&) = delete;

    Kind kind() const { return kind_; }
    // False when it could not start (not installed, or it failed): failure() says why.
    bool isRunning() const;
    const QString& failure() const { return failure_; }
    bool hasDesktopPortal() const { return !value(QStringLiteral("PARLOQUIN_DESKTOP_PORTAL")).isEmpty(); }

    // What its clients need: WAYLAND_DISPLAY (a socket path), DISPLAY, XAUTHORITY, XDG_SESSION_TYPE,
    // XDG_CURRENT_DESKTOP, PARLOQUIN_COMPOSITOR, and SWAYSOCK or PARLOQUIN_COMPOSITOR_BUS
    // (and PARLOQUIN_DESKTOP_PORTAL where a portal runs on it).
    const QMap<QString, QString>& clientVariables() const { return variables_; }
    QString value(const QString& name) const { return variables_.value(name); }
    // This process's environment with the client variables laid over it.
    QProcessEnvironment clientEnvironment() const;

    // A text window (tests/Platform/desktop/TextWindowProgram.cpp) on the compositor, shown and
    // reporting; nullptr when it did not show. The compositor gives a new window the focus.
    std::unique_ptr<TestTextWindow> openWindow(WindowKind kind, const QString& title);
    // Gives the window the keyboard focus and waits until it has it: swaymsg on sway, a KWin
    // script on KWin; mutter has no way to say it (a window gets the focus when it opens). For an
    // X window it then waits until XWayland passes keys on (half a second).
    bool focus(TestTextWindow& window);

    // Keys as if typed, through the compositor's own way to inject them: wlroots' virtual keyboard
    // on sway, fake input on KWin, the RemoteDesktop interface on mutter. The keys (Linux evdev
    // codes) go down in order and up in reverse order. False when they could not be sent.
    bool pressChord(const std::vector<std::uint32_t>& evdevCodes);
    bool sendKey(std::uint32_t evdevCode, bool pressed);

    // The clipboard (or primary selection) as a native Wayland client reads it (wl-paste, over the
    // data-control protocol); empty when nothing could be read. Runs the event loop meanwhile, so
    // that a clipboard this process holds can answer.
    std::string readClipboard(bool primary = false);

private:
    bool openKeyboard();
    bool runKWinScript(const QString& script);
    bool startMutterSession();
    bool sendMutterKey(std::uint32_t evdevCode, bool pressed);
    QDBusConnection compositorBus() const;

    Kind kind_;
    QProcess process_;
    QMap<QString, QString> variables_;
    QString failure_;
    std::unique_ptr<platform::EvdevSyntheticKeyboard> keyboard_;
    QString mutterSession_;
};

// A text window of a compositor: what it reports on its standard output.
class TestTextWindow {
public:
    TestTextWindow(const QString& program, WaylandCompositor::WindowKind kind, const QString& title,
                   const QProcessEnvironment& environment);
    ~TestTextWindow();
    TestTextWindow(const TestTextWindow&) = delete;
    TestTextWindow& operator=(const TestTextWindow&) = delete;

    WaylandCompositor::WindowKind kind() const { return kind_; }
    const QString& title() const { return title_; }
    bool isShown() const { return shown_; }
    bool hasFocus() const { return focused_; }
    // The field's text as last reported.
    const std::string& text() const { return text_; }
    // Runs the event loop until the condition on the window holds; false after the limit.
    bool waitForFocus(std::chrono::milliseconds limit = std::chrono::seconds(10));
    bool waitForText(const std::string& text, std::chrono::milliseconds limit = std::chrono::seconds(10));
    // The clipboard as this window's toolkit reads it (a focused native client).
    std::string readClipboard(bool primary = false);

private:
    void readLines();

    WaylandCompositor::WindowKind kind_;
    QString title_;
    QProcess process_;
    bool shown_ = false;
    bool focused_ = false;
    std::string text_;
    std::vector<std::pair<QByteArray, QByteArray>> answers_;
};

}  // namespace parloquin_test
