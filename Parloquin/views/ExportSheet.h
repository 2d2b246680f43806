#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "Parloquin/views/FileChooser.h"
#include "Parloquin/views/SheetView.h"

class QLabel;

namespace parloquin {

class StyledButton;

// A sheet that writes one of two exports of a store to a file the user chooses, and says in a
// status line how it went: "Exported successfully!" in green, or "Export failed: " and the reason
// in red. The text is made before the save dialog opens, so a text that cannot be made opens
// none; an empty text is a failure, never an empty file. Files are written whole or not at all.
// The sheet stays open until "Abbrechen" or its close symbol.
class ExportSheet : public SheetView {
public:
    static constexpr int width = 400;
    static constexpr const char* success = "Exported successfully!";
    static constexpr const char* failurePrefix = "Export failed: ";
    static constexpr const char* emptyExport = "Der Export ergab keinen Text.";

    struct Choice {
        QString button;
        std::string proposedName;
        FileType type;
        // The file's text; nothing when it cannot be made.
        std::function<std::optional<std::string>()> text;
        // Why, when it cannot.
        std::string noText;
    };

    ExportSheet(const QString& title, const QString& subtitle, Choice first, Choice second,
                std::shared_ptr<FileChooser> files, QWidget* parent = nullptr);

    // The first or the second export, as its button does.
    void runExport(int choice);
    const QString& exportStatus() const { return status_; }
    bool lastExportFailed() const { return failed_; }

    StyledButton* firstButton() const { return first_; }
    StyledButton* secondButton() const { return second_; }
    StyledButton* cancelButton() const { return closeButton(); }
    QLabel* statusLabel() const { return statusLabel_; }

private:
    void setStatus(const QString& status, bool failed);

    Choice choices_[2];
    std::shared_ptr<FileChooser> files_;
    QString status_;
    bool failed_ = false;
    StyledButton* first_;
    StyledButton* second_;
    QLabel* statusLabel_;
};

}  // namespace parloquin
