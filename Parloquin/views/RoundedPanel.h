#pragma once

#include <QColor>
#include <QWidget>

namespace parloquin {

// A plain area with rounded corners, filled with a colour and, when one is given, framed by a
// thin line; its children are laid out on top.
class RoundedPanel : public QWidget {
public:
    explicit RoundedPanel(QWidget* parent = nullptr);

    void setColors(const QColor& fill, const QColor& border = Qt::transparent, qreal borderWidth = 0);
    const QColor& fillColor() const { return fill_; }
    const QColor& borderColor() const { return border_; }

    static constexpr qreal cornerRadius = 8;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor fill_ = Qt::transparent;
    QColor border_ = Qt::transparent;
    qreal borderWidth_ = 0;
};

}  // namespace parloquin
