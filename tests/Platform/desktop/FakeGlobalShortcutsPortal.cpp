#include "tests/Platform/desktop/FakeGlobalShortcutsPortal.h"

#include <QDBusMetaType>
#include <QMutexLocker>
#include <QTimer>

namespace portal_test {

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

namespace parloquin_test {
namespace {

using portal_test::Entries;
using portal_test::Entry;

const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");

Entries entriesOf(const QVariant& value) {
    if (value.userType() == qMetaTypeId<Entries>()) return value.value<Entries>();
    return qdbus_cast<Entries>(value.value<QDBusArgument>());
}

QString senderPathPart(const QDBusMessage& message) { return message.service().mid(1).replace(QLatin1Char('.'), QLatin1Char('_')); }

}  // namespace

void FakeGlobalShortcutsPortal::registerTypes() {
    qDBusRegisterMetaType<Entry>();
    qDBusRegisterMetaType<Entries>();
}

FakeGlobalShortcutsPortal::FakeGlobalShortcutsPortal(QDBusConnection bus, Desktop desktop)
    : bus_(std::move(bus)), desktop_(desktop) {}

bool FakeGlobalShortcutsPortal::publish() {
    return bus_.registerObject(kPath, this, QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties) &&
           bus_.registerService(QStringLiteral("org.freedesktop.portal.Desktop"));
}

void FakeGlobalShortcutsPortal::withdraw() {
    bus_.unregisterService(QStringLiteral("org.freedesktop.portal.Desktop"));
    bus_.unregisterObject(kPath);
}

void FakeGlobalShortcutsPortal::send(const char* signal, const QString& id) {
    bus_.send(QDBusMessage::createSignal(kPath, kInterface, QString::fromLatin1(signal))
              << QVariant::fromValue(QDBusObjectPath(session())) << id << qulonglong(1234) << QVariantMap());
}

std::vector<FakeGlobalShortcutsPortal::Call> FakeGlobalShortcutsPortal::calls() const {
    QMutexLocker lock(&mutex_);
    return calls_;
}

QString FakeGlobalShortcutsPortal::session() const {
    QMutexLocker lock(&mutex_);
    return session_;
}

QDBusObjectPath FakeGlobalShortcutsPortal::CreateSession(const QVariantMap& options, const QDBusMessage& message) {
    const Entries offered = entriesOf(options.value(QStringLiteral("shortcuts")));
    const QString path = QStringLiteral("/org/freedesktop/portal/desktop/session/%1/%2")
                             .arg(senderPathPart(message), options.value(QStringLiteral("session_handle_token")).toString());
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

QDBusObjectPath FakeGlobalShortcutsPortal::ListShortcuts(const QDBusObjectPath&, const QVariantMap& options,
                                                         const QDBusMessage& message) {
    Entries bound;
    {
        QMutexLocker lock(&mutex_);
        calls_.push_back({QStringLiteral("ListShortcuts"), options, {}});
        bound = bound_;
    }
    return answer(message, options, 0, {{QStringLiteral("shortcuts"), QVariant::fromValue(bound)}});
}

QDBusObjectPath FakeGlobalShortcutsPortal::BindShortcuts(const QDBusObjectPath&, const portal_test::Entries& shortcuts,
                                                         const QString&, const QVariantMap& options,
                                                         const QDBusMessage& message) {
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

QDBusObjectPath FakeGlobalShortcutsPortal::answer(const QDBusMessage& message, const QVariantMap& options,
                                                  uint response, const QVariantMap& results) {
    const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                             .arg(senderPathPart(message), options.value(QStringLiteral("handle_token")).toString());
    QTimer::singleShot(0, this, [this, path, response, results] {
        bus_.send(QDBusMessage::createSignal(path, QStringLiteral("org.freedesktop.portal.Request"),
                                             QStringLiteral("Response"))
                  << response << results);
    });
    return QDBusObjectPath(path);
}

}  // namespace parloquin_test
