#include "Parloquin/views/SymbolRow.h"

#include <QHBoxLayout>
#include <QLabel>

#include "Parloquin/views/SymbolView.h"

namespace parloquin {

SymbolRow::SymbolRow(std::string_view symbol, const QColor& symbolColor, const QString& text, const QFont& font,
                     const QColor& textColor, QWidget* parent, const Metrics& metrics)
    : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(metrics.spacing);
    symbol_ = new SymbolView(std::string(symbol), metrics.symbolSize, symbolColor, this);
    symbol_->setFixedWidth(metrics.symbolColumn);
    layout->addWidget(symbol_, 0, metrics.wrapsText ? Qt::AlignTop : Qt::AlignVCenter);
    text_ = new QLabel(text, this);
    text_->setFont(font);
    text_->setWordWrap(metrics.wrapsText);
    QPalette palette = text_->palette();
    palette.setColor(QPalette::WindowText, textColor);
    text_->setPalette(palette);
    layout->addWidget(text_, metrics.wrapsText ? 1 : 0);
}

}  // namespace parloquin
