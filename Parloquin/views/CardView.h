#pragma once

#include <QColor>
#include <QWidget>

namespace parloquin {

// A group of a page's content on a faint rounded background.
class CardView : public QWidget {
public:
    // The background is the colour at the opacity; the content is padded on all edges.
    CardView(const QColor& color, qreal opacity, int padding, QWidget* parent = nullptr);

    // Another background, and a line of the given width just inside the edge (none at width 0).
    void setFill(const QColor& color, qreal opacity);
    void setBorder(const QColor& color, qreal width);

    static constexpr qreal cornerRadius = 8;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor fill_;
    QColor border_;
    qreal borderWidth_ = 0;
};

}  // namespace parloquin
