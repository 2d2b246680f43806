#include "Parloquin/views/DropZoneView.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QStackedLayout>
#include <QVBoxLayout>

#include "Parloquin/views/FileTranscription.h"
#include "Parloquin/views/PrimaryButtonStyle.h"
#include "Parloquin/views/SecondaryText.h"
#include "Parloquin/views/SpinnerView.h"
#include "Parloquin/views/StyledButton.h"
#include "Parloquin/views/SymbolView.h"
#include "Parloquin/views/TextStyle.h"
#include "Parloquin/views/ThemeColors.h"

namespace parloquin {
namespace {

QLabel* centred(QLabel* label) {
    label->setAlignment(Qt::AlignCenter);
    return label;
}

}  // namespace

DropZoneView::DropZoneView(QWidget* parent) : RoundedPanel(QColor(), 12, parent) {
    setObjectName(QStringLiteral("DropZone"));
    setAcceptDrops(true);
    setFixedHeight(height);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    const ThemeColors& colors = ThemeColors::shared();

    stack_ = new QStackedLayout(this);
    stack_->setContentsMargins(32, 16, 32, 16);

    prompt_ = new QWidget(this);
    auto* column = new QVBoxLayout(prompt_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    column->addStretch(1);
    symbol_ = new SymbolView("doc.badge.plus", 48, colors.secondary, prompt_);
    symbol_->setAccessibleName(QStringLiteral("Datei"));
    column->addWidget(symbol_, 0, Qt::AlignHCenter);
    promptTitle_ = centred(new QLabel(QString::fromUtf8(FileTranscription::dropPrompt), prompt_));
    promptTitle_->setFont(TextStyle::headline());
    column->addWidget(promptTitle_);
    column->addWidget(centred(SecondaryText::label(QStringLiteral("oder"), TextStyle::caption(), prompt_)));
    chooseButton_ = new StyledButton(QString::fromUtf8("Datei auswählen"), std::make_shared<PrimaryButtonStyle>(),
                                     prompt_);
    column->addWidget(chooseButton_, 0, Qt::AlignHCenter);
    column->addWidget(centred(
        SecondaryText::label(QString::fromUtf8(FileTranscription::supportedFormats), TextStyle::caption(), prompt_)));
    column->addStretch(1);
    stack_->addWidget(prompt_);

    progress_ = new QWidget(this);
    auto* progressColumn = new QVBoxLayout(progress_);
    progressColumn->setSpacing(12);
    progressColumn->addStretch(1);
    progressColumn->addWidget(new SpinnerView(30, progress_), 0, Qt::AlignHCenter);
    auto* running = centred(new QLabel(QStringLiteral("Transkription läuft..."), progress_));
    running->setFont(TextStyle::headline());
    progressColumn->addWidget(running);
    progressColumn->addWidget(
        centred(SecondaryText::label(QStringLiteral("Bitte warten"), TextStyle::caption(), progress_)));
    progressColumn->addStretch(1);
    stack_->addWidget(progress_);

    setDragging(false);
}

void DropZoneView::setProcessing(bool processing) { stack_->setCurrentWidget(processing ? progress_ : prompt_); }

bool DropZoneView::isProcessing() const { return stack_->currentWidget() == progress_; }

void DropZoneView::setDragging(bool dragging) {
    dragging_ = dragging;
    const ThemeColors& colors = ThemeColors::shared();
    const QColor tint = dragging ? colors.blue : colors.secondary;
    setFill(ThemeColors::withAlpha(tint, 0.05));
    setBorder(ThemeColors::withAlpha(tint, 0.3), 2, true);
    symbol_->setColor(tint);
    QPalette palette = promptTitle_->palette();
    palette.setColor(QPalette::WindowText, dragging ? colors.blue : colors.primary);
    promptTitle_->setPalette(palette);
}

void DropZoneView::dragEnterEvent(QDragEnterEvent* event) {
    if (!event->mimeData() || !FileTranscription::droppedAudioFile(*event->mimeData())) return event->ignore();
    event->acceptProposedAction();
    setDragging(true);
}

void DropZoneView::dragMoveEvent(QDragMoveEvent* event) { event->acceptProposedAction(); }

void DropZoneView::dragLeaveEvent(QDragLeaveEvent*) { setDragging(false); }

void DropZoneView::dropEvent(QDropEvent* event) {
    setDragging(false);
    if (event->mimeData() && onDrop && onDrop(*event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

}  // namespace parloquin
