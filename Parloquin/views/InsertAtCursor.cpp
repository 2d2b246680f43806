#include "Parloquin/views/InsertAtCursor.h"

#include <QWidget>

#include "Parloquin/services/PasteHelper.h"

namespace parloquin {

const char* const InsertAtCursor::copiedNote =
    "Einfügen war hier nicht möglich. Der Text liegt in der Zwischenablage – füge ihn mit Strg+V ein.";
const char* const InsertAtCursor::notCopiedNote = "Der Text konnte nicht in die Zwischenablage gelegt werden.";

InsertAtCursor::InsertAtCursor(std::shared_ptr<platform::ApplicationFocus> focus, QObject* parent)
    : QObject(parent), focus_(std::move(focus)) {
    poll_.setInterval(pollInterval);
    connect(&poll_, &QTimer::timeout, this, [this] { check(); });
}

void InsertAtCursor::insert(QWidget* window, std::string text, Completion completion) {
    if (isRunning()) return;
    window_ = window;
    text_ = std::move(text);
    completion_ = std::move(completion);
    // Only asked, never requested, here.
    if (!focus_ || !PasteHelper::checkAccessibilityPermission()) return copyInstead();
    const auto target = focus_->previousWindow();
    if (!target) return copyInstead();
    target_ = *target;
    if (window_) window_->showMinimized();
    if (!focus_->activate(target_)) {
        restoreWindow();
        return copyInstead();
    }
    waited_.start();
    poll_.start();
}

void InsertAtCursor::check() {
    if (focus_->hasFocus(target_) && !PasteHelper::isAnyKeyDown()) {
        poll_.stop();
        const PasteHelper::PasteResult result = PasteHelper::pasteAtCursor(text_);
        if (result == PasteHelper::PasteResult::pasted) return finish(Outcome::pasted);
        restoreWindow();
        return finish(result == PasteHelper::PasteResult::copiedOnly ? Outcome::copied : Outcome::notCopied);
    }
    if (waited_.elapsed() >= focusWait.count()) {
        poll_.stop();
        restoreWindow();
        copyInstead();
    }
}

void InsertAtCursor::copyInstead() {
    finish(PasteHelper::copyToClipboard(text_) ? Outcome::copied : Outcome::notCopied);
}

void InsertAtCursor::finish(Outcome outcome) {
    const Completion completion = std::move(completion_);
    completion_ = nullptr;
    if (completion) completion(outcome);
}

void InsertAtCursor::restoreWindow() {
    if (!window_) return;
    window_->showNormal();
    window_->raise();
    window_->activateWindow();
}

}  // namespace parloquin
