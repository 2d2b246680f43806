// "Einfügen" on the test X server: our window has the keyboard, an xterm was used before it; the
// text must land in the xterm, not in our window.
#include "Parloquin/views/InsertAtCursor.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QWidget>

#include "Platform/desktop/ApplicationFocus.h"
#include "tests/Platform/desktop/EventLoopWait.h"
#include "tests/Platform/desktop/XTermWindow.h"

namespace parloquin {
namespace {

using parloquin_test::waitUntil;

TEST(InsertAtCursorX11Test, TheTextGoesToTheApplicationUsedBeforeOurWindow) {
    parloquin_test::XTermWindow terminal;
    ASSERT_TRUE(terminal.isReady());

    // Our window takes the keyboard, as a click on its button does.
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* edit = new QLineEdit(&window);
    layout->addWidget(edit);
    window.resize(320, 120);
    window.show();
    window.activateWindow();
    edit->setFocus();
    const auto focus = platform::ApplicationFocus::system();
    ASSERT_TRUE(waitUntil([&] { return focus->hasFocus(window.winId()); }));

    const auto previous = focus->previousWindow();
    ASSERT_TRUE(previous);
    EXPECT_NE(*previous, window.winId()) << "our own windows are never the one before";

    const std::string text = "Hallo aus der Datei";
    InsertAtCursor inserter(focus);
    std::optional<InsertAtCursor::Outcome> outcome;
    inserter.insert(&window, text, [&](InsertAtCursor::Outcome result) { outcome = result; });
    ASSERT_TRUE(waitUntil([&] { return outcome.has_value(); }));
    EXPECT_EQ(*outcome, InsertAtCursor::Outcome::pasted);
    EXPECT_TRUE(waitUntil([&] { return terminal.received() == text; })) << terminal.received();
    EXPECT_TRUE(edit->text().isEmpty()) << "nothing pasted into our own window";
    EXPECT_FALSE(focus->hasFocus(window.winId()));
}

}  // namespace
}  // namespace parloquin
