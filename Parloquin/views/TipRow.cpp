#include "Parloquin/views/TipRow.h"

#include <QHBoxLayout>
#include <QLabel>

#include "Parloquin/views/SecondaryText.h"
#include "Parloquin/views/SymbolIcon.h"
#include "Parloquin/views/TextStyle.h"
#include "Parloquin/views/ThemeColors.h"

namespace parloquin {

TipRow::TipRow(const char* icon, const QString& text, QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);
    auto* symbol = new QLabel(this);
    symbol->setFixedWidth(20);
    symbol->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    symbol->setPixmap(SymbolIcon::pixmap(icon, 14, ThemeColors::shared().accentColor, devicePixelRatioF()));
    row->addWidget(symbol, 0, Qt::AlignTop);
    text_ = SecondaryText::label(text, TextStyle::caption(), this);
    row->addWidget(text_, 1, Qt::AlignTop);
}

}  // namespace parloquin
