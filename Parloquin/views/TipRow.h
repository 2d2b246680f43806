#pragma once

#include <QWidget>

class QLabel;

namespace parloquin {

// One tip of the hotkeys page: a small symbol in the accent colour beside its text, which wraps.
class TipRow : public QWidget {
public:
    TipRow(const char* icon, const QString& text, QWidget* parent = nullptr);

    QLabel* textLabel() const { return text_; }

private:
    QLabel* text_;
};

}  // namespace parloquin
