#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace platform {

// One running copy of a program per user session, kept through a well-known name on the session
// bus. The first copy owns the name and answers org.freedesktop.Application.Activate on the
// matching object path ("com.example.App" → "/com/example/App"); a later copy finds the name
// taken and asks the owner to activate instead of running beside it. A later copy may instead ask
// for one of the owner's actions (ActivateAction), as a desktop shortcut does.
class SingleInstance {
public:
    enum class Claim {
        owned,            // this is the first copy; activation requests go to the handler
        handedOver,       // another copy runs and was asked to activate
        ownerSilent,      // another copy owns the name but did not answer
        noBus,            // no session bus: nothing can be kept single
    };
    // What became of a request for an action.
    enum class Request {
        done,        // the running copy took it
        notRunning,  // no copy runs
        refused,     // the running copy does not offer that action, or did not answer
        noBus,
    };
    using ActionHandler = std::function<void(const QString& action)>;

    SingleInstance(QDBusConnection bus, QString applicationId);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Tries to own the name; the handler runs on the main loop for each activation request from
    // then on. When the name is taken, asks its owner to activate, waiting at most the timeout.
    Claim claim(std::function<void()> onActivate, int timeoutMs = 5000);
    // As claim; requests for the named actions go to onAction from then on. When the name is taken
    // and an action is given, the owner is asked for that action instead of activating.
    Claim claim(std::function<void()> onActivate, QStringList actions, ActionHandler onAction,
                const QString& action = {}, int timeoutMs = 5000);

    // Asks the copy that runs for an action, without becoming one.
    Request request(const QString& action, int timeoutMs = 5000);

    const QString& applicationId() const { return applicationId_; }
    const QString& objectPath() const { return objectPath_; }

private:
    class Receiver;
    QDBusMessage actionCall(const QString& action) const;

    QDBusConnection bus_;
    QString applicationId_;
    QString objectPath_;
    std::unique_ptr<Receiver> receiver_;
    bool ownsName_ = false;
};

}  // namespace platform
