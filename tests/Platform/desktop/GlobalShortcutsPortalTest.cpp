// The GlobalShortcuts portal client against a portal of the test's own on a private bus, answering
// as KDE Plasma 5.27 does (the shortcut registered from CreateSession alone, BindShortcuts opening
// the desktop's settings instead, Activated repeated while the keys are held) and as GNOME 48 does
// (nothing from CreateSession, BindShortcuts answering with the trigger it bound); a refusal, and a
// portal that goes away and comes back.
#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QMutex>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <vector>

#include "Platform/desktop/GlobalShortcutsPortal.h"
#include "tests/Platform/desktop/EventLoopWait.h"
#include "tests/Platform/desktop/PrivateSessionBus.h"

namespace portal_test {

struct Entry {
    QString id;
    QVariantMap properties;
};
using Entries = QList<Entry>;

QDBusArgument& operator<<(QDBusArgument& argument, const Entry& entry) {
    argument.beginStructure();
    argument << entry.id << entry.properties;
    argument.endStructure();
    return argument;
}
const QDBusArgument& operator>>(const QDBusArgument& argument, Entry& entry) {
    argument.beginStructure();
    argument >> entry.id >> entry.properties;
    argument.endStructure();
    return argument;
}

}  // namespace portal_test

Q_DECLARE_METATYPE(portal_test::Entry)
Q_DECLARE_METATYPE(portal_test::Entries)

namespace {

using platform::GlobalShortcutsPortal;
using portal_test::Entries;
using portal_test::Entry;
using State = GlobalShortcutsPortal::State;
using parloquin_test::waitUntil;

const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");

Entries entriesOf(const QVariant& value) {
    if (value.userType() == qMetaTypeId<Entries>()) return value.value<Entries>();
    return qdbus_cast<Entries>(value.value<QDBusArgument>());
}

// Answers as xdg-desktop-portal does: each call returns its request's path at once and the
// Response signal on that path afterwards, on a thread of its own.
class FakeGlobalShortcutsPortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.GlobalShortcuts")
    Q_PROPERTY(uint version READ version)

public:
    enum class Desktop { plasma527, gnome48 };

    FakeGlobalShortcutsPortal(QDBusConnection bus, Desktop desktop) : bus_(std::move(bus)), desktop_(desktop) {}
    uint version() const { return desktop_ == Desktop::plasma527 ? 1 : 2; }

    bool publish() {
        return bus_.registerObject(kPath, this, QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties) &&
               bus_.registerService(QStringLiteral("org.freedesktop.portal.Desktop"));
    }
    void withdraw() {
        bus_.unregisterService(QStringLiteral("org.freedesktop.portal.Desktop"));
        bus_.unregisterObject(kPath);
    }
    // What the desktop sends when the keys go down or up.
    void send(const char* signal, const QString& id) {
        bus_.send(QDBusMessage::createSignal(kPath, kInterface, QString::fromLatin1(signal))
                  << QVariant::fromValue(QDBusObjectPath(session())) << id << qulonglong(1234) << QVariantMap());
    }

    // Set before the client starts.
    uint bindAnswer = 0;  // 0 bound, 1 the user cancelled the dialog
    QString boundTrigger;  // what the desktop says it bound

    struct Call {
        QString method;
        QVariantMap options;
        Entries shortcuts;  // CreateSession's option or BindShortcuts' argument
    };
    std::vector<Call> calls() const {
        QMutexLocker lock(&mutex_);
        return calls_;
    }
    QString session() const {
        QMutexLocker lock(&mutex_);
        return session_;
    }

public slots:
    QDBusObjectPath CreateSession(const QVariantMap& options, const QDBusMessage& message) {
        const Entries offered = entriesOf(options.value(QStringLiteral("shortcuts")));
        const QString path = QStringLiteral("/org/freedesktop/portal/desktop/session/%1/%2")
                                 .arg(sender(message), options.value(QStringLiteral("session_handle_token")).toString());
        {
            QMutexLocker lock(&mutex_);
            calls_.push_back({QStringLiteral("CreateSession"), options, offered});
            session_ = path;
            // Plasma 5.27 registers what CreateSession names, with the preferred trigger.
            if (desktop_ == Desktop::plasma527)
                for (const Entry& entry : offered)
                    bound_.push_back({entry.id,
                                      {{QStringLiteral("description"), entry.properties.value("description")},
                                       {QStringLiteral("trigger_description"), boundTrigger}}});
        }
        return answer(message, options, 0, {{QStringLiteral("session_handle"), path}});
    }
    QDBusObjectPath ListShortcuts(const QDBusObjectPath&, const QVariantMap& options, const QDBusMessage& message) {
        Entries bound;
        {
            QMutexLocker lock(&mutex_);
            calls_.push_back({QStringLiteral("ListShortcuts"), options, {}});
            bound = bound_;
        }
        return answer(message, options, 0, {{QStringLiteral("shortcuts"), QVariant::fromValue(bound)}});
    }
    // The type spelt in full: QtDBus finds a slot's argument types by these names.
    QDBusObjectPath BindShortcuts(const QDBusObjectPath&, const portal_test::Entries& shortcuts, const QString&,
                                  const QVariantMap& options, const QDBusMessage& message) {
        Entries bound;
        {
            QMutexLocker lock(&mutex_);
            calls_.push_back({QStringLiteral("BindShortcuts"), options, shortcuts});
            // GNOME binds what the user accepted in its dialog, and says how to press it.
            if (desktop_ == Desktop::gnome48 && bindAnswer == 0)
                for (const Entry& entry : shortcuts)
                    bound_.push_back({entry.id,
                                      {{QStringLiteral("description"), entry.properties.value("description")},
                                       {QStringLiteral("trigger_description"), boundTrigger}}});
            bound = bound_;
        }
        return answer(message, options, bindAnswer, {{QStringLiteral("shortcuts"), QVariant::fromValue(bound)}});
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
    Desktop desktop_;
    mutable QMutex mutex_;
    std::vector<Call> calls_;
    Entries bound_;
    QString session_;
};

class GlobalShortcutsPortalTest : public ::testing::Test {
protected:
    void SetUp() override {
        qDBusRegisterMetaType<Entry>();
        qDBusRegisterMetaType<Entries>();
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

#include "GlobalShortcutsPortalTest.moc"
