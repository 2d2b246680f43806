#include "Platform/desktop/GlobalShortcutsPortal.h"

#include "Platform/desktop/DesktopPortal.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QList>

namespace platform {

// One element of the portal's a(sa{sv}): a shortcut's id and its properties.
struct GlobalShortcutEntry {
    QString id;
    QVariantMap properties;
};
using GlobalShortcutEntries = QList<GlobalShortcutEntry>;

QDBusArgument& operator<<(QDBusArgument& argument, const GlobalShortcutEntry& entry) {
    argument.beginStructure();
    argument << entry.id << entry.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, GlobalShortcutEntry& entry) {
    argument.beginStructure();
    argument >> entry.id >> entry.properties;
    argument.endStructure();
    return argument;
}

}  // namespace platform

Q_DECLARE_METATYPE(platform::GlobalShortcutEntry)
Q_DECLARE_METATYPE(platform::GlobalShortcutEntries)

namespace platform {
namespace {

const QString& kService = DesktopPortal::service;
const QString& kPath = DesktopPortal::path;
const QString kInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");

std::uint32_t interfaceVersion(QDBusConnection& bus) {
    return DesktopPortal::uintProperty(bus, kInterface, QStringLiteral("version"));
}

QString requestPath(const QDBusConnection& bus, const QString& token) { return DesktopPortal::requestPath(bus, token); }

// A string in the portals as they are, an object path in the documentation.
QString pathOf(const QVariant& value) {
    if (value.userType() == qMetaTypeId<QDBusObjectPath>()) return value.value<QDBusObjectPath>().path();
    return value.toString();
}

GlobalShortcutEntries entriesOf(const QVariant& value) {
    if (value.userType() == qMetaTypeId<GlobalShortcutEntries>()) return value.value<GlobalShortcutEntries>();
    if (value.userType() != qMetaTypeId<QDBusArgument>()) return {};
    const QDBusArgument argument = value.value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String("a(sa{sv})")) return {};
    return qdbus_cast<GlobalShortcutEntries>(argument);
}

void registerTypes() {
    static const bool registered = [] {
        qDBusRegisterMetaType<GlobalShortcutEntry>();
        qDBusRegisterMetaType<GlobalShortcutEntries>();
        return true;
    }();
    (void)registered;
}

}  // namespace

std::unique_ptr<GlobalShortcutsPortal> GlobalShortcutsPortal::create(QDBusConnection bus, Shortcut shortcut) {
    if (!bus.isConnected()) return nullptr;
    registerTypes();
    const std::uint32_t version = interfaceVersion(bus);
    if (version == 0) return nullptr;
    std::unique_ptr<GlobalShortcutsPortal> portal(new GlobalShortcutsPortal(std::move(bus), std::move(shortcut), version));
    portal->start();
    return portal;
}

GlobalShortcutsPortal::GlobalShortcutsPortal(QDBusConnection bus, Shortcut shortcut, std::uint32_t version)
    : bus_(std::move(bus)), shortcut_(std::move(shortcut)), version_(version) {
    for (const char* name : {"Activated", "Deactivated", "ShortcutsChanged"})
        bus_.connect(kService, kPath, kInterface, QString::fromLatin1(name), this, SLOT(onSignal(QDBusMessage)));
    watcher_ = new QDBusServiceWatcher(kService, bus_,
                                       QDBusServiceWatcher::WatchForUnregistration | QDBusServiceWatcher::WatchForRegistration,
                                       this);
    connect(watcher_, &QDBusServiceWatcher::serviceUnregistered, this, [this] { portalGone(); });
    connect(watcher_, &QDBusServiceWatcher::serviceRegistered, this, [this] {
        if (state_ != State::lost) return;
        version_ = interfaceVersion(bus_);
        if (version_ != 0) start();
    });
}

GlobalShortcutsPortal::~GlobalShortcutsPortal() {
    if (session_.isEmpty()) return;
    bus_.call(QDBusMessage::createMethodCall(kService, session_, QStringLiteral("org.freedesktop.portal.Session"),
                                             QStringLiteral("Close")),
              QDBus::NoBlock);
}

void GlobalShortcutsPortal::start() {
    session_.clear();
    setState(State::starting, {});
    ask(Step::createSession);
}

