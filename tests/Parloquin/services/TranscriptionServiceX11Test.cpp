// One dictation from start to delivery on the test X server: the desktop's clipboard, Ctrl+V and
// Return through XTEST, into a Qt line edit that holds the focus.
#include "Parloquin/services/TranscriptionService.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Platform/desktop/NSPasteboard.h"
#include "tests/Parloquin/services/ServiceFixtures.h"
#include "tests/Platform/desktop/FocusedLineEdit.h"

namespace parloquin {
namespace {

using parloquin_test::waitUntil;

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
        TranscriptionService& service = harness.make();
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
        EXPECT_EQ(service.historyManager().records().size(), 1u) << c.name;
    }
}

}  // namespace
}  // namespace parloquin
