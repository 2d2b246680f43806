#include "Parloquin/views/HistoryDetailView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "Parloquin/views/MetadataRow.h"
#include "Parloquin/views/PlainButton.h"
#include "Parloquin/views/PrimaryButtonStyle.h"
#include "Parloquin/views/RoundedPanel.h"
#include "Parloquin/views/SecondaryButtonStyle.h"
#include "Parloquin/views/SecondaryText.h"
#include "Parloquin/views/StyledButton.h"
#include "Parloquin/views/TextStyle.h"
#include "Parloquin/views/ThemeColors.h"
#include "Parloquin/views/TranscriptMetadata.h"
#include "Parloquin/views/TranscriptTextBox.h"
#include "Platform/system/TimeZone.h"

namespace parloquin {
namespace {

}  // namespace

HistoryDetailView::HistoryDetailView(TranscriptionRecord record, std::function<void()> onCopy,
                                     const std::string& localeIdentifier, QWidget* parent)
    : QDialog(parent), record_(std::move(record)), onCopy_(std::move(onCopy)) {
    setObjectName(QStringLiteral("HistoryDetailView"));
    setWindowTitle(QStringLiteral("Transkriptionsdetails"));
    setFixedSize(width, height);
    const ThemeColors& colors = ThemeColors::shared();
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(32, 32, 32, 32);
    column->setSpacing(24);

    auto* header = new QHBoxLayout;
    auto* title = new QLabel(QStringLiteral("Transkriptionsdetails"), this);
    title->setFont(TextStyle::title2());
    header->addWidget(title);
    header->addStretch(1);
    auto* closeSymbol = new PlainButton(QString(), colors.secondary, TextStyle::title2(), "xmark.circle.fill", this);
    closeSymbol->setAccessibleName(QString::fromUtf8("Schließen"));
    connect(closeSymbol, &QPushButton::clicked, this, &QDialog::reject);
    closeSymbol_ = closeSymbol;
    header->addWidget(closeSymbol);
    column->addLayout(header);

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

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    buttons->addStretch(1);
    copy_ = new StyledButton(QStringLiteral("In Zwischenablage kopieren"), std::make_shared<PrimaryButtonStyle>(),
                             this);
    connect(copy_, &QPushButton::clicked, this, [this] {
        if (onCopy_) onCopy_();
        accept();
    });
    buttons->addWidget(copy_);
    close_ = new StyledButton(QString::fromUtf8("Schließen"), std::make_shared<SecondaryButtonStyle>(), this);
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(close_);
    buttons->addStretch(1);
    column->addLayout(buttons);
}

std::vector<std::pair<QString, QString>> HistoryDetailView::metadataLines() const {
    std::vector<std::pair<QString, QString>> lines;
    for (const MetadataRow* row : card_->findChildren<MetadataRow*>(Qt::FindDirectChildrenOnly))
        lines.emplace_back(row->label()->text(), row->value()->text());
    return lines;
}

}  // namespace parloquin
