// The GlobalShortcuts portal client against a portal of the test's own on a private bus, answering
// as KDE Plasma 5.27 does (the shortcut registered from CreateSession alone, BindShortcuts opening
// the desktop's settings instead, Activated repeated while the keys are held) and as GNOME 48 does
// (nothing from CreateSession, BindShortcuts answering with the trigger it bound); a refusal, and a
// portal that goes away and comes back.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QThread>
#include <vector>

#include "Platform/desktop/GlobalShortcutsPortal.h"
#include "tests/Platform/desktop/EventLoopWait.h"
#include "tests/Platform/desktop/FakeGlobalShortcutsPortal.h"
#include "tests/Platform/desktop/PrivateSessionBus.h"

namespace {

using parloquin_test::FakeGlobalShortcutsPortal;
using platform::GlobalShortcutsPortal;
using State = GlobalShortcutsPortal::State;
using parloquin_test::waitUntil;

class GlobalShortcutsPortalTest : public ::testing::Test {
protected:
    void SetUp() override {
        FakeGlobalShortcutsPortal::registerTypes();
        ASSERT_FALSE(bus.address().isEmpty());
    }
    ~GlobalShortcutsPortalTest() override {
        if (portal) {
            QMetaObject::invokeMethod(portal.get(), [this] { portal->withdraw(); }, Qt::BlockingQueuedConnection);
        }
        portalThread.quit();
        portalThread.wait();
        portal.reset();
        QDBusConnection::disconnectFromBus(portalName);
        QDBusConnection::disconnectFromBus(parloquinName);
    }
    void startPortal(FakeGlobalShortcutsPortal::Desktop desktop, uint bindAnswer, const QString& trigger) {
        portal = std::make_unique<FakeGlobalShortcutsPortal>(portalSide, desktop);
        portal->bindAnswer = bindAnswer;
        portal->boundTrigger = trigger;
        ASSERT_TRUE(portal->publish());
        portal->moveToThread(&portalThread);
        portalThread.start();
    }
    std::unique_ptr<GlobalShortcutsPortal> client() {
        auto shortcuts = GlobalShortcutsPortal::create(
            parloquinSide, {QStringLiteral("dictation"), QStringLiteral("Aufnahme starten und beenden"),
                            QStringLiteral("CTRL+ALT+space")});
        if (!shortcuts) return shortcuts;
        shortcuts->onActivated = [this] { ++presses; };
        shortcuts->onDeactivated = [this] { ++releases; };
        return shortcuts;
    }
    std::vector<QString> methods() const {
        std::vector<QString> names;
        for (const auto& call : portal->calls()) names.push_back(call.method);
        return names;
    }

