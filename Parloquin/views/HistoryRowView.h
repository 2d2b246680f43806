#pragma once

#include <functional>

#include "Parloquin/services/TranscriptionRecord.h"
#include "Parloquin/views/RoundedPanel.h"
#include "Parloquin/views/TranscriptExportFormat.h"
#include "Platform/system/Date.h"

class QGraphicsOpacityEffect;
class QLabel;
class QPropertyAnimation;

namespace parloquin {

class PlainButton;
class TranscriptExportMenu;

// One transcript in the list of the page "Verlauf": when it was made, its language, length and
// words, the start of its text and how much faster speaking was than typing. While the pointer is
// over it (or the keyboard is in it), a line of actions fades in: copy, save as TXT, SRT or RTF,
// delete. A click anywhere else, or Enter, opens the detail sheet. What the actions do is the
// page's.
class HistoryRowView : public RoundedPanel {
    Q_OBJECT

public:
    struct Actions {
        std::function<void()> onTap;
        std::function<void()> onCopy;
        std::function<void()> onDelete;
        std::function<void(TranscriptExportFormat)> onExport;
    };

    // The relative time is said from `now` in the locale given.
    HistoryRowView(TranscriptionRecord record, Actions actions, platform::Date now, const std::string& localeIdentifier,
                   QWidget* parent = nullptr);

    const TranscriptionRecord& record() const { return record_; }
    // Says the relative time anew from `now`: a row that stays on screen does not go stale.
    void showRelativeTime(platform::Date now);
    bool isHovered() const { return hovered_; }
    void setHovered(bool hovered);

    QLabel* previewLabel() const { return preview_; }
    // The action line and its buttons exist once the row was first hovered.
    QWidget* actionLine() const { return actionLine_; }
    PlainButton* copyButton() const { return copy_; }
    TranscriptExportMenu* exportButton() const { return export_; }
    PlainButton* deleteButton() const { return delete_; }
    // The texts of the top line and of the figures line, in order.
    QStringList topLineTexts() const;
    QStringList figureTexts() const;

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    class Preview;

    QWidget* makeTopLine(platform::Date now, const std::string& localeIdentifier);
    QWidget* makeFigures();
    QWidget* makeActions();
    void focusMoved(QWidget* now);

    TranscriptionRecord record_;
    Actions actions_;
    bool hovered_ = false;
    bool pressed_ = false;
    std::string localeIdentifier_;
    QWidget* topLine_ = nullptr;
    QLabel* relativeTime_ = nullptr;
    QLabel* preview_ = nullptr;
    QWidget* figures_ = nullptr;
    QWidget* actionLine_ = nullptr;
    QGraphicsOpacityEffect* fade_ = nullptr;
    QPropertyAnimation* fading_ = nullptr;
    PlainButton* copy_ = nullptr;
    TranscriptExportMenu* export_ = nullptr;
    PlainButton* delete_ = nullptr;
};

}  // namespace parloquin
