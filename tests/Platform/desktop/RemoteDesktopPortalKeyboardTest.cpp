// The RemoteDesktop portal's keyboard against a portal of the test's own on a private bus: the
// session's three requests, the restore token of a version 2 portal, a refusal and a session that
// the desktop ends.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QMutex>
#include <QThread>
#include <QTimer>
#include <utility>
#include <vector>

#include "Platform/desktop/RemoteDesktopPortalKeyboard.h"
#include "tests/Platform/desktop/EventLoopWait.h"
#include "tests/Platform/desktop/PrivateSessionBus.h"

namespace {

using platform::RemoteDesktopPortalKeyboard;
using State = RemoteDesktopPortalKeyboard::State;

// Answers as xdg-desktop-portal does: each call returns its request's path at once and the
// Response signal on that path afterwards. It runs on a thread of its own, as the portal runs in a
// process of its own: the keyboard's first questions wait for their answers.
class FakeRemoteDesktopPortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.RemoteDesktop")
    Q_PROPERTY(uint version READ version)
    Q_PROPERTY(uint AvailableDeviceTypes READ availableDeviceTypes)

public:
    explicit FakeRemoteDesktopPortal(QDBusConnection bus) : bus_(std::move(bus)) {
        bus_.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), this,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties);
        bus_.registerService(QStringLiteral("org.freedesktop.portal.Desktop"));
    }
    uint version() const { return portalVersion; }
    uint availableDeviceTypes() const { return deviceTypes; }

    // Ends the session as the desktop does when the user revokes it.
    void closeSession() {
        bus_.send(QDBusMessage::createSignal(sessionPath, QStringLiteral("org.freedesktop.portal.Session"),
                                             QStringLiteral("Closed"))
                  << QVariantMap());
    }

    uint portalVersion = 2;
    uint deviceTypes = 7;
    uint startAnswer = 0;  // 0 granted, 1 refused by the user
    QString issuedToken = QStringLiteral("wiederherstellen-1");
    QString sessionPath;
    QVariantMap selectOptions() const {
        QMutexLocker lock(&mutex_);
        return selectOptions_;
    }
    std::vector<std::pair<int, uint>> keys() const {
        QMutexLocker lock(&mutex_);
        return keys_;
    }

public slots:
    QDBusObjectPath CreateSession(const QVariantMap& options, const QDBusMessage& message) {
        sessionPath = QStringLiteral("/org/freedesktop/portal/desktop/session/%1/%2")
                          .arg(sender(message), options.value(QStringLiteral("session_handle_token")).toString());
        // The portals send the handle as a string.
        return answer(message, options, 0, {{QStringLiteral("session_handle"), sessionPath}});
    }
    QDBusObjectPath SelectDevices(const QDBusObjectPath&, const QVariantMap& options, const QDBusMessage& message) {
        {
            QMutexLocker lock(&mutex_);
            selectOptions_ = options;
        }
        return answer(message, options, 0, {});
    }
    QDBusObjectPath Start(const QDBusObjectPath&, const QString&, const QVariantMap& options, const QDBusMessage& message) {
        QVariantMap results{{QStringLiteral("devices"), uint(1)}};
        if (portalVersion >= 2) results.insert(QStringLiteral("restore_token"), issuedToken);
        return answer(message, options, startAnswer, results);
    }
    void NotifyKeyboardKeycode(const QDBusObjectPath&, const QVariantMap&, int keycode, uint state) {
        QMutexLocker lock(&mutex_);
        keys_.emplace_back(keycode, state);
    }

private:
    static QString sender(const QDBusMessage& message) {
        return message.service().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
    }
    QDBusObjectPath answer(const QDBusMessage& message, const QVariantMap& options, uint response,
                           const QVariantMap& results) {
        const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                                 .arg(sender(message), options.value(QStringLiteral("handle_token")).toString());
        QTimer::singleShot(0, this, [this, path, response, results] {
            bus_.send(QDBusMessage::createSignal(path, QStringLiteral("org.freedesktop.portal.Request"),
                                                 QStringLiteral("Response"))
                      << response << results);
        });
        return QDBusObjectPath(path);
    }

    QDBusConnection bus_;
    mutable QMutex mutex_;
    QVariantMap selectOptions_;
    std::vector<std::pair<int, uint>> keys_;
};

class RemoteDesktopPortalKeyboardTest : public ::testing::Test {
protected:
    parloquin_test::PrivateSessionBus bus;
    QDBusConnection portalSide = bus.connect(QStringLiteral("portal"));
    QDBusConnection parloquinSide = bus.connect(QStringLiteral("parloquin"));
    FakeRemoteDesktopPortal portal{portalSide};
    QThread portalThread;
    std::string stored;
    RemoteDesktopPortalKeyboard::TokenStore tokens{[this] { return stored; },
                                                   [this](const std::string& token) { stored = token; }};

