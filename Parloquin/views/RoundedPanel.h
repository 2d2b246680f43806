#pragma once

#include <QColor>
#include <QWidget>

namespace parloquin {

// A rounded box that the pages put their cards, banners and fields on: a fill, and optionally a
// border inside its edge, plain or dashed, or a diagonal gradient for a fill.
class RoundedPanel : public QWidget {
public:
    explicit RoundedPanel(QColor fill, qreal radius = 8, QWidget* parent = nullptr);
    // A card: its content in a column (12 apart) padded on all edges.
    RoundedPanel(QColor fill, qreal radius, int padding, QWidget* parent);

    void setFill(QColor fill);
    QColor fill() const { return fill_; }
    // From the top leading corner to the bottom trailing one, in place of the fill.
    void setGradient(QColor from, QColor to);
    void setBorder(QColor color, qreal width, bool dashed = false);
    QColor borderColor() const { return border_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor fill_;
    QColor gradientEnd_;
    QColor border_;
    qreal radius_;
    qreal borderWidth_ = 0;
    bool dashed_ = false;
};

}  // namespace parloquin