    // Connection names are the process's: each test has its own, to its own bus.
    static inline int count = 0;
    parloquin_test::PrivateSessionBus bus;
    const QString portalName = QStringLiteral("shortcuts-portal-%1").arg(++count);
    const QString parloquinName = QStringLiteral("shortcuts-parloquin-%1").arg(count);
    QDBusConnection portalSide = bus.connect(portalName);
    QDBusConnection parloquinSide = bus.connect(parloquinName);
    std::unique_ptr<FakeGlobalShortcutsPortal> portal;
    QThread portalThread;
    int presses = 0;
    int releases = 0;
};

TEST_F(GlobalShortcutsPortalTest, Plasma527RegistersFromCreateSessionAndRepeatsActivatedWhileHeld) {
    startPortal(FakeGlobalShortcutsPortal::Desktop::plasma527, 0, QStringLiteral("Ctrl+Alt+Space"));
    auto shortcuts = client();
    ASSERT_NE(shortcuts, nullptr);
    EXPECT_EQ(shortcuts->portalVersion(), 1u);
    ASSERT_TRUE(waitUntil([&] { return shortcuts->state() != State::starting; }));
    EXPECT_EQ(shortcuts->state(), State::bound);
    EXPECT_EQ(shortcuts->trigger(), "Ctrl+Alt+Space");
    // Listed at once: no BindShortcuts, which would open Plasma's settings.
    EXPECT_EQ(methods(), (std::vector<QString>{"CreateSession", "ListShortcuts"}));
    const auto create = portal->calls().front();
    EXPECT_EQ(create.options.value("session_handle_token").toString(), "parloquin");
    ASSERT_EQ(create.shortcuts.size(), 1);
    EXPECT_EQ(create.shortcuts[0].id, "dictation");
    EXPECT_EQ(create.shortcuts[0].properties.value("preferred_trigger").toString(), "CTRL+ALT+space");
    EXPECT_TRUE(shortcuts->sessionHandle().endsWith("/parloquin"));

    // The keys held: Activated again and again, one press; then one release.
    for (int repeat = 0; repeat < 4; ++repeat) portal->send("Activated", "dictation");
    portal->send("Activated", "another");
    ASSERT_TRUE(waitUntil([&] { return presses == 1; }));
    QThread::msleep(100);
    parloquin_test::drainEventLoop();
    EXPECT_EQ(presses, 1);
    EXPECT_TRUE(shortcuts->isHeld());
    portal->send("Deactivated", "dictation");
    portal->send("Deactivated", "dictation");
    ASSERT_TRUE(waitUntil([&] { return releases == 1; }));
    portal->send("Activated", "dictation");
    ASSERT_TRUE(waitUntil([&] { return presses == 2; }));
    EXPECT_EQ(releases, 1);
}

TEST_F(GlobalShortcutsPortalTest, Gnome48BindsThroughBindShortcutsAndSaysTheTriggerItBound) {
    startPortal(FakeGlobalShortcutsPortal::Desktop::gnome48, 0, QStringLiteral("Press <Control><Alt>space"));
    auto shortcuts = client();
    ASSERT_NE(shortcuts, nullptr);
    ASSERT_TRUE(waitUntil([&] { return shortcuts->state() != State::starting; }));
    EXPECT_EQ(shortcuts->state(), State::bound);
    EXPECT_EQ(shortcuts->trigger(), "Press <Control><Alt>space");
    EXPECT_EQ(methods(), (std::vector<QString>{"CreateSession", "ListShortcuts", "BindShortcuts"}));
    const auto bind = portal->calls().back();
    ASSERT_EQ(bind.shortcuts.size(), 1);
    EXPECT_EQ(bind.shortcuts[0].properties.value("preferred_trigger").toString(), "CTRL+ALT+space");
    EXPECT_EQ(bind.shortcuts[0].properties.value("description").toString(), "Aufnahme starten und beenden");
    portal->send("Activated", "dictation");
    portal->send("Deactivated", "dictation");
    ASSERT_TRUE(waitUntil([&] { return presses == 1 && releases == 1; }));

    // The next login lists it from the last one: no dialog again.
    shortcuts.reset();
    auto again = client();
    ASSERT_TRUE(waitUntil([&] { return again->state() != State::starting; }));
    EXPECT_EQ(again->state(), State::bound);
    EXPECT_EQ(methods().size(), 5u);
    EXPECT_EQ(methods().back(), "ListShortcuts");
}

TEST_F(GlobalShortcutsPortalTest, ARefusedBindingIsRefusedAndNoPressComes) {
    startPortal(FakeGlobalShortcutsPortal::Desktop::gnome48, 1, QStringLiteral("Press <Control><Alt>space"));
    auto shortcuts = client();
    ASSERT_NE(shortcuts, nullptr);
    ASSERT_TRUE(waitUntil([&] { return shortcuts->state() != State::starting; }));
    EXPECT_EQ(shortcuts->state(), State::refused);
    EXPECT_EQ(shortcuts->trigger(), "");
    portal->send("Activated", "dictation");
    QThread::msleep(100);
    parloquin_test::drainEventLoop();
    EXPECT_EQ(presses, 0);
}

TEST_F(GlobalShortcutsPortalTest, APortalThatVanishesEndsTheHoldAndIsAskedAgainWhenItReturns) {
    // No portal at all: nothing to use.
    EXPECT_EQ(client(), nullptr);

    startPortal(FakeGlobalShortcutsPortal::Desktop::gnome48, 0, QStringLiteral("Press <Control><Alt>space"));
    auto shortcuts = client();
    ASSERT_NE(shortcuts, nullptr);
    ASSERT_TRUE(waitUntil([&] { return shortcuts->state() == State::bound; }));
    portal->send("Activated", "dictation");
    ASSERT_TRUE(waitUntil([&] { return presses == 1; }));

    QMetaObject::invokeMethod(portal.get(), [this] { portal->withdraw(); }, Qt::BlockingQueuedConnection);
    ASSERT_TRUE(waitUntil([&] { return shortcuts->state() == State::lost; }));
    EXPECT_EQ(releases, 1) << "the hold under way ends with the portal";
    EXPECT_FALSE(shortcuts->isHeld());

    QMetaObject::invokeMethod(portal.get(), [this] { portal->publish(); }, Qt::BlockingQueuedConnection);
    ASSERT_TRUE(waitUntil([&] { return shortcuts->state() == State::bound; }));
    EXPECT_EQ(shortcuts->trigger(), "Press <Control><Alt>space");
}

}  // namespace

