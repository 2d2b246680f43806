#pragma once

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QList>
#include <QMetaType>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <vector>

namespace portal_test {

// A shortcut as the GlobalShortcuts portal passes it: its id and its properties.
struct Entry {
    QString id;
    QVariantMap properties;
};
using Entries = QList<Entry>;

QDBusArgument& operator<<(QDBusArgument& argument, const Entry& entry);
const QDBusArgument& operator>>(const QDBusArgument& argument, Entry& entry);

}  // namespace portal_test

Q_DECLARE_METATYPE(portal_test::Entry)
Q_DECLARE_METATYPE(portal_test::Entries)

namespace parloquin_test {

// An org.freedesktop.portal.GlobalShortcuts of the test's own on a private bus, answering as KDE
// Plasma 5.27 does (the shortcut registered from CreateSession alone, BindShortcuts opening the
// desktop's settings instead) or as GNOME 48 does (nothing from CreateSession, BindShortcuts
// answering with the trigger it bound). Each call returns its request's path at once and the
// Response signal on that path afterwards, as xdg-desktop-portal does; meant to run on a thread of
// its own (moveToThread), so that the client's blocking calls are answered.
class FakeGlobalShortcutsPortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.GlobalShortcuts")
    Q_PROPERTY(uint version READ version)

public:
    enum class Desktop { plasma527, gnome48 };

    // Registers the shortcut types with QtDBus; call before a client starts.
    static void registerTypes();

    FakeGlobalShortcutsPortal(QDBusConnection bus, Desktop desktop);
    uint version() const { return desktop_ == Desktop::plasma527 ? 1 : 2; }

    bool publish();
    void withdraw();
    // What the desktop sends when the keys go down or up: "Activated" or "Deactivated".
    void send(const char* signal, const QString& id);

    // Set before the client starts.
    uint bindAnswer = 0;   // 0 bound, 1 the user cancelled the dialog
    QString boundTrigger;  // what the desktop says it bound

    struct Call {
        QString method;
        QVariantMap options;
        portal_test::Entries shortcuts;  // CreateSession's option or BindShortcuts' argument
    };
    std::vector<Call> calls() const;
    QString session() const;

public slots:
    QDBusObjectPath CreateSession(const QVariantMap& options, const QDBusMessage& message);
    QDBusObjectPath ListShortcuts(const QDBusObjectPath& session, const QVariantMap& options,
                                  const QDBusMessage& message);
    // The type spelt in full: QtDBus finds a slot's argument types by these names.
    QDBusObjectPath BindShortcuts(const QDBusObjectPath& session, const portal_test::Entries& shortcuts,
                                  const QString& parentWindow, const QVariantMap& options,
                                  const QDBusMessage& message);

private:
    QDBusObjectPath answer(const QDBusMessage& message, const QVariantMap& options, uint response,
                           const QVariantMap& results);

    QDBusConnection bus_;
    Desktop desktop_;
    mutable QMutex mutex_;
    std::vector<Call> calls_;
    portal_test::Entries bound_;
    QString session_;
};

}  // namespace parloquin_test
