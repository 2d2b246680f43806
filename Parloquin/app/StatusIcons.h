#pragma once

#include <QIcon>
#include <QString>

namespace parloquin {

// The status item's pictures, drawn for this application (SVG in the resources).
enum class StatusImage {
    menuBarIcon,  // idle
    recording,    // "record.circle.fill"
    processing,   // "waveform.circle.fill"
};

struct StatusIcons {
    // Rendered at the sizes trays ask for, so no image plug-in is needed.
    static QIcon icon(StatusImage image);
    // The resource that holds the picture.
    static QString resource(StatusImage image);
    // What the picture says to assistive technology: empty for the application's own icon.
    static QString accessibilityDescription(StatusImage image);
    // The application's icon for windows and dialogs: the icon theme's "parloquin", as installed
    // beside the menu entry, else the same picture from the resources.
    static QIcon applicationIcon();
};

}  // namespace parloquin
