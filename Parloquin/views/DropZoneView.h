#pragma once

#include <functional>

#include "Parloquin/views/RoundedPanel.h"

class QMimeData;
class QStackedLayout;
class QLabel;

namespace parloquin {

class StyledButton;
class SymbolView;

// The box of the page "Datei" that takes a dropped audio file: a dashed rounded border, the
// prompt and the button "Datei auswählen"; while a transcription runs, a spinner in its place.
// It lights up blue while a drag that carries an audio file hovers over it.
class DropZoneView : public RoundedPanel {
public:
    static constexpr int height = 200;

    explicit DropZoneView(QWidget* parent = nullptr);

    // Called with the drop of an audio file; answers whether it was taken.
    std::function<bool(const QMimeData&)> onDrop;

    void setProcessing(bool processing);
    bool isProcessing() const;
    bool isDragging() const { return dragging_; }
    StyledButton* chooseButton() const { return chooseButton_; }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void setDragging(bool dragging);

    QStackedLayout* stack_;
    QWidget* prompt_;
    QWidget* progress_;
    SymbolView* symbol_;
    QLabel* promptTitle_;
    StyledButton* chooseButton_;
    bool dragging_ = false;
};

}  // namespace parloquin
