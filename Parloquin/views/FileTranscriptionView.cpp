#include "Parloquin/views/FileTranscriptionView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>

#include "Parloquin/services/PasteHelper.h"
#include "Parloquin/services/TranscriptionService.h"
#include "Parloquin/views/DropZoneView.h"
#include "Parloquin/views/FileTranscription.h"
#include "Parloquin/views/InsertAtCursor.h"
#include "Parloquin/views/PageHeaderView.h"
#include "Parloquin/views/PageLayout.h"
#include "Parloquin/views/PrimaryButtonStyle.h"
#include "Parloquin/views/RoundedPanel.h"
#include "Parloquin/views/SecondaryButtonStyle.h"
#include "Parloquin/views/SecondaryText.h"
#include "Parloquin/views/StyledButton.h"
#include "Parloquin/views/SymbolRow.h"
#include "Parloquin/views/SymbolView.h"
#include "Parloquin/views/TextStyle.h"
#include "Parloquin/views/ThemeColors.h"
#include "Parloquin/views/TranscriptExportMenu.h"
#include "Parloquin/views/TranscriptSaver.h"
#include "Parloquin/views/TranscriptTextBox.h"

namespace parloquin {
namespace {

QString text(const std::string& utf8) { return QString::fromStdString(utf8); }
QString text(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace

FileTranscriptionView::FileTranscriptionView(TranscriptionService& service, const PageContext& context,
                                             QWidget* parent)
    : QScrollArea(parent),
      service_(service),
      context_(context),
      saver_(std::make_unique<TranscriptSaver>(context.files ? context.files : FileChooser::system(), context.alerts,
                                               QLocale().name().toStdString())),
      inserter_(new InsertAtCursor(
          context.applicationFocus ? context.applicationFocus : platform::ApplicationFocus::system(), this)) {
    setObjectName(QStringLiteral("FileTranscriptionView"));
    QVBoxLayout* page = PageLayout::scrollingPage(this, QStringLiteral("FileTranscriptionContent"), PageLayout::padding);
    QWidget* content = page->parentWidget();
    page->addWidget(new PageHeaderView(text(FileTranscription::title), text(FileTranscription::subtitle), content));

    dropZone_ = new DropZoneView(content);
    dropZone_->onDrop = [this](const QMimeData& data) { return handleDrop(data); };
    connect(dropZone_->chooseButton(), &QPushButton::clicked, this, [this] { selectFile(); });
    page->addWidget(dropZone_);
    page->addWidget(makeFileCard(content));
    page->addWidget(makeErrorLine(content));
    page->addWidget(makeResultCard(content));
    page->addStretch(1);

    connect(&service_, &TranscriptionService::stateChanged, this, [this] { serviceChanged(); });
    connect(&service_, &TranscriptionService::fileJobChanged, this, [this] { showJob(); });
    connect(&service_, &TranscriptionService::fileFinished, this,
            [this](const std::optional<TranscriptionRecord>& record, std::exception_ptr error,
                   const std::optional<std::string>& warning) {
                if (!following_) return;  // a file started here hears its own completion
                following_ = false;
                showOutcome(record, error, warning);
            });
    if (const auto& job = service_.fileJob()) {
        selectedFile_ = job->file;
        following_ = true;
    }
    serviceChanged();
    showJob();
    showFile();
    showError();
    showResult();
}

FileTranscriptionView::~FileTranscriptionView() = default;

QWidget* FileTranscriptionView::makeFileCard(QWidget* parent) {
    const ThemeColors& colors = ThemeColors::shared();
    fileCard_ = new RoundedPanel(ThemeColors::withAlpha(colors.secondary, 0.1), 8, parent);
    fileCard_->setObjectName(QStringLiteral("SelectedFileCard"));
    auto* row = new QHBoxLayout(fileCard_);
    row->setContentsMargins(16, 16, 16, 16);
    row->setSpacing(12);
    row->addWidget(new SymbolView("waveform", 22, colors.blue, fileCard_));
    auto* column = new QVBoxLayout;
    column->setSpacing(4);
    fileName_ = new QLabel(fileCard_);
    fileName_->setFont(TextStyle::headline());
    column->addWidget(fileName_);
    fileSize_ = SecondaryText::label(QString(), TextStyle::caption(), fileCard_);
    column->addWidget(fileSize_);

    // While this page's file runs: the share of its windows done and the time left.
    progressRow_ = new QWidget(fileCard_);
    progressRow_->setObjectName(QStringLiteral("FileProgress"));
    auto* progress = new QVBoxLayout(progressRow_);
    progress->setContentsMargins(0, 6, 0, 0);
    progress->setSpacing(4);
    progressBar_ = new QProgressBar(progressRow_);
    progressBar_->setObjectName(QStringLiteral("FileProgressBar"));
    progressBar_->setAccessibleName(QStringLiteral("Fortschritt der Transkription"));
    progressBar_->setFormat(QStringLiteral("%p %"));
    progressBar_->setFixedHeight(16);
    progress->addWidget(progressBar_);
    progressText_ = SecondaryText::label(QString(), TextStyle::caption(), progressRow_);
    progressText_->setObjectName(QStringLiteral("FileProgressText"));
    progress->addWidget(progressText_);
    column->addWidget(progressRow_);
    progressRow_->hide();
    row->addLayout(column, 1);

    transcribeButton_ =
        new StyledButton(QStringLiteral("Transkribieren"), std::make_shared<PrimaryButtonStyle>(), fileCard_);
    connect(transcribeButton_, &QPushButton::clicked, this, [this] { transcribe(); });
    row->addWidget(transcribeButton_);
    cancelButton_ = new StyledButton(QString::fromUtf8(FileTranscription::cancelTitle),
                                     std::make_shared<SecondaryButtonStyle>(), fileCard_);
    cancelButton_->setObjectName(QStringLiteral("CancelFileButton"));
    connect(cancelButton_, &QPushButton::clicked, this, [this] { cancelTranscription(); });
    row->addWidget(cancelButton_);
    cancelButton_->hide();
    return fileCard_;
}

QWidget* FileTranscriptionView::makeErrorLine(QWidget* parent) {
    const ThemeColors& colors = ThemeColors::shared();
    errorLine_ = new RoundedPanel(ThemeColors::withAlpha(colors.orange, 0.1), 8, parent);
    errorLine_->setObjectName(QStringLiteral("ErrorLine"));
    auto* column = new QVBoxLayout(errorLine_);
    column->setContentsMargins(12, 12, 12, 12);
    auto* row = new SymbolRow("exclamationmark.triangle.fill", colors.orange, QString(), TextStyle::caption(),
                              colors.secondary, errorLine_, {14, 14, 8, true});
    row->symbolView()->setAccessibleName(QStringLiteral("Fehler"));
    errorText_ = row->textLabel();
    errorText_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addWidget(row);
    return errorLine_;
}

QWidget* FileTranscriptionView::makeResultCard(QWidget* parent) {
    const ThemeColors& colors = ThemeColors::shared();
    resultCard_ = new RoundedPanel(ThemeColors::withAlpha(colors.green, 0.05), 8, parent);
    resultCard_->setObjectName(QStringLiteral("ResultCard"));
    resultCard_->setBorder(ThemeColors::withAlpha(colors.green, 0.3), 1);
    auto* column = new QVBoxLayout(resultCard_);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(16);

    auto* header = new QHBoxLayout;
    auto* title = new QLabel(QStringLiteral("TRANSKRIPTION"), resultCard_);
    title->setFont(TextStyle::headline());
    header->addWidget(title);
    header->addStretch(1);
    chipRow_ = new QWidget(resultCard_);
    auto* chips = new QHBoxLayout(chipRow_);
    chips->setContentsMargins(0, 0, 0, 0);
    chips->setSpacing(12);
    header->addWidget(chipRow_);
    column->addLayout(header);

    // The file ended before its stated length: the text is only part of it.
    auto* warning = new SymbolRow("exclamationmark.triangle.fill", colors.orange, QString(), TextStyle::caption(),
                                  colors.secondary, resultCard_, {14, 14, 8, true});
    warning->setObjectName(QStringLiteral("ResultWarning"));
    warning->symbolView()->setAccessibleName(QStringLiteral("Warnung"));
    resultWarning_ = warning;
    resultWarningText_ = warning->textLabel();
    resultWarningText_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addWidget(warning);

    auto* textBox = new TranscriptTextBox(resultCard_);
    resultText_ = textBox->label();
    resultText_->setObjectName(QStringLiteral("ResultText"));
    column->addWidget(textBox);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    copyButton_ = new StyledButton(QStringLiteral("In Zwischenablage kopieren"),
                                   std::make_shared<PrimaryButtonStyle>(), resultCard_);
    connect(copyButton_, &QPushButton::clicked, this, [this] { copyResult(); });
    buttons->addWidget(copyButton_);
    insertButton_ =
        new StyledButton(QString::fromUtf8("Einfügen"), std::make_shared<SecondaryButtonStyle>(), resultCard_);
    connect(insertButton_, &QPushButton::clicked, this, [this] { insertResult(); });
    buttons->addWidget(insertButton_);
    exportButton_ = new TranscriptExportMenu(ThemeColors::shared().primary, TextStyle::body(), resultCard_);
    exportButton_->onChoose = [this](TranscriptExportFormat format) { exportResult(format); };
    buttons->addWidget(exportButton_);
    buttons->addStretch(1);
    column->addLayout(buttons);

    resultNote_ = SecondaryText::label(QString(), TextStyle::caption(), resultCard_);
    resultNote_->setObjectName(QStringLiteral("ResultNote"));
    column->addWidget(resultNote_);
    return resultCard_;
}

void FileTranscriptionView::serviceChanged() {
    dropZone_->setProcessing(service_.isProcessing());
    // One recogniser serves dictations and files: a file waits for neither.
    transcribeButton_->setEnabled(!service_.isProcessing() && !service_.isRecording());
}

void FileTranscriptionView::selectFile() {
    if (service_.fileJob()) return;
    QPointer<FileTranscriptionView> alive(this);
    const auto chooser = context_.files ? context_.files : FileChooser::system();
    const auto file = chooser->chooseFileToOpen({FileTranscription::openPanelMessage, FileType::audio()});
    if (!alive || !file) return;
    choose(*file);
}

bool FileTranscriptionView::handleDrop(const QMimeData& data) {
    const auto file = FileTranscription::droppedAudioFile(data);
    return file && choose(*file);
}

bool FileTranscriptionView::choose(std::filesystem::path file) {
    // The card belongs to the running file until it ends.
    if (service_.fileJob()) return false;
    selectedFile_ = std::move(file);
    transcriptionResult_.reset();
    warningMessage_.reset();
    errorMessage_.reset();
    showFile();
    showError();
    showResult();
    return true;
}

void FileTranscriptionView::transcribe() {
    errorMessage_.reset();
    showError();
    if (!selectedFile_) return;
    QPointer<FileTranscriptionView> alive(this);
    service_.transcribeFile(*selectedFile_, [alive](std::optional<TranscriptionRecord> record, std::exception_ptr error,
                                                    std::optional<std::string> warning) {
        if (alive) alive->showOutcome(record, error, warning);
    });
}

void FileTranscriptionView::showOutcome(const std::optional<TranscriptionRecord>& record, std::exception_ptr error,
                                        const std::optional<std::string>& warning) {
    if (FileTranscription::isCancellation(error)) {
        errorMessage_ = FileTranscription::cancelled;
    } else if (error) {
        errorMessage_ = FileTranscription::describe(error);
    } else if (!record) {
        errorMessage_ = std::string(FileTranscription::noSpeech) + (warning ? " " + *warning : "");
    } else {
        transcriptionResult_ = record;
        warningMessage_ = warning;
        showResult();
    }
    showError();
}

void FileTranscriptionView::cancelTranscription() { service_.cancelFileTranscription(); }

void FileTranscriptionView::showJob() {
    const auto& job = service_.fileJob();
    progressRow_->setVisible(job.has_value());
    cancelButton_->setVisible(job.has_value());
    transcribeButton_->setVisible(!job);
    if (!job) return;
    if (job->windowCount > 0) {
        progressBar_->setRange(0, static_cast<int>(job->windowCount));
        progressBar_->setValue(static_cast<int>(std::min(job->windowsDone, job->windowCount)));
    } else {
        progressBar_->setRange(0, 0);  // busy until the first window is counted
    }
    // Judged at the last count, so that a page built later tells the same time left.
    const double elapsed = std::chrono::duration<double>(job->reported - job->started).count();
    progressText_->setText(text(FileTranscription::progressText(job->windowsDone, job->windowCount, elapsed)));
    cancelButton_->setEnabled(!job->cancelling);
}

void FileTranscriptionView::copyResult() {
    if (transcriptionResult_) PasteHelper::copyToClipboard(transcriptionResult_->text);
}

void FileTranscriptionView::insertResult() {
    if (!transcriptionResult_) return;
    showNote(nullptr);
    QPointer<FileTranscriptionView> alive(this);
    inserter_->insert(window(), transcriptionResult_->text, [alive](InsertAtCursor::Outcome outcome) {
        if (!alive) return;
        switch (outcome) {
            case InsertAtCursor::Outcome::pasted: alive->showNote(nullptr); break;
            case InsertAtCursor::Outcome::copied: alive->showNote(InsertAtCursor::copiedNote); break;
            case InsertAtCursor::Outcome::notCopied: alive->showNote(InsertAtCursor::notCopiedNote); break;
        }
    });
}

void FileTranscriptionView::exportResult(TranscriptExportFormat format) {
    if (transcriptionResult_) saver_->save(*transcriptionResult_, format);
}

void FileTranscriptionView::showFile() {
    fileCard_->setVisible(selectedFile_.has_value());
    if (!selectedFile_) return;
    fileName_->setText(text(selectedFile_->filename().string()));
    const auto size = FileTranscription::sizeText(*selectedFile_);
    fileSize_->setVisible(size.has_value());
    if (size) fileSize_->setText(*size);
}

void FileTranscriptionView::showError() {
    errorLine_->setVisible(errorMessage_.has_value());
    if (errorMessage_) errorText_->setText(text(*errorMessage_));
}

void FileTranscriptionView::showNote(const char* note) {
    resultNote_->setVisible(note != nullptr);
    resultNote_->setText(note ? text(note) : QString());
}

void FileTranscriptionView::showResult() {
    resultCard_->setVisible(transcriptionResult_.has_value());
    showNote(nullptr);
    resultWarning_->setVisible(transcriptionResult_.has_value() && warningMessage_.has_value());
    if (warningMessage_) resultWarningText_->setText(text(*warningMessage_));
    if (!transcriptionResult_) return;
    resultText_->setText(text(transcriptionResult_->text));
    const ThemeColors& colors = ThemeColors::shared();
    auto* chips = static_cast<QHBoxLayout*>(chipRow_->layout());
    while (QLayoutItem* item = chips->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (const auto& chip : FileTranscription::chips(*transcriptionResult_))
        chips->addWidget(new SymbolRow(chip.symbol, colors.secondary, text(chip.text), TextStyle::caption(),
                                       colors.secondary, chipRow_, SymbolRow::figure(12)));
}

}  // namespace parloquin
