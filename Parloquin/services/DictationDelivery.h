#pragma once

#include <QObject>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "Parloquin/services/AlertPresenter.h"
#include "Parloquin/services/PendingPaste.h"
#include "Platform/system/UserDefaults.h"

namespace parloquin {

// Owns what becomes of a dictated text once it is ready: pasted into the focused window (its paste
// chord once the user has let go of every key, at most kPasteKeyWait later; then Return 0.1 s
// later when auto-send is on) where the desktop allows synthetic keys and paste-in-place is on;
// otherwise copied, showing the guidance (PasteGuidance) once when a paste was wanted. The keys go
// out through PendingPaste and PasteHelper to TextDelivery, which picks the route that reaches the
// focused window. When none does, the text stays on the clipboard and kCopiedOnlyNotice says so; a
// clipboard that does not take the text, and keys held past the wait, are told too. Its settings
// (paste in place, auto-send, the guidance shown, privacy mode) are read at each use. Main
// thread only.
class DictationDelivery : public QObject {
public:
    // A notification's title and text.
    using Notice = std::function<void(const std::string& title, const std::string& body)>;

    // How long a paste waits for the user to let go of every key.
    static constexpr std::chrono::milliseconds kPasteKeyWait{2000};
    // The notice when no way reaches the focused window to paste and the text waits on the clipboard.
    static constexpr const char* kCopiedOnlyNotice = "In die Zwischenablage kopiert – mit Strg+V einfügen";

    DictationDelivery(platform::UserDefaults& defaults, std::shared_ptr<AlertPresenter> alerts, Notice notice);

    // Pastes or copies the text as above; nothing for an empty text.
    void deliver(const std::string& text);

    bool hasShownGuidance() const;
    void setHasShownGuidance(bool shown);
    bool pasteInPlaceMode() const;
    bool autoSendText() const;

private:
    void pasteFinished(PendingPaste::Outcome outcome, bool autoSend);
    // The sentence that says where a text that was not delivered can still be found.
    std::string whereTheTextIs() const;
    void showAccessibilityAlert();

    platform::UserDefaults& defaults_;
    std::shared_ptr<AlertPresenter> alerts_;
    Notice notice_;
    PendingPaste pendingPaste_{kPasteKeyWait};
};

}  // namespace parloquin
