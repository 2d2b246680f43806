#pragma once

#include <QColor>
#include <QWidget>
#include <string_view>

class QLabel;

namespace parloquin {

// A symbol in a column of its own before a wrapped line of text (tips, the privacy promises).
class SymbolRow : public QWidget {
public:
    SymbolRow(std::string_view symbol, const QColor& symbolColor, const QString& text, const QFont& font,
              const QColor& textColor, QWidget* parent = nullptr);

    QLabel* textLabel() const { return text_; }

    static constexpr int symbolSize = 14;
    static constexpr int symbolColumn = 20;

private:
    QLabel* text_;
};

}  // namespace parloquin
