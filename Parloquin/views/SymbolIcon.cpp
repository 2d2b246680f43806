#include "Parloquin/views/SymbolIcon.h"

#include <QCoreApplication>
#include <QHash>
#include <QPainter>
#include <array>
#include <utility>

namespace parloquin {
namespace {

struct ThemeNames {
    std::string_view symbol;
    std::array<const char*, 3> names;
};

// Symbolic (one-colour) icons first, as the symbols are.
constexpr ThemeNames kThemeNames[] = {
    {"gearshape.fill", {"preferences-system-symbolic", "preferences-system", "emblem-system"}},
    {"doc.badge.plus", {"document-new-symbolic", "document-new", nullptr}},
    {"keyboard.fill", {"input-keyboard-symbolic", "input-keyboard", nullptr}},
    {"mic.fill", {"audio-input-microphone-symbolic", "audio-input-microphone", nullptr}},
    {"chart.bar.fill", {"view-statistics", "utilities-system-monitor-symbolic", "utilities-system-monitor"}},
    {"clock.fill", {"document-open-recent-symbolic", "document-open-recent", nullptr}},
    {"info.circle.fill", {"help-about-symbolic", "help-about", "dialog-information"}},
    {"exclamationmark.triangle.fill", {"dialog-warning-symbolic", "dialog-warning", nullptr}},
    {"arrow.clockwise", {"view-refresh-symbolic", "view-refresh", nullptr}},
    {"play.fill", {"media-playback-start-symbolic", "media-playback-start", nullptr}},
    {"stop.fill", {"media-playback-stop-symbolic", "media-playback-stop", nullptr}},
    {"checkmark.circle.fill", {"emblem-ok-symbolic", "emblem-default", nullptr}},
    {"speaker.wave.2.fill", {"audio-volume-high-symbolic", "audio-volume-high", nullptr}},
    {"lock.shield.fill", {"security-high-symbolic", "security-high", nullptr}},
    {"antenna.radiowaves.left.and.right.slash", {"network-offline-symbolic", "network-offline", nullptr}},
    {"doc.text.fill", {"text-x-generic-symbolic", "text-x-generic", nullptr}},
    {"book.fill", {"help-contents-symbolic", "help-contents", nullptr}},
    {"envelope.fill", {"mail-send-symbolic", "mail-send", nullptr}},
    {"chevron.right", {"go-next-symbolic", "go-next", nullptr}},
    {"xmark.circle.fill", {"window-close-symbolic", "window-close", nullptr}},
    {"magnifyingglass", {"edit-find-symbolic", "edit-find", nullptr}},
    {"doc.on.doc", {"edit-copy-symbolic", "edit-copy", nullptr}},
    {"trash", {"user-trash-symbolic", "user-trash", nullptr}},
    {"lock.fill", {"changes-prevent-symbolic", "system-lock-screen", nullptr}},
    {"square.and.arrow.up", {"document-send-symbolic", "document-send", nullptr}},
    {"calendar", {"x-office-calendar-symbolic", "x-office-calendar", nullptr}},
    {"accessibility", {"preferences-desktop-accessibility-symbolic", "preferences-desktop-accessibility", nullptr}},
};

}  // namespace

QStringList SymbolIcon::themeNames(std::string_view symbol) {
    QStringList names;
    for (const auto& entry : kThemeNames) {
        if (entry.symbol != symbol) continue;
        for (const char* name : entry.names)
            if (name) names << QString::fromLatin1(name);
    }
    return names;
}

QString SymbolIcon::fallbackPath(std::string_view symbol) {
    return QStringLiteral(":/parloquin/symbols/") + QString::fromUtf8(symbol.data(), qsizetype(symbol.size())) +
           QStringLiteral(".svg");
}

QIcon SymbolIcon::icon(std::string_view symbol) {
    for (const QString& name : themeNames(symbol))
        if (QIcon::hasThemeIcon(name)) return QIcon::fromTheme(name);
    return QIcon(fallbackPath(symbol));
}

QPixmap SymbolIcon::pixmap(std::string_view symbol, int size, const QColor& color, qreal devicePixelRatio) {
    // Pages draw the same few symbols again and again (one set per history row): each is drawn
    // once per size and colour. Main thread only, as pixmaps are.
    static QHash<QString, QPixmap> drawn;
    // Pixmaps go with the application, not after it.
    static const bool clearedAtExit = (qAddPostRoutine([] { drawn.clear(); }), true);
    (void)clearedAtExit;
    const QString key = QString::fromUtf8(symbol.data(), qsizetype(symbol.size())) + QLatin1Char('/') +
                        QString::number(size) + QLatin1Char('/') + QString::number(color.rgba(), 16) +
                        QLatin1Char('/') + QString::number(devicePixelRatio);
    if (const auto found = drawn.constFind(key); found != drawn.cend()) return *found;
    QPixmap shape = icon(symbol).pixmap(QSize(size, size), devicePixelRatio);
    if (shape.isNull()) return shape;
    QPainter painter(&shape);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(QRect(QPoint(), shape.size() / shape.devicePixelRatio()), color);
    painter.end();
    drawn.insert(key, shape);
    return shape;
}

}  // namespace parloquin