void GlobalShortcutsPortal::ask(Step step) {
    step_ = step;
    const QString token = QStringLiteral("parloquin_shortcuts%1").arg(++requests_);
    // Listened for before the call, so that an answer that comes at once is not missed.
    if (!requestPath_.isEmpty())
        bus_.disconnect(kService, requestPath_, QStringLiteral("org.freedesktop.portal.Request"),
                        QStringLiteral("Response"), this, SLOT(onResponse(uint, QVariantMap)));
    requestPath_ = requestPath(bus_, token);
    bus_.connect(kService, requestPath_, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"),
                 this, SLOT(onResponse(uint, QVariantMap)));

    const GlobalShortcutEntries shortcuts{
        {shortcut_.id,
         {{QStringLiteral("description"), shortcut_.description},
          {QStringLiteral("preferred_trigger"), shortcut_.preferredTrigger}}}};
    QVariantMap options{{QStringLiteral("handle_token"), token}};
    QDBusMessage call;
    switch (step) {
        case Step::createSession:
            options.insert(QStringLiteral("session_handle_token"), QString::fromLatin1(sessionToken));
            options.insert(QStringLiteral("shortcuts"), QVariant::fromValue(shortcuts));
            call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("CreateSession"));
            call << options;
            break;
        case Step::listShortcuts:
            call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("ListShortcuts"));
            call << QVariant::fromValue(QDBusObjectPath(session_)) << options;
            break;
        case Step::bindShortcuts:
            call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("BindShortcuts"));
            call << QVariant::fromValue(QDBusObjectPath(session_)) << QVariant::fromValue(shortcuts) << QString()
                 << options;
            break;
    }
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    const int request = requests_;
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this, pending, request] {
        pending->deleteLater();
        if (request != requests_ || state_ != State::starting) return;
        if (pending->isError()) return setState(State::refused, {});
    });
}

void GlobalShortcutsPortal::onResponse(uint response, const QVariantMap& results) {
    if (state_ != State::starting) return;
    // 0: done; 1: the user said no; 2: it ended otherwise.
    if (response != 0) return setState(State::refused, {});
    switch (step_) {
        case Step::createSession:
            session_ = pathOf(results.value(QStringLiteral("session_handle")));
            if (session_.isEmpty()) return setState(State::refused, {});
            bus_.connect(kService, session_, QStringLiteral("org.freedesktop.portal.Session"), QStringLiteral("Closed"),
                         this, SLOT(onClosed(QVariantMap)));
            return ask(Step::listShortcuts);
        case Step::listShortcuts:
            // Bound before (Plasma 5.27 from CreateSession, the others from an earlier login).
            if (takeTrigger(results.value(QStringLiteral("shortcuts")))) return;
            return ask(Step::bindShortcuts);
        case Step::bindShortcuts:
            // The desktop answers with the shortcuts it bound: ours missing means not bound.
            if (!takeTrigger(results.value(QStringLiteral("shortcuts")))) setState(State::refused, {});
            return;
    }
}

bool GlobalShortcutsPortal::takeTrigger(const QVariant& shortcuts) {
    for (const GlobalShortcutEntry& entry : entriesOf(shortcuts)) {
        if (entry.id != shortcut_.id) continue;
        setState(State::bound, entry.properties.value(QStringLiteral("trigger_description")).toString());
        return true;
    }
    return false;
}

void GlobalShortcutsPortal::onSignal(const QDBusMessage& message) {
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() < 2 || session_.isEmpty() || pathOf(arguments[0]) != session_) return;
    if (message.member() == QLatin1String("ShortcutsChanged")) {
        if (state_ == State::bound || state_ == State::starting) {
            // Changed in the desktop's settings; a list without ours means it was removed there.
            if (!takeTrigger(arguments[1]) && state_ == State::bound) setState(State::bound, {});
        }
        return;
    }
    if (arguments[1].toString() != shortcut_.id || state_ != State::bound) return;
    if (message.member() == QLatin1String("Activated")) {
        if (held_) return;  // the desktop repeats it while the keys are held
        held_ = true;
        if (onActivated) onActivated();
    } else if (message.member() == QLatin1String("Deactivated")) {
        release();
    }
}

void GlobalShortcutsPortal::release() {
    if (!held_) return;
    held_ = false;
    if (onDeactivated) onDeactivated();
}

void GlobalShortcutsPortal::onClosed(const QVariantMap&) {
    session_.clear();
    release();
    setState(State::refused, {});
}

void GlobalShortcutsPortal::portalGone() {
    session_.clear();
    release();
    setState(State::lost, {});
}

void GlobalShortcutsPortal::setState(State state, const QString& trigger) {
    if (state == state_ && trigger == trigger_) return;
    state_ = state;
    trigger_ = trigger;
    if (onChanged) onChanged();
}

}  // namespace platform
