#pragma once

#include <QColor>
#include <QIcon>
#include <QSize>
#include <QString>

class QFontMetrics;
class QPainter;
class QRect;

namespace parloquin {

// How the pages draw their action buttons: the label (after its symbol, when it has one) padded
// 16 by 8 on a rounded fill of the style's colour, drawn at 0.8 opacity while pressed and faded
// to 0.4 while disabled, so that a button that does nothing does not look as if it did.
class ButtonStyle {
public:
    static constexpr int horizontalPadding = 16;
    static constexpr int verticalPadding = 8;
    static constexpr qreal cornerRadius = 4;
    static constexpr qreal pressedOpacity = 0.8;
    static constexpr qreal disabledOpacity = 0.4;
    static constexpr int symbolSpacing = 6;

    virtual ~ButtonStyle() = default;
    virtual QColor fillColor() const = 0;
    virtual QColor textColor() const = 0;

    static qreal opacity(bool pressed, bool enabled) {
        return !enabled ? disabledOpacity : pressed ? pressedOpacity : 1.0;
    }
    // The symbol, when there is one, is a square as high as the text.
    static QSize sizeForLabel(const QFontMetrics& metrics, const QString& label, bool withSymbol = false);
    // The symbol is drawn in the text colour.
    void draw(QPainter& painter, const QRect& bounds, const QString& label, bool pressed, bool enabled,
              const QIcon& symbol = QIcon()) const;
};

}  // namespace parloquin
