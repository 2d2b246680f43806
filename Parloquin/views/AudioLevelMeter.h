#pragma once

#include <QColor>
#include <QWidget>

namespace parloquin {

// A horizontal bar filled from the left to the input level (0 to 1), coloured by the level.
class AudioLevelMeter : public QWidget {
public:
    explicit AudioLevelMeter(QWidget* parent = nullptr);

    float level() const { return level_; }
    void setLevel(float level);

    // Below 0.3 green at 0.7 opacity, below 0.7 green, below 0.9 orange, else red.
    static QColor levelColor(float level);
    static constexpr qreal cornerRadius = 4;

    QSize sizeHint() const override { return QSize(200, 12); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    float level_ = 0;
};

}  // namespace parloquin
