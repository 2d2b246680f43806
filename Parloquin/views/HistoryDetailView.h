#pragma once

#include <functional>
#include <string>

#include "Parloquin/services/TranscriptionRecord.h"
#include "Parloquin/views/SheetView.h"

class QLabel;

namespace parloquin {

class StyledButton;

// The sheet of one stored transcript: its figures in a card, the whole text, and the buttons to
// copy it (which closes the sheet) or close. It changes nothing in the history.
class HistoryDetailView : public SheetView {
public:
    static constexpr int width = 600;
    static constexpr int height = 700;

    HistoryDetailView(TranscriptionRecord record, std::function<void()> onCopy, const std::string& localeIdentifier,
                      QWidget* parent = nullptr);

    const TranscriptionRecord& record() const { return record_; }
    // The card's lines as shown: label and value.
    std::vector<std::pair<QString, QString>> metadataLines() const;
    QLabel* transcriptText() const { return text_; }
    StyledButton* copyButton() const { return copy_; }

private:
    TranscriptionRecord record_;
    std::function<void()> onCopy_;
    QWidget* card_ = nullptr;
    QLabel* text_ = nullptr;
    StyledButton* copy_ = nullptr;
};

}  // namespace parloquin
