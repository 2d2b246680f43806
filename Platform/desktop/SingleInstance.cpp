#include "Platform/desktop/SingleInstance.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QVariantMap>

namespace platform {
namespace {

const QString kInterface = QStringLiteral("org.freedesktop.Application");

}  // namespace

// Answers the calls of later copies. Only Activate does anything; Open and ActivateAction are
// answered with an error, as this program opens no files and has no actions.
class SingleInstance::Receiver : public QDBusVirtualObject {
public:
    explicit Receiver(std::function<void()> onActivate) : onActivate_(std::move(onActivate)) {}

    QString introspect(const QString&) const override {
        return QStringLiteral("<interface name=\"org.freedesktop.Application\">"
                              "<method name=\"Activate\"><arg type=\"a{sv}\" name=\"platform_data\" direction=\"in\"/></method>"
                              "</interface>");
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.type() != QDBusMessage::MethodCallMessage || message.interface() != kInterface) return false;
        if (message.member() != QStringLiteral("Activate")) {
            connection.send(message.createErrorReply(QDBusError::UnknownMethod,
                                                     QStringLiteral("Only Activate is offered")));
            return true;
        }
        connection.send(message.createReply());
        // Calls may arrive on the bus's own thread; the handler runs on this object's.
        QMetaObject::invokeMethod(this, [this] { if (onActivate_) onActivate_(); }, Qt::QueuedConnection);
        return true;
    }

private:
    std::function<void()> onActivate_;
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
    if (!bus_.isConnected()) return Claim::noBus;
    // The object first, so that a copy that starts the moment the name is taken finds it.
    auto receiver = std::make_unique<Receiver>(std::move(onActivate));
    const bool registered = bus_.registerVirtualObject(objectPath_, receiver.get());
    // Taking the name is atomic on the bus: of two copies starting together, one gets it.
    if (registered && bus_.registerService(applicationId_)) {
        receiver_ = std::move(receiver);
        ownsName_ = true;
        return Claim::owned;
    }
    if (registered) bus_.unregisterObject(objectPath_);

    QDBusMessage call = QDBusMessage::createMethodCall(applicationId_, objectPath_, kInterface, QStringLiteral("Activate"));
    call << QVariantMap{};
    // The main loop keeps running meanwhile, so that the owner may even live in this process.
    const QDBusMessage reply = bus_.call(call, QDBus::BlockWithGui, timeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage ? Claim::handedOver : Claim::ownerSilent;
}

}  // namespace platform
