#pragma once

#include <QColor>
#include <QToolButton>
#include <functional>

#include "Parloquin/views/TranscriptExportFormat.h"

class QMenu;

namespace parloquin {

// The menu "Exportieren" of a transcript: "Als Text (.txt)", "Als Untertitel (.srt)" and
// "Als Rich Text (.rtf)", opened from a borderless button with the share symbol.
class TranscriptExportMenu : public QToolButton {
public:
    TranscriptExportMenu(QColor color, const QFont& font, QWidget* parent = nullptr);

    // Told the format chosen.
    std::function<void(TranscriptExportFormat)> onChoose;

    QMenu* items() const { return menu_; }
    // Chooses the menu item of the format, as a click on it would.
    void choose(TranscriptExportFormat format);

private:
    QMenu* menu_;
};

}  // namespace parloquin
