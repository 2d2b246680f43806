#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

namespace parloquin {

// Three dots that bounce as a wave while the view is shown: each moves between 20 points up and
// 20 down and back, easing in and out over 0.6 s each way, the second and third 0.2 s and 0.4 s
// behind the first.
class BouncingDotsView : public QWidget {
public:
    static constexpr int dotCount = 3;
    static constexpr int dotSize = 12;
    static constexpr int spacing = 8;
    static constexpr double amplitude = 20;
    static constexpr double halfPeriod = 0.6;   // seconds from one end to the other
    static constexpr double delayStep = 0.2;    // seconds between neighbouring dots

    explicit BouncingDotsView(QWidget* parent = nullptr);

    // The vertical offset of a dot, in points (negative: up), this long after the view was shown.
    static double offset(int dot, double secondsShown);
    bool isAnimating() const { return timer_.isActive(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QTimer timer_;
    QElapsedTimer shown_;
};

}  // namespace parloquin
