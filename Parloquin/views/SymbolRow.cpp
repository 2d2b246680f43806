#include "Parloquin/views/SymbolRow.h"

#include <QHBoxLayout>
#include <QLabel>

#include "Parloquin/views/SymbolIcon.h"

namespace parloquin {

SymbolRow::SymbolRow(std::string_view symbol, const QColor& symbolColor, const QString& text, const QFont& font,
                     const QColor& textColor, QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    auto* icon = new QLabel(this);
    icon->setFixedWidth(symbolColumn);
    icon->setAlignment(Qt::AlignCenter);
    icon->setPixmap(SymbolIcon::pixmap(symbol, symbolSize, symbolColor, devicePixelRatioF()));
    layout->addWidget(icon, 0, Qt::AlignTop);
    text_ = new QLabel(text, this);
    text_->setFont(font);
    text_->setWordWrap(true);
    QPalette palette = text_->palette();
    palette.setColor(QPalette::WindowText, textColor);
    text_->setPalette(palette);
    layout->addWidget(text_, 1);
}

}  // namespace parloquin
