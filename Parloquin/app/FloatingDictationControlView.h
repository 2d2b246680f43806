#pragma once

#include <QColor>
#include <QPoint>
#include <QWidget>
#include <functional>

namespace parloquin {

// The floating record button: a capsule whose colour, symbol, label and tooltip follow the
// dictation service. A click toggles the dictation; while a transcript is processed the button is
// disabled. Dragging it moves its window.
class FloatingDictationControlView : public QWidget {
public:
    struct Appearance {
        QColor colour;  // the capsule, with its opacity
        const char* symbol;
        const char* label;
        const char* helpText;
    };

    // Processing is looked at first.
    static Appearance appearance(bool isRecording, bool isProcessing);

    explicit FloatingDictationControlView(std::function<void()> onToggle, QWidget* parent = nullptr);

    void setServiceState(bool isRecording, bool isProcessing);
    bool isRecording() const { return isRecording_; }
    bool isProcessing() const { return isProcessing_; }
    // What a click does: onToggle, unless the service is processing.
    void click();

    QSize sizeHint() const override { return {148, 42}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::function<void()> onToggle_;
    bool isRecording_ = false;
    bool isProcessing_ = false;
    bool pressed_ = false;
    bool dragging_ = false;
    QPoint pressGlobal_;
    QPoint windowAtPress_;
};

}  // namespace parloquin
