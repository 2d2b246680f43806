#include "Parloquin/app/StatusIcons.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace parloquin {

QString StatusIcons::resource(StatusImage image) {
    switch (image) {
        case StatusImage::menuBarIcon: return QStringLiteral(":/parloquin/MenuBarIcon.svg");
        case StatusImage::recording: return QStringLiteral(":/parloquin/record.circle.fill.svg");
        case StatusImage::processing: return QStringLiteral(":/parloquin/waveform.circle.fill.svg");
    }
    return {};
}

QString StatusIcons::accessibilityDescription(StatusImage image) {
    switch (image) {
        case StatusImage::menuBarIcon: return {};
        case StatusImage::recording: return QStringLiteral("Aufnahme");
        case StatusImage::processing: return QStringLiteral("Verarbeitung");
    }
    return {};
}

namespace {

QIcon rendered(const QString& resource) {
    QSvgRenderer renderer(resource);
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(0, 0, size, size));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace

QIcon StatusIcons::icon(StatusImage image) { return rendered(resource(image)); }

QIcon StatusIcons::applicationIcon() {
    return QIcon::fromTheme(QStringLiteral("parloquin"), rendered(QStringLiteral(":/parloquin/parloquin.svg")));
}

}  // namespace parloquin
