#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>
#include <string>

namespace parloquin {

// A paste that waits until the user has let go of every key. The hotkey that ends a dictation is
// often still down when its text is ready: a paste chord sent then would reach the focused window
// with the hotkey's modifiers added (Shift+Super+Ctrl+V pastes nothing), or go to the client whose
// grab the held key activated. The text goes on the clipboard at once; the keyboard is polled from
// the main loop, which never blocks. Main thread only.
class PendingPaste : public QObject {
public:
    enum class Outcome {
        pasted,           // the paste chord went out
        copiedOnly,       // no way reaches the focused window to paste: the text is on the clipboard
        keysHeld,         // keys were still down when the wait ended; the text is on the clipboard
        clipboardFailed,  // the clipboard did not take the text; nothing was pasted
        superseded,       // another paste started while this one waited; its text took the clipboard
    };
    using Completion = std::function<void(Outcome)>;

    static constexpr std::chrono::milliseconds kPollInterval{20};

    explicit PendingPaste(std::chrono::milliseconds maximumWait, QObject* parent = nullptr);

    // Puts the text on the clipboard and pastes it (PasteHelper::pasteAtCursor) as soon as no key
    // is down, at the latest after the maximum wait. A paste still waiting ends first, superseded.
    // The completion runs once, on the main thread, possibly before this returns.
    void start(std::string text, Completion completion);
    bool isWaiting() const { return timer_.isActive(); }

private:
    void poll();
    void paste();
    void finish(Outcome outcome);

    std::chrono::milliseconds maximumWait_;
    QTimer timer_;
    QElapsedTimer waited_;
    std::string text_;
    Completion completion_;
};

}  // namespace parloquin
