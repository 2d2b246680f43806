#include "Parloquin/views/MetadataRow.h"

#include <QHBoxLayout>
#include <QLabel>

#include "Parloquin/views/SecondaryText.h"
#include "Parloquin/views/TextStyle.h"

namespace parloquin {

MetadataRow::MetadataRow(const QString& label, const QString& value, QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    label_ = SecondaryText::label(label, TextStyle::caption(), this);
    label_->setWordWrap(false);
    row->addWidget(label_);
    row->addStretch(1);
    value_ = new QLabel(value, this);
    QFont font = TextStyle::caption();
    font.setWeight(QFont::Medium);
    value_->setFont(font);
    value_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    row->addWidget(value_);
}

}  // namespace parloquin
