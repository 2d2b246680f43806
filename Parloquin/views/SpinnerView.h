#pragma once

#include <QTimer>
#include <QWidget>

namespace parloquin {

// A spinning progress indicator: an arc that turns while the view is shown.
class SpinnerView : public QWidget {
public:
    explicit SpinnerView(int diameter, QWidget* parent = nullptr);

    bool isSpinning() const { return timer_.isActive(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QTimer timer_;
    int angle_ = 0;
};

}  // namespace parloquin
