#include "Parloquin/views/SettingRow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "Parloquin/views/SecondaryText.h"
#include "Parloquin/views/TextStyle.h"

namespace parloquin {

SettingRow::SettingRow(const QString& title, const QString& description, QWidget* content, QWidget* parent)
    : QWidget(parent), content_(content) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(16);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    title_ = new QLabel(title, this);
    title_->setFont(TextStyle::headline());
    title_->setWordWrap(true);
    description_ = SecondaryText::label(description, TextStyle::caption(), this);
    texts->addWidget(title_);
    texts->addWidget(description_);
    row->addLayout(texts, 1);

    content->setParent(this);
    content->setAccessibleName(title);
    content->setAccessibleDescription(description);
    row->addWidget(content, 0, Qt::AlignTop | Qt::AlignRight);
}

}  // namespace parloquin
