#include "Parloquin/views/TranscriptTextBox.h"

#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

#include "Parloquin/views/TextStyle.h"
#include "Parloquin/views/ThemeColors.h"

namespace parloquin {

TranscriptTextBox::TranscriptTextBox(QWidget* parent)
    : RoundedPanel(ThemeColors::withAlpha(ThemeColors::shared().secondary, 0.05), 8, parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setMaximumHeight(maximumTextHeight);
    label_ = new QLabel(scroll);
    label_->setWordWrap(true);
    label_->setTextFormat(Qt::PlainText);
    label_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    label_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label_->setFont(TextStyle::body());
    scroll->setWidget(label_);
    scroll->viewport()->setAutoFillBackground(false);
    label_->setAutoFillBackground(false);
    layout->addWidget(scroll);
}

}  // namespace parloquin
