#include "Parloquin/views/ExportSheet.h"

#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>

#include "Parloquin/views/ExportFileWriter.h"
#include "Parloquin/views/PrimaryButtonStyle.h"
#include "Parloquin/views/SecondaryButtonStyle.h"
#include "Parloquin/views/SecondaryText.h"
#include "Parloquin/views/StyledButton.h"
#include "Parloquin/views/TextStyle.h"
#include "Parloquin/views/ThemeColors.h"
#include "Platform/system/NSError.h"

namespace parloquin {

ExportSheet::ExportSheet(const QString& title, const QString& subtitle, Choice first, Choice second,
                         std::shared_ptr<FileChooser> files, QWidget* parent)
    : SheetView(title, parent, QStringLiteral("Abbrechen")),
      choices_{std::move(first), std::move(second)},
      files_(std::move(files)) {
    setFixedWidth(width);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    QVBoxLayout* column = contentLayout();
    column->setSpacing(24);

    auto* explanation = SecondaryText::label(subtitle, TextStyle::body(), this);
    explanation->setAlignment(Qt::AlignCenter);
    column->addWidget(explanation);

    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(12);
    first_ = new StyledButton(choices_[0].button, std::make_shared<PrimaryButtonStyle>(), this);
    second_ = new StyledButton(choices_[1].button, std::make_shared<SecondaryButtonStyle>(), this);
    const int margins = layout()->contentsMargins().left() + layout()->contentsMargins().right();
    for (StyledButton* button : {first_, second_}) {
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        button->setFixedWidth(width - margins);
        buttons->addWidget(button);
    }
    connect(first_, &QPushButton::clicked, this, [this] { runExport(0); });
    connect(second_, &QPushButton::clicked, this, [this] { runExport(1); });
    column->addLayout(buttons);

    statusLabel_ = new QLabel(this);
    statusLabel_->setObjectName(QStringLiteral("ExportStatus"));
    statusLabel_->setFont(TextStyle::caption());
    statusLabel_->setAlignment(Qt::AlignCenter);
    statusLabel_->setWordWrap(true);
    statusLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusLabel_->hide();
    column->addWidget(statusLabel_);
}

void ExportSheet::runExport(int index) {
    const Choice& choice = choices_[index];
    const std::optional<std::string> text = choice.text ? choice.text() : std::nullopt;
    if (!text) return setStatus(QString::fromUtf8(failurePrefix) + QString::fromStdString(choice.noText), true);
    if (text->empty()) return setStatus(QString::fromUtf8(failurePrefix) + QString::fromUtf8(emptyExport), true);
    if (!files_) return;
    QPointer<ExportSheet> alive(this);
    const auto path = files_->chooseSaveLocation({choice.proposedName, choice.type});
    if (!alive || !path) return;
    try {
        ExportFileWriter::write(*path, *text);
    } catch (const platform::NSError& error) {
        return setStatus(QString::fromUtf8(failurePrefix) + QString::fromStdString(error.localizedDescription()), true);
    }
    setStatus(QString::fromUtf8(success), false);
}

void ExportSheet::setStatus(const QString& status, bool failed) {
    status_ = status;
    failed_ = failed;
    statusLabel_->setText(status);
    QPalette palette = statusLabel_->palette();
    palette.setColor(QPalette::WindowText, failed ? ThemeColors::shared().red : ThemeColors::shared().green);
    statusLabel_->setPalette(palette);
    statusLabel_->setVisible(!status.isEmpty());
}

}  // namespace parloquin
