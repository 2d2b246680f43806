#pragma once

#include <QColor>
#include <QWidget>
#include <string_view>

class QLabel;

namespace parloquin {

class SymbolView;

// A symbol before a text: a line of a list (tips, the privacy promises), its text wrapped beside
// a column of its own for the symbol, or a figure, a small symbol right before a text of one line.
class SymbolRow : public QWidget {
public:
    struct Metrics {
        int symbolSize;
        int symbolColumn;  // the symbol is centred in a column this wide
        int spacing;       // between the column and the text
        bool wrapsText;
    };
    static constexpr Metrics line{14, 20, 8, true};
    static constexpr Metrics figure(int symbolSize) { return {symbolSize, symbolSize, 4, false}; }

    SymbolRow(std::string_view symbol, const QColor& symbolColor, const QString& text, const QFont& font,
              const QColor& textColor, QWidget* parent = nullptr, const Metrics& metrics = line);

    SymbolView* symbolView() const { return symbol_; }
    QLabel* textLabel() const { return text_; }

private:
    SymbolView* symbol_;
    QLabel* text_;
};

}  // namespace parloquin
