#include "Parloquin/views/HistoryDetailView.h"

#include <QLabel>
#include <QVBoxLayout>

#include "Parloquin/views/MetadataRow.h"
#include "Parloquin/views/PrimaryButtonStyle.h"
#include "Parloquin/views/RoundedPanel.h"
#include "Parloquin/views/SecondaryText.h"
#include "Parloquin/views/StyledButton.h"
#include "Parloquin/views/TextStyle.h"
#include "Parloquin/views/ThemeColors.h"
#include "Parloquin/views/TranscriptMetadata.h"
#include "Parloquin/views/TranscriptTextBox.h"
#include "Platform/system/TimeZone.h"

namespace parloquin {

HistoryDetailView::HistoryDetailView(TranscriptionRecord record, std::function<void()> onCopy,
                                     const std::string& localeIdentifier, QWidget* parent)
    : SheetView(QStringLiteral("Transkriptionsdetails"), parent), record_(std::move(record)), onCopy_(std::move(onCopy)) {
    setObjectName(QStringLiteral("HistoryDetailView"));
    setFixedSize(width, height);
    const ThemeColors& colors = ThemeColors::shared();
    QVBoxLayout* column = contentLayout();
    column->setSpacing(24);

    auto* card = new RoundedPanel(ThemeColors::withAlpha(colors.secondary, 0.1), 8, this);
    card_ = card;
    auto* lines = new QVBoxLayout(card);
    lines->setContentsMargins(16, 16, 16, 16);
    lines->setSpacing(12);
    for (const auto& row : TranscriptMetadata::rows(record_, localeIdentifier, platform::TimeZone::current()))
        lines->addWidget(new MetadataRow(QString::fromStdString(row.label), QString::fromStdString(row.value), card));
    column->addWidget(card);

    auto* transcript = new QVBoxLayout;
    transcript->setSpacing(8);
    transcript->addWidget(SecondaryText::label(QStringLiteral("TRANSKRIPTION"), TextStyle::caption(), this));
    auto* box = new TranscriptTextBox(this);
    text_ = box->label();
    text_->setText(QString::fromStdString(record_.text));
    transcript->addWidget(box);
    column->addLayout(transcript);
    column->addStretch(1);

    copy_ = new StyledButton(QStringLiteral("In Zwischenablage kopieren"), std::make_shared<PrimaryButtonStyle>(),
                             this);
    connect(copy_, &QPushButton::clicked, this, [this] {
        if (onCopy_) onCopy_();
        accept();
    });
    addButton(copy_);
}

std::vector<std::pair<QString, QString>> HistoryDetailView::metadataLines() const {
    std::vector<std::pair<QString, QString>> lines;
    for (const MetadataRow* row : card_->findChildren<MetadataRow*>(Qt::FindDirectChildrenOnly))
        lines.emplace_back(row->label()->text(), row->value()->text());
    return lines;
}

}  // namespace parloquin
