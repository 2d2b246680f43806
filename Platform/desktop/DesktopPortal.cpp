#include "Platform/desktop/DesktopPortal.h"

#include <QDBusMessage>
#include <QDBusVariant>

namespace platform {

const QString DesktopPortal::service = QStringLiteral("org.freedesktop.portal.Desktop");
const QString DesktopPortal::path = QStringLiteral("/org/freedesktop/portal/desktop");

namespace {
constexpr int kPropertyTimeout = 2000;  // ms: a portal that does not answer that soon is not used
}

std::uint32_t DesktopPortal::uintProperty(QDBusConnection& bus, const QString& interface, const QString& name) {
    QDBusMessage get =
        QDBusMessage::createMethodCall(service, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << interface << name;
    const QDBusMessage reply = bus.call(get, QDBus::Block, kPropertyTimeout);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return 0;
    return reply.arguments().first().value<QDBusVariant>().variant().toUInt();
}

QString DesktopPortal::requestPath(const QDBusConnection& bus, const QString& token) {
    QString sender = bus.baseService();
    sender.remove(0, 1).replace(QLatin1Char('.'), QLatin1Char('_'));
    return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
}

}  // namespace platform
