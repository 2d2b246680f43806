#pragma once

#include <QScrollArea>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "Parloquin/services/TranscriptionRecord.h"
#include "Parloquin/views/PageContext.h"
#include "Parloquin/views/RoundedPanel.h"
#include "Parloquin/views/TranscriptExportFormat.h"

class QLabel;
class QMimeData;
class QProgressBar;

namespace parloquin {

class DropZoneView;
class InsertAtCursor;
class RoundedPanel;
class StyledButton;
class TranscriptExportMenu;
class TranscriptSaver;

// The page "Datei": an audio file chosen in the file dialog or dropped on the page is transcribed
// by the dictation service on its worker (the page stays responsive, the button is off while the
// service records or transcribes) and the result can be copied, inserted where the user worked
// before, or saved. The service also puts it into the history and the statistics. While the file
// runs, its card shows how many of its windows are done and about how long the rest takes, with a
// button that cancels it; a file that ended before its stated length says so with the result.
// The running file is the service's: a page built while it runs (the user went to another section
// and came back) shows that file with its progress and cancel button, and its result when it ends.
// No other file is taken meanwhile.
class FileTranscriptionView : public QScrollArea {
public:
    FileTranscriptionView(TranscriptionService& service, const PageContext& context, QWidget* parent = nullptr);
    ~FileTranscriptionView() override;

    // The file dialog; a cancelled one changes nothing, nor does one while a file runs.
    void selectFile();
    // A drop of an audio file; false when the drop carries none.
    bool handleDrop(const QMimeData& data);
    // Transcribes the chosen file.
    void transcribe();
    // Stops the running file, whichever page started it.
    void cancelTranscription();
    void copyResult();
    void insertResult();
    void exportResult(TranscriptExportFormat format);

    const std::optional<std::filesystem::path>& selectedFile() const { return selectedFile_; }
    const std::optional<TranscriptionRecord>& transcriptionResult() const { return transcriptionResult_; }
    const std::optional<std::string>& errorMessage() const { return errorMessage_; }
    const std::optional<std::string>& warningMessage() const { return warningMessage_; }

    DropZoneView* dropZone() const { return dropZone_; }
    StyledButton* transcribeButton() const { return transcribeButton_; }
    StyledButton* cancelButton() const { return cancelButton_; }
    QWidget* progressRow() const { return progressRow_; }
    QProgressBar* progressBar() const { return progressBar_; }
    QLabel* progressText() const { return progressText_; }
    QWidget* resultWarning() const { return resultWarning_; }
    QWidget* fileCard() const { return fileCard_; }
    QWidget* errorLine() const { return errorLine_; }
    QWidget* resultCard() const { return resultCard_; }
    QLabel* resultText() const { return resultText_; }
    QLabel* resultNote() const { return resultNote_; }
    StyledButton* copyButton() const { return copyButton_; }
    StyledButton* insertButton() const { return insertButton_; }
    TranscriptExportMenu* exportButton() const { return exportButton_; }

private:
    // False while a file runs: the card keeps showing that one.
    bool choose(std::filesystem::path file);
    void serviceChanged();
    void showFile();
    void showError();
    void showResult();
    void showNote(const char* note);
    // The progress and the cancel button of the service's running file, or the button that starts one.
    void showJob();
    void showOutcome(const std::optional<TranscriptionRecord>& record, std::exception_ptr error,
                     const std::optional<std::string>& warning);
    QWidget* makeFileCard(QWidget* parent);
    QWidget* makeErrorLine(QWidget* parent);
    QWidget* makeResultCard(QWidget* parent);

    TranscriptionService& service_;
    PageContext context_;
    std::unique_ptr<TranscriptSaver> saver_;
    InsertAtCursor* inserter_;

    std::optional<std::filesystem::path> selectedFile_;
    std::optional<TranscriptionRecord> transcriptionResult_;
    std::optional<std::string> errorMessage_;
    std::optional<std::string> warningMessage_;
    bool following_ = false;  // the running file was started before this page was built

    DropZoneView* dropZone_ = nullptr;
    RoundedPanel* fileCard_ = nullptr;
    QLabel* fileName_ = nullptr;
    QLabel* fileSize_ = nullptr;
    StyledButton* transcribeButton_ = nullptr;
    StyledButton* cancelButton_ = nullptr;
    QWidget* progressRow_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QLabel* progressText_ = nullptr;
    QWidget* resultWarning_ = nullptr;
    QLabel* resultWarningText_ = nullptr;
    RoundedPanel* errorLine_ = nullptr;
    QLabel* errorText_ = nullptr;
    RoundedPanel* resultCard_ = nullptr;
    QWidget* chipRow_ = nullptr;
    QLabel* resultText_ = nullptr;
    QLabel* resultNote_ = nullptr;
    StyledButton* copyButton_ = nullptr;
    StyledButton* insertButton_ = nullptr;
    TranscriptExportMenu* exportButton_ = nullptr;
};

}  // namespace parloquin
