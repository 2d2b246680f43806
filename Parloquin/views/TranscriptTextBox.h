#pragma once

#include "Parloquin/views/RoundedPanel.h"

class QLabel;

namespace parloquin {

// A transcript's whole text on a faint rounded box, selectable, scrolling once it is taller than
// 300 points.
class TranscriptTextBox : public RoundedPanel {
public:
    static constexpr int maximumTextHeight = 300;

    explicit TranscriptTextBox(QWidget* parent = nullptr);

    QLabel* label() const { return label_; }

private:
    QLabel* label_;
};

}  // namespace parloquin
