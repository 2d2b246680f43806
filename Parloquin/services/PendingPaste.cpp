#include "Parloquin/services/PendingPaste.h"

#include "Parloquin/services/PasteHelper.h"

namespace parloquin {

PendingPaste::PendingPaste(std::chrono::milliseconds maximumWait, QObject* parent)
    : QObject(parent), maximumWait_(maximumWait) {
    timer_.setInterval(kPollInterval);
    connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
}

void PendingPaste::start(std::string text, Completion completion) {
    if (isWaiting()) finish(Outcome::superseded);
    text_ = std::move(text);
    completion_ = std::move(completion);
    // Nothing held: the paste writes the clipboard once and goes out at once.
    if (!PasteHelper::isAnyKeyDown()) return paste();
    // On the clipboard at once: there it stays whatever happens to the paste.
    if (!PasteHelper::copyToClipboard(text_)) return finish(Outcome::clipboardFailed);
    waited_.start();
    timer_.start();
}

void PendingPaste::poll() {
    if (!PasteHelper::isAnyKeyDown()) return paste();
    if (waited_.elapsed() >= maximumWait_.count()) finish(Outcome::keysHeld);
}

void PendingPaste::paste() {
    // Written again: another program may have taken the clipboard while the keys were down.
    switch (PasteHelper::pasteAtCursor(text_)) {
        case PasteHelper::PasteResult::pasted: return finish(Outcome::pasted);
        case PasteHelper::PasteResult::copiedOnly: return finish(Outcome::copiedOnly);
        case PasteHelper::PasteResult::notCopied: return finish(Outcome::clipboardFailed);
    }
}

void PendingPaste::finish(Outcome outcome) {
    timer_.stop();
    text_.clear();
    if (Completion completion = std::exchange(completion_, nullptr)) completion(outcome);
}

}  // namespace parloquin
