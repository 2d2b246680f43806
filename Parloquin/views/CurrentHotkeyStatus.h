#pragma once

#include "Parloquin/views/HotkeysSettings.h"
#include "Parloquin/views/RoundedPanel.h"

class QLabel;

namespace parloquin {

// The card under the hotkey that says whether it works: a symbol and "AKTUELLER STATUS" over the
// status line, tinted in the status colour, and for a single key that waits for a grant, what the
// grant takes.
class CurrentHotkeyStatus : public RoundedPanel {
public:
    explicit CurrentHotkeyStatus(QWidget* parent = nullptr);

    void setStatus(const HotkeysSettings::Status& status);

    QLabel* textLabel() const { return text_; }
    QLabel* noteLabel() const { return note_; }

    static QColor color(HotkeysSettings::Tone tone);

private:
    QLabel* icon_;
    QLabel* text_;
    QLabel* note_;
};

}  // namespace parloquin
