#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <memory>

class QDBusServiceWatcher;

namespace platform {

// One global shortcut through the desktop portal's GlobalShortcuts interface (KDE Plasma, GNOME 48
// and later, Hyprland): the desktop takes the keys, whatever window has the focus, and says when
// they go down (Activated) and up (Deactivated).
//
// The session always has the same handle token, so that the desktop's list of shortcuts holds one
// entry for the program however often it starts. The shortcut goes along with CreateSession (Plasma
// 5.27 registers it only from there) and through BindShortcuts when ListShortcuts does not name it
// (Plasma 6, GNOME, where the desktop may ask the user once). The trigger the desktop reports is
// what it really bound; the preferred one is only a wish.
//
// A press is reported once however often the desktop repeats Activated while the keys are held.
// A portal that goes away ends a hold that was under way, and the shortcut is asked for again when
// the portal comes back. Main thread only.
class GlobalShortcutsPortal : public QObject {
    Q_OBJECT
public:
    enum class State {
        starting,  // the session is being made or the shortcut bound
        bound,     // the desktop reports the shortcut: Activated comes
        refused,   // the desktop or the user declined; stays so until the next start
        lost,      // the portal went away; it is asked again when it comes back
    };
    struct Shortcut {
        QString id;
        QString description;
        QString preferredTrigger;  // as the XDG shortcut format writes it: "CTRL+ALT+space"
    };

    // nullptr where the bus has no portal with a GlobalShortcuts interface. Otherwise the session
    // is asked for at once.
    static std::unique_ptr<GlobalShortcutsPortal> create(QDBusConnection bus, Shortcut shortcut);
    ~GlobalShortcutsPortal() override;

    State state() const { return state_; }
    // What the desktop says the shortcut is ("Strg+Alt+Leertaste", "Press <Control><Alt>space"):
    // empty until it is bound, and where the desktop says nothing.
    const QString& trigger() const { return trigger_; }
    std::uint32_t portalVersion() const { return version_; }
    bool isHeld() const { return held_; }
    const QString& sessionHandle() const { return session_; }

    std::function<void()> onActivated;
    std::function<void()> onDeactivated;
    // The state or the trigger changed.
    std::function<void()> onChanged;

    static constexpr const char* sessionToken = "parloquin";

private slots:
    void onResponse(uint response, const QVariantMap& results);
    void onSignal(const QDBusMessage& message);
    void onClosed(const QVariantMap& details);

private:
    enum class Step { createSession, listShortcuts, bindShortcuts };
    GlobalShortcutsPortal(QDBusConnection bus, Shortcut shortcut, std::uint32_t version);
    void start();
    void ask(Step step);
    void setState(State state, const QString& trigger);
    void release();
    void portalGone();
    // Takes the trigger of this shortcut from a list of shortcuts; false when it is not in it.
    bool takeTrigger(const QVariant& shortcuts);

    QDBusConnection bus_;
    Shortcut shortcut_;
    std::uint32_t version_;
    State state_ = State::starting;
    Step step_ = Step::createSession;
    QString trigger_;
    QString session_;
    QString requestPath_;
    int requests_ = 0;
    bool held_ = false;
    QDBusServiceWatcher* watcher_ = nullptr;
};

}  // namespace platform
