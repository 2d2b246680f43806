// Dictations from start to delivery on the test X server: the desktop's clipboard, the paste chord
// and Return through XTEST, into a Qt line edit or an xterm that holds the focus, with the user's
// hands still on the keys or another program on the clipboard.
#include "Parloquin/services/TranscriptionService.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Platform/desktop/NSPasteboard.h"
#include "tests/Parloquin/services/ServiceFixtures.h"
#include "tests/Platform/desktop/FocusedLineEdit.h"
#include "tests/Platform/desktop/ForeignGrab.h"
#include "tests/Platform/desktop/XTermWindow.h"
#include "tests/Platform/desktop/XTestKeyboard.h"

// Xlib last: its macros clash with Qt and GoogleTest headers.
#include <X11/X.h>

namespace parloquin {
namespace {

using parloquin_test::waitUntil;
using parloquin_test::XTestKeyboard;

// Lets the event loop run for a while of wall time.
void pause(int milliseconds) { waitUntil([] { return false; }, std::chrono::milliseconds(milliseconds)); }

struct Notice {
    std::string title, body;
};

TEST(TranscriptionServiceX11Test, TheTextLandsWhereTheUserTypes) {
    struct Case {
        std::string name;
        bool pasteInPlace;
        bool autoSend;
        std::string typed;  // what the line edit shows
        int returns;
    };
    const std::string text = "Guten Tag, das ist ein diktierter Satz.";
    const std::vector<Case> cases = {
        {"paste", true, false, text, 0},
        {"paste and send", true, true, text, 1},
        {"copy only", false, true, "", 0},
    };
    for (const Case& c : cases) {
        parloquin_test::FocusedLineEdit target;
        ASSERT_TRUE(target.isFocused()) << c.name;
        platform::NSPasteboard::general()->setString("vorher");

        parloquin_test::ServiceHarness harness;
        harness.store.defaults().setBool("pasteInPlaceMode", c.pasteInPlace);
        harness.store.defaults().setBool("autoSendText", c.autoSend);
        harness.recognizer->setText(text);
        harness.make();
        harness.dictate();

        EXPECT_EQ(platform::NSPasteboard::general()->string(), text) << c.name;
        if (!c.typed.empty()) {
            EXPECT_TRUE(waitUntil([&] { return target.text() == c.typed; })) << c.name << ": " << target.text();
        }
        if (c.returns > 0) {
            EXPECT_TRUE(waitUntil([&] { return target.returnPresses() == c.returns; })) << c.name;
        }
        parloquin_test::drainEventLoop();
        EXPECT_EQ(target.text(), c.typed) << c.name;
        EXPECT_EQ(target.returnPresses(), c.returns) << c.name;
        EXPECT_EQ(harness.history().records().size(), 1u) << c.name;
    }
}

// The toggle hotkey that stopped the dictation is often still down when the text is ready: the
// paste must not go out with Shift and Super, nor into the hotkey's own grab.
TEST(TranscriptionServiceX11Test, ThePasteWaitsUntilTheKeysAreLetGo) {
    struct Case {
        std::string name;
        std::vector<unsigned> held;  // pressed in this order, let go in the reverse one
        int holdMilliseconds;        // after the text is ready
        bool pasted;
    };
    const int tooLong = static_cast<int>(DictationDelivery::kPasteKeyWait.count()) + 500;
    const std::vector<Case> cases = {
        {"hotkey held", {XTestKeyboard::kLeftShift, XTestKeyboard::kLeftSuper, XTestKeyboard::kSpace}, 250, true},
        {"modifiers held", {XTestKeyboard::kLeftShift, XTestKeyboard::kLeftSuper}, 250, true},
        {"held too long", {XTestKeyboard::kLeftShift, XTestKeyboard::kLeftSuper}, tooLong, false},
    };
    const std::string text = "Diktat bei gedrückten Tasten.";
    for (const Case& c : cases) {
        parloquin_test::FocusedLineEdit target;
        ASSERT_TRUE(target.isFocused()) << c.name;
        // The dictation hotkey's grab, as another client holds it here.
        parloquin_test::ForeignGrab hotkey(XTestKeyboard::kSpace, ShiftMask | Mod4Mask);
        ASSERT_EQ(hotkey.error(), 0);
        XTestKeyboard keyboard;

        parloquin_test::ServiceHarness harness;
        harness.recognizer->setText(text);
        TranscriptionService& service = harness.make();
        std::vector<Notice> notices;
        service.onNotice = [&](const std::string& title, const std::string& body) {
            notices.push_back({title, body});
        };
        for (unsigned key : c.held) {
            keyboard.press(key);
            pause(40);
        }
        harness.dictate();
        pause(c.holdMilliseconds);
        for (auto key = c.held.rbegin(); key != c.held.rend(); ++key) {
            keyboard.release(*key);
            pause(60);
        }

        if (c.pasted) {
            EXPECT_TRUE(waitUntil([&] { return target.text() == text; })) << c.name << ": " << target.text();
        }
        pause(200);
        EXPECT_EQ(target.text(), c.pasted ? text : "") << c.name;
        EXPECT_EQ(platform::NSPasteboard::general()->string(), text) << c.name;
        ASSERT_EQ(notices.size(), c.pasted ? 0u : 1u) << c.name;
        if (!c.pasted) {
            EXPECT_EQ(notices[0].title, "Text in der Zwischenablage") << c.name;
            EXPECT_NE(notices[0].body.find("Strg+V"), std::string::npos) << notices[0].body;
        }
    }
}

TEST(TranscriptionServiceX11Test, ATerminalPastesWithShiftInsert) {
    struct Case {
        std::string name;
        bool autoSend;
        std::string received;
    };
    const std::string text = "ls -l im Terminal";
    const std::vector<Case> cases = {
        {"paste", false, text},
        {"paste and send", true, text + "\r"},
    };
    for (const Case& c : cases) {
        parloquin_test::XTermWindow terminal;
        ASSERT_TRUE(terminal.isReady()) << "needs xterm on the test X server";

        parloquin_test::ServiceHarness harness;
        harness.store.defaults().setBool("autoSendText", c.autoSend);
        harness.recognizer->setText(text);
        harness.make();
        harness.dictate();

        EXPECT_TRUE(waitUntil([&] { return terminal.received() == c.received; }))
            << c.name << ": " << terminal.received();
        pause(200);
        EXPECT_EQ(terminal.received(), c.received) << c.name;
    }
}

}  // namespace
}  // namespace parloquin
