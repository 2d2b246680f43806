#include "Platform/desktop/SingleInstance.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QVariantMap>

namespace platform {
namespace {

const QString kInterface = QStringLiteral("org.freedesktop.Application");

}  // namespace

// Answers the calls of later copies: Activate, and ActivateAction for the actions offered. Open is
// answered with an error, as this program opens no files.
class SingleInstance::Receiver : public QDBusVirtualObject {
public:
    Receiver(std::function<void()> onActivate, QStringList actions, ActionHandler onAction)
        : onActivate_(std::move(onActivate)), actions_(std::move(actions)), onAction_(std::move(onAction)) {}

    QString introspect(const QString&) const override {
        return QStringLiteral("<interface name=\"org.freedesktop.Application\">"
                              "<method name=\"Activate\"><arg type=\"a{sv}\" name=\"platform_data\" direction=\"in\"/></method>"
                              "<method name=\"ActivateAction\"><arg type=\"s\" name=\"action_name\" direction=\"in\"/>"
                              "<arg type=\"av\" name=\"parameter\" direction=\"in\"/>"
                              "<arg type=\"a{sv}\" name=\"platform_data\" direction=\"in\"/></method>"
                              "</interface>");
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.type() != QDBusMessage::MethodCallMessage || message.interface() != kInterface) return false;
        if (message.member() == QStringLiteral("ActivateAction")) {
            const QList<QVariant> arguments = message.arguments();
            const QString action = arguments.isEmpty() ? QString() : arguments.first().toString();
            if (!actions_.contains(action) || !onAction_) {
                connection.send(message.createErrorReply(QDBusError::InvalidArgs,
                                                         QStringLiteral("No action named '%1'").arg(action)));
                return true;
            }
            connection.send(message.createReply());
            QMetaObject::invokeMethod(this, [this, action] { if (onAction_) onAction_(action); }, Qt::QueuedConnection);
            return true;
        }
        if (message.member() != QStringLiteral("Activate")) {
            connection.send(message.createErrorReply(QDBusError::UnknownMethod,
                                                     QStringLiteral("Only Activate and ActivateAction are offered")));
            return true;
        }
        connection.send(message.createReply());
        // Calls may arrive on the bus's own thread; the handler runs on this object's.
        QMetaObject::invokeMethod(this, [this] { if (onActivate_) onActivate_(); }, Qt::QueuedConnection);
        return true;
    }

private:
    std::function<void()> onActivate_;
    QStringList actions_;
    ActionHandler onAction_;
};

SingleInstance::SingleInstance(QDBusConnection bus, QString applicationId)
    : bus_(std::move(bus)), applicationId_(std::move(applicationId)) {
    objectPath_ = QLatin1Char('/') + QString(applicationId_).replace(QLatin1Char('.'), QLatin1Char('/'));
}

SingleInstance::~SingleInstance() {
    if (receiver_) bus_.unregisterObject(objectPath_);
    if (ownsName_) bus_.unregisterService(applicationId_);
}

SingleInstance::Claim SingleInstance::claim(std::function<void()> onActivate, int timeoutMs) {
    return claim(std::move(onActivate), {}, {}, {}, timeoutMs);
}

SingleInstance::Claim SingleInstance::claim(std::function<void()> onActivate, QStringList actions,
                                            ActionHandler onAction, const QString& action, int timeoutMs) {
    if (!bus_.isConnected()) return Claim::noBus;
    // The object first, so that a copy that starts the moment the name is taken finds it.
    auto receiver = std::make_unique<Receiver>(std::move(onActivate), std::move(actions), std::move(onAction));
    const bool registered = bus_.registerVirtualObject(objectPath_, receiver.get());
    // Taking the name is atomic on the bus: of two copies starting together, one gets it.
    if (registered && bus_.registerService(applicationId_)) {
        receiver_ = std::move(receiver);
        ownsName_ = true;
        return Claim::owned;
    }
    if (registered) bus_.unregisterObject(objectPath_);

    QDBusMessage call;
    if (action.isEmpty()) {
        call = QDBusMessage::createMethodCall(applicationId_, objectPath_, kInterface, QStringLiteral("Activate"));
        call << QVariantMap{};
    } else {
        call = actionCall(action);
    }
    // The main loop keeps running meanwhile, so that the owner may even live in this process.
    const QDBusMessage reply = bus_.call(call, QDBus::BlockWithGui, timeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage ? Claim::handedOver : Claim::ownerSilent;
}

SingleInstance::Request SingleInstance::request(const QString& action, int timeoutMs) {
    if (!bus_.isConnected()) return Request::noBus;
    const QDBusMessage reply = bus_.call(actionCall(action), QDBus::BlockWithGui, timeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage) return Request::done;
    // Nobody owns the name: the bus says so at once.
    if (reply.errorName() == QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown") ||
        reply.errorName() == QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner"))
        return Request::notRunning;
    return Request::refused;
}

QDBusMessage SingleInstance::actionCall(const QString& action) const {
    QDBusMessage call =
        QDBusMessage::createMethodCall(applicationId_, objectPath_, kInterface, QStringLiteral("ActivateAction"));
    call << action << QVariant::fromValue(QVariantList{}) << QVariantMap{};
    return call;
}

}  // namespace platform
