#include <gtest/gtest.h>

#include <QDBusConnection>
#include <optional>
#include <string>
#include <vector>

#include "Platform/desktop/FreedesktopNotificationCenter.h"
#include "tests/Platform/desktop/EventLoopWait.h"
#include "tests/Platform/desktop/NotificationServer.h"
#include "tests/Platform/desktop/PrivateSessionBus.h"

namespace {

using parloquin_test::NotificationServer;
using parloquin_test::PrivateSessionBus;
using parloquin_test::waitUntil;
using platform::FreedesktopNotificationCenter;
using platform::UNNotificationRequest;

struct Delivery {
    bool done = false;
    std::optional<std::string> error;
};

void post(FreedesktopNotificationCenter& center, const std::string& title, const std::string& body,
          Delivery& delivery) {
    UNNotificationRequest request{"id", {title, body, true}};
    center.add(request, [&delivery](std::optional<std::string> error) {
        delivery.done = true;
        delivery.error = std::move(error);
    });
}

class NotificationCenterTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon did not start"; }
    PrivateSessionBus bus;
};

TEST_F(NotificationCenterTest, DeliversTitleBodyAndSoundToTheService) {
    NotificationServer server;
    ASSERT_TRUE(server.start(bus.address()));
    FreedesktopNotificationCenter center(bus.connect("client"));

    std::optional<bool> granted;
    center.requestAuthorization(platform::UNAuthorizationOptionAlert | platform::UNAuthorizationOptionSound,
                                [&](bool answer) { granted = answer; });
    Delivery first, second;
    post(center, "Parloquin bereit!", "Drücke ⇧⌘Space überall\nzweite Zeile", first);
    post(center, "In Zwischenablage kopiert", "Text", second);
    ASSERT_TRUE(waitUntil([&] { return granted && first.done && second.done; }));

    EXPECT_TRUE(*granted);
    EXPECT_EQ(first.error, std::nullopt);
    ASSERT_EQ(server.received.size(), 2u);
    const auto& n = server.received[0];
    EXPECT_EQ(n.appName, "Parloquin");
    EXPECT_EQ(n.summary, "Parloquin bereit!");
    EXPECT_EQ(n.body, QString::fromUtf8("Drücke ⇧⌘Space überall\nzweite Zeile"));
    EXPECT_EQ(n.hints.value("sound-name").toString(), "message-new-instant");
    EXPECT_EQ(n.expireTimeout, -1);
    EXPECT_EQ(server.received[1].summary, "In Zwischenablage kopiert");
}

TEST_F(NotificationCenterTest, BodyIsEscapedOnlyForServicesThatReadMarkup) {
    struct Case {
        QStringList capabilities;
        QString expected;
    };
    const std::vector<Case> cases = {
        {{"body"}, "if a < b && c > d: <b>fett</b>"},
        {{"body", "body-markup"}, "if a &lt; b &amp;&amp; c &gt; d: &lt;b&gt;fett&lt;/b&gt;"},
    };
    int serial = 0;
    for (const auto& c : cases) {
        NotificationServer server(c.capabilities);
        ASSERT_TRUE(server.start(bus.address()));
        FreedesktopNotificationCenter center(bus.connect(QStringLiteral("client-%1").arg(++serial)));
        Delivery delivery;
        post(center, "Titel", "if a < b && c > d: <b>fett</b>", delivery);
        ASSERT_TRUE(waitUntil([&] { return delivery.done; }));
        ASSERT_EQ(server.received.size(), 1u);
        EXPECT_EQ(server.received[0].body, c.expected) << c.capabilities.join(",").toStdString();
    }
}

TEST_F(NotificationCenterTest, WithoutAServiceNothingIsShownAndNothingFails) {
    FreedesktopNotificationCenter center(bus.connect("lonely"));
    std::optional<bool> granted;
    center.requestAuthorization(platform::UNAuthorizationOptionAlert, [&](bool answer) { granted = answer; });
    Delivery delivery;
    post(center, "Parloquin konnte nicht gestartet werden", "…", delivery);
    ASSERT_TRUE(waitUntil([&] { return granted && delivery.done; }));
    EXPECT_FALSE(*granted);
    EXPECT_TRUE(delivery.error);

    // A service that starts later gets the next notification.
    NotificationServer server;
    ASSERT_TRUE(server.start(bus.address()));
    Delivery later;
    post(center, "Später", "da", later);
    ASSERT_TRUE(waitUntil([&] { return later.done; }));
    EXPECT_EQ(later.error, std::nullopt);
    ASSERT_EQ(server.received.size(), 1u);
    EXPECT_EQ(server.received[0].summary, "Später");
}

TEST_F(NotificationCenterTest, WithoutABusNothingIsShown) {
    FreedesktopNotificationCenter center(
        QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/parloquin-bus"), "nowhere"));
    std::optional<bool> granted;
    center.requestAuthorization(platform::UNAuthorizationOptionAlert, [&](bool answer) { granted = answer; });
    Delivery delivery;
    post(center, "Titel", "Text", delivery);
    ASSERT_TRUE(waitUntil([&] { return granted && delivery.done; }));
    EXPECT_FALSE(*granted);
    EXPECT_TRUE(delivery.error);
}

}  // namespace
