#pragma once

#include <QAbstractButton>
#include <QTimer>

namespace parloquin {

// The chosen hotkey in a wide button: its glyphs with a keyboard symbol and "Ändern" at the right;
// while a new one is being recorded, a turning indicator, "Aufnahme..." and "Abbrechen", framed in
// the accent colour. A click starts or ends the recording (the clicked signal).
class HotkeyDisplay : public QAbstractButton {
public:
    explicit HotkeyDisplay(QWidget* parent = nullptr);

    void setHotkey(const QString& hotkey);
    void setRecording(bool recording);
    const QString& hotkey() const { return hotkey_; }
    bool isRecording() const { return recording_; }
    // What the button says: the hotkey, or "Aufnahme..." while recording.
    QString label() const;
    // "Ändern", or "Abbrechen" while recording.
    QString action() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    static constexpr int maximumWidth = 400;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QFont labelFont() const;
    QFont actionFont() const;

    QString hotkey_;
    bool recording_ = false;
    int spinnerAngle_ = 0;
    QTimer spinner_;
};

}  // namespace parloquin
