#pragma once

// What the desktop portal's clients share: the portal's bus name and object, an unsigned property of
// one of its interfaces, and the object path under which the portal answers a request made with a
// handle token.

#include <QDBusConnection>
#include <QString>
#include <cstdint>

namespace platform {

struct DesktopPortal {
    static const QString service;  // org.freedesktop.portal.Desktop
    static const QString path;     // /org/freedesktop/portal/desktop

    // The property `name` of `interface`, 0 when the portal lacks it or does not answer within 2 s.
    static std::uint32_t uintProperty(QDBusConnection& bus, const QString& interface, const QString& name);
    // The portal names its request objects after the caller's unique bus name and the token.
    static QString requestPath(const QDBusConnection& bus, const QString& token);
};

}  // namespace platform
