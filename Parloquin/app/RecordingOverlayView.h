#pragma once

#include <QElapsedTimer>
#include <QPainterPath>
#include <QTimer>
#include <QVariantAnimation>
#include <QWidget>
#include <array>
#include <functional>
#include <string>

namespace parloquin {

// The capsule shown while the microphone records: a pulsing red dot, "Aufnahme...", the elapsed
// time and eight bars that follow the input level. Its timers run while it is shown.
class RecordingOverlayView : public QWidget {
public:
    static constexpr int barCount = 8;
    using LevelSource = std::function<float()>;  // the input level, 0...1
    using Jitter = std::function<double()>;      // uniformly distributed in −0.05...0.05

    explicit RecordingOverlayView(LevelSource level, QWidget* parent = nullptr);

    void resetStartTime();
    void updateElapsedTime();
    void updateWaveform();

    // "%02d:%02d" of whole minutes and seconds; minutes are not wrapped at an hour.
    static std::string formattedElapsedTime(double elapsedTime);
    std::string formattedElapsedTime() const { return formattedElapsedTime(elapsedTime_); }

    double elapsedTime() const { return elapsedTime_; }
    double smoothedLevel() const { return smoothedLevel_; }
    const std::array<double, barCount>& waveformHeights() const { return waveformHeights_; }
    // Between 0.4 and 1.0, following the elapsed time.
    double dotOpacity() const;
    bool timersActive() const { return timer_.isActive() && waveformTimer_.isActive(); }
    // Ends the timers for good: the level is not read again.
    void stopUpdating();
    // The capsule's outline when the view has the given size.
    QPainterPath capsuleShape(QSize size) const;

    void setJitter(Jitter jitter) { jitter_ = std::move(jitter); }
    // For pictures of the overlay: the time shown, as if this long had passed.
    void setElapsedTimeForDisplay(double seconds);

    QSize sizeHint() const override;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QRectF capsuleRect(QSizeF area) const;

    LevelSource level_;
    Jitter jitter_;
    QElapsedTimer startTime_;
    double elapsedTime_ = 0;
    std::array<double, barCount> waveformHeights_;
    std::array<double, barCount> shownHeights_;      // what the bars show while they move
    std::array<double, barCount> previousHeights_;
    double smoothedLevel_ = 0.3;
    QTimer timer_;
    QTimer waveformTimer_;
    QVariantAnimation barAnimation_;
    bool stopped_ = false;
};

}  // namespace parloquin
