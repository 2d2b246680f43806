// Dictated text into the focused window on headless sway and KWin with XWayland: a native window
// gets it through the compositor's keyboard (wlroots' virtual keyboard, KWin's fake input), an X
// window through XTest, and the clipboard holds it for native readers (data-control).
#include <gtest/gtest.h>

#include "Parloquin/services/PasteHelper.h"
#include "Parloquin/services/TextDelivery.h"
#include "Platform/desktop/X11Connection.h"
#include "Platform/desktop/wayland/WaylandConnection.h"
#include "Platform/desktop/wayland/WaylandDataControlPasteboard.h"
#include "tests/Platform/desktop/WaylandCompositor.h"
#include "tests/Parloquin/services/DesktopFakes.h"
#include "tests/support/ScopedEnvironment.h"

namespace {

using parloquin::PasteHelper;
using parloquin::TextDelivery;
using parloquin_test::WaylandCompositor;
using platform::WaylandDataControlPasteboard;
using Kind = WaylandCompositor::Kind;
using WindowKind = WaylandCompositor::WindowKind;

// Parloquin as a client of the compositor: its environment, its clipboards, its delivery.
class Session {
public:
    explicit Session(const WaylandCompositor& compositor) {
        // The desktop put back afterwards is made now, on the test session's display: made later it
        // would hold this compositor's X server past its end.
        PasteHelper::desktop();
        for (auto it = compositor.clientVariables().begin(); it != compositor.clientVariables().end(); ++it)
            environment_.set(it.key().toStdString(), it.value().toStdString());
        connection_ = platform::WaylandConnection::open();
        delivery = TextDelivery::forSession(platform::X11Connection::open());
        clipboard = WaylandDataControlPasteboard::create(WaylandDataControlPasteboard::Selection::clipboard, connection_);
        auto primary = WaylandDataControlPasteboard::create(WaylandDataControlPasteboard::Selection::primary, connection_);
        previous_ = PasteHelper::setDesktop(
            {clipboard, delivery, std::make_shared<parloquin_test::FakePermissions>(), std::move(primary)});
    }
    ~Session() { PasteHelper::setDesktop(previous_); }

    std::shared_ptr<TextDelivery> delivery;
    std::shared_ptr<platform::NSPasteboard> clipboard;

private:
    testsupport::ScopedEnvironment environment_;
    std::shared_ptr<platform::WaylandConnection> connection_;
    PasteHelper::Desktop previous_;
};

class TextDeliveryWaylandTest : public ::testing::TestWithParam<Kind> {};

TEST_P(TextDeliveryWaylandTest, TheTextArrivesInTheFocusedNativeAndXWindowAndStaysOnTheClipboard) {
    WaylandCompositor compositor(GetParam());
    ASSERT_TRUE(compositor.isRunning()) << compositor.failure().toStdString();
    Session session(compositor);
    ASSERT_NE(session.clipboard, nullptr) << "the compositor offers data-control";
    const TextDelivery::Route nativeRoute =
        GetParam() == Kind::kwin ? TextDelivery::Route::kwinFakeInput : TextDelivery::Route::virtualKeyboard;

    struct Case {
        WindowKind window;
        TextDelivery::Route route;
        std::string text;
    };
    const std::vector<Case> cases = {
        {WindowKind::native, nativeRoute, "Grüße aus Wayland – äöü ß"},
        {WindowKind::x11, TextDelivery::Route::xtest, "Ein X-Fenster bekommt es über XTest"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.window == WindowKind::native ? "native window" : "X window");
        auto window = compositor.openWindow(c.window, c.window == WindowKind::native ? "Nativ" : "X11");
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(compositor.focus(*window));
        EXPECT_EQ(session.delivery->route(), c.route) << TextDelivery::name(session.delivery->route());
        EXPECT_EQ(PasteHelper::pasteAtCursor(c.text), PasteHelper::PasteResult::pasted);
        EXPECT_TRUE(window->waitForText(c.text)) << window->text();
        // A native program that reads the clipboard later gets the text too.
        EXPECT_EQ(compositor.readClipboard(), c.text);
    }
}

// Qt's clipboard reads its own text back and reports success where the desktop never took it; the
// data-control copy is read back through the compositor. Without it the copy is said to fail.
TEST_P(TextDeliveryWaylandTest, ACopyCountsOnlyOnceTheCompositorGivesTheTextBack) {
    auto compositor = std::make_unique<WaylandCompositor>(GetParam());
    ASSERT_TRUE(compositor->isRunning()) << compositor->failure().toStdString();
    auto connection = platform::WaylandConnection::open(compositor->value("WAYLAND_DISPLAY").toUtf8().constData());
    auto clipboard = WaylandDataControlPasteboard::create(WaylandDataControlPasteboard::Selection::clipboard, connection);
    auto primary = WaylandDataControlPasteboard::create(WaylandDataControlPasteboard::Selection::primary, connection);
    ASSERT_TRUE(clipboard && primary);

    EXPECT_TRUE(clipboard->setString("in der Zwischenablage"));
    EXPECT_TRUE(primary->setString("in der Auswahl"));
    EXPECT_EQ(clipboard->string(), "in der Zwischenablage");
    EXPECT_EQ(compositor->readClipboard(), "in der Zwischenablage");
    EXPECT_EQ(compositor->readClipboard(true), "in der Auswahl");
    // A long text goes through the pipe in parts.
    const std::string longText(300000, 'x');
    EXPECT_TRUE(clipboard->setString(longText));
    EXPECT_EQ(compositor->readClipboard(), longText);

    compositor.reset();
    EXPECT_FALSE(clipboard->setString("nach dem Ende des Desktops"));
    EXPECT_EQ(clipboard->string(), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Compositors, TextDeliveryWaylandTest, ::testing::Values(Kind::sway, Kind::kwin),
                         [](const auto& info) { return std::string(WaylandCompositor::name(info.param)); });

}  // namespace
