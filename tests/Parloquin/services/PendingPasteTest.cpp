// A paste that waits for the user's hands to leave the keyboard, against a fake desktop.
#include "Parloquin/services/PendingPaste.h"

#include <gtest/gtest.h>

#include <QTimer>
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "tests/Parloquin/services/PasteFakes.h"
#include "tests/Platform/desktop/EventLoopWait.h"

namespace parloquin {
namespace {

using Outcome = PendingPaste::Outcome;
using parloquin_test::waitUntil;

constexpr std::chrono::milliseconds kWait{300};

TEST(PendingPasteTest, ThePasteGoesOutOnceNoKeyIsDown) {
    struct Case {
        std::string name;
        bool keysDown;
        int releaseAfterPolls;  // -1: never
        bool refuses;
        Outcome outcome;
        std::size_t keyEvents;
        std::size_t clipboardWrites;  // once, and again after a wait that another program may have used
    };
    const std::vector<Case> cases = {
        {"keys up", false, -1, false, Outcome::pasted, 2, 1},
        {"keys let go while waiting", true, 3, false, Outcome::pasted, 2, 2},
        {"keys held past the wait", true, -1, false, Outcome::keysHeld, 0, 1},
        {"clipboard refuses", false, -1, true, Outcome::clipboardFailed, 0, 1},
        {"clipboard refuses, keys down", true, -1, true, Outcome::clipboardFailed, 0, 1},
    };
    for (const Case& c : cases) {
        parloquin_test::FakeDesktop desktop;
        desktop.keyboard->keysDown = c.keysDown;
        desktop.pasteboard->refuses = c.refuses;
        PendingPaste paste(kWait);
        std::optional<Outcome> outcome;
        // No key event may go out while a key is still down.
        desktop.keyboard->onPost = [&](const platform::CGEvent&) { EXPECT_FALSE(desktop.keyboard->keysDown) << c.name; };
        paste.start("Text", [&](Outcome o) {
            EXPECT_FALSE(outcome) << c.name << ": told twice";
            outcome = o;
        });
        QTimer release;
        if (c.releaseAfterPolls >= 0) {
            QObject::connect(&release, &QTimer::timeout, [&] {
                if (desktop.keyboard->keyStateReads > c.releaseAfterPolls) desktop.keyboard->keysDown = false;
            });
            release.start(5);
        }
        ASSERT_TRUE(waitUntil([&] { return outcome.has_value(); })) << c.name;
        EXPECT_EQ(*outcome, c.outcome) << c.name;
        EXPECT_FALSE(paste.isWaiting()) << c.name;
        EXPECT_EQ(desktop.keyboard->events.size(), c.keyEvents) << c.name;
        EXPECT_EQ(std::count_if(desktop.pasteboard->log.begin(), desktop.pasteboard->log.end(),
                                [](const std::string& entry) { return entry.rfind("set ", 0) == 0; }),
                  static_cast<std::ptrdiff_t>(c.clipboardWrites))
            << c.name;
        // Whatever happens to the paste, a text the clipboard took stays there.
        EXPECT_EQ(desktop.pasteboard->contents, c.refuses ? std::nullopt : std::optional<std::string>("Text"))
            << c.name;
    }
}

TEST(PendingPasteTest, ANewPasteEndsTheOneStillWaiting) {
    parloquin_test::FakeDesktop desktop;
    desktop.keyboard->keysDown = true;
    PendingPaste paste(std::chrono::seconds(30));
    std::vector<std::pair<std::string, Outcome>> told;
    paste.start("erster", [&](Outcome o) { told.emplace_back("erster", o); });
    EXPECT_TRUE(paste.isWaiting());
    paste.start("zweiter", [&](Outcome o) { told.emplace_back("zweiter", o); });
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0], std::make_pair(std::string("erster"), Outcome::superseded));

    desktop.keyboard->keysDown = false;
    ASSERT_TRUE(waitUntil([&] { return told.size() == 2; }));
    EXPECT_EQ(told[1], std::make_pair(std::string("zweiter"), Outcome::pasted));
    EXPECT_EQ(desktop.pasteboard->contents, "zweiter");
    EXPECT_EQ(desktop.keyboard->events.size(), 2u);
}

}  // namespace
}  // namespace parloquin