    RemoteDesktopPortalKeyboardTest() {
        portal.moveToThread(&portalThread);
        portalThread.start();
    }
    ~RemoteDesktopPortalKeyboardTest() override {
        portalSide.unregisterObject(QStringLiteral("/org/freedesktop/portal/desktop"));
        portalThread.quit();
        portalThread.wait();
        QDBusConnection::disconnectFromBus(QStringLiteral("portal"));
        QDBusConnection::disconnectFromBus(QStringLiteral("parloquin"));
    }
};

TEST_F(RemoteDesktopPortalKeyboardTest, ASessionForTheKeyboardStartsOnceAndItsTokenServesTheNextLogin) {
    ASSERT_FALSE(bus.address().isEmpty());
    auto keyboard = RemoteDesktopPortalKeyboard::create(parloquinSide, tokens);
    ASSERT_NE(keyboard, nullptr);
    EXPECT_FALSE(keyboard->reachesFocusedWindow()) << "before the session has started";
    ASSERT_TRUE(parloquin_test::waitUntil([&] { return keyboard->state() != State::starting; }));
    EXPECT_EQ(keyboard->state(), State::ready);
    EXPECT_EQ(portal.selectOptions().value("types").toUInt(), 1u) << "the keyboard only";
    EXPECT_EQ(portal.selectOptions().value("persist_mode").toUInt(), 2u);
    EXPECT_FALSE(portal.selectOptions().contains("restore_token"));
    EXPECT_EQ(stored, "wiederherstellen-1");

    // Ctrl+V by position: left Control, V.
    ASSERT_TRUE(keyboard->post({platform::CGEventType::keyDown, 9, platform::kCGEventFlagMaskControl, false}));
    ASSERT_TRUE(keyboard->post({platform::CGEventType::keyUp, 9, platform::kCGEventFlagMaskControl, false}));
    ASSERT_TRUE(parloquin_test::waitUntil([&] { return portal.keys().size() == 4; }));
    EXPECT_EQ(portal.keys(), (std::vector<std::pair<int, uint>>{{29, 1}, {47, 1}, {47, 0}, {29, 0}}));

    // The next login hands the token back, and gets a new one.
    keyboard.reset();
    portal.issuedToken = QStringLiteral("wiederherstellen-2");
    auto next = RemoteDesktopPortalKeyboard::create(parloquinSide, tokens);
    ASSERT_TRUE(next && parloquin_test::waitUntil([&] { return next->state() == State::ready; }));
    EXPECT_EQ(portal.selectOptions().value("restore_token").toString(), "wiederherstellen-1");
    EXPECT_EQ(stored, "wiederherstellen-2");
}

TEST_F(RemoteDesktopPortalKeyboardTest, AVersionOnePortalKeepsNoTokenAndIsAskedForNone) {
    portal.portalVersion = 1;
    stored = "alt";
    auto keyboard = RemoteDesktopPortalKeyboard::create(parloquinSide, tokens);
    ASSERT_TRUE(keyboard && parloquin_test::waitUntil([&] { return keyboard->state() == State::ready; }));
    EXPECT_FALSE(portal.selectOptions().contains("persist_mode"));
    EXPECT_FALSE(portal.selectOptions().contains("restore_token"));
    EXPECT_EQ(stored, "alt");
}

TEST_F(RemoteDesktopPortalKeyboardTest, ARefusedOrEndedSessionSendsNoKey) {
    portal.startAnswer = 1;
    auto refused = RemoteDesktopPortalKeyboard::create(parloquinSide, tokens);
    ASSERT_TRUE(refused && parloquin_test::waitUntil([&] { return refused->state() != State::starting; }));
    EXPECT_EQ(refused->state(), State::refused);
    EXPECT_FALSE(refused->reachesFocusedWindow());
    EXPECT_FALSE(refused->sendKey(47, true));
    EXPECT_TRUE(stored.empty());

    portal.startAnswer = 0;
    auto ended = RemoteDesktopPortalKeyboard::create(parloquinSide, tokens);
    ASSERT_TRUE(ended && parloquin_test::waitUntil([&] { return ended->state() == State::ready; }));
    portal.closeSession();
    ASSERT_TRUE(parloquin_test::waitUntil([&] { return ended->state() == State::refused; }));
    EXPECT_FALSE(ended->reachesFocusedWindow());
}

TEST_F(RemoteDesktopPortalKeyboardTest, NoKeyboardWithoutAPortalOrWithoutItsKeyboard) {
    portal.deviceTypes = 2;  // pointer only
    EXPECT_EQ(RemoteDesktopPortalKeyboard::create(parloquinSide, tokens), nullptr);
    portalSide.unregisterService(QStringLiteral("org.freedesktop.portal.Desktop"));
    EXPECT_EQ(RemoteDesktopPortalKeyboard::create(parloquinSide, tokens), nullptr);
}

}  // namespace

#include "RemoteDesktopPortalKeyboardTest.moc"
