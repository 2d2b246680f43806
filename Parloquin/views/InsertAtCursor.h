#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "Platform/desktop/ApplicationFocus.h"

class QWidget;

namespace parloquin {

// Inserts a text at the cursor of the application the user worked in before ours: our window is
// minimised, the keyboard is handed back to that application's window, and once it has arrived
// there (and no key is held) the text is pasted. Where that cannot be done — no synthetic keys on
// this desktop, no other window, or the focus does not arrive in time — the text is copied
// instead and our window comes back, so that the user can paste it by hand.
class InsertAtCursor : public QObject {
public:
    enum class Outcome {
        pasted,
        copied,     // on the clipboard, for the user to paste
        notCopied,  // the clipboard did not take it
    };
    using Completion = std::function<void(Outcome)>;

    static constexpr std::chrono::milliseconds focusWait{1500};
    static constexpr std::chrono::milliseconds pollInterval{20};

    // Shown when the text was copied in place of a paste, and when not even that worked.
    static const char* const copiedNote;
    static const char* const notCopiedNote;

    explicit InsertAtCursor(std::shared_ptr<platform::ApplicationFocus> focus, QObject* parent = nullptr);

    // Starts the insertion; the completion runs on the main thread once it is done. A second call
    // while one runs is ignored.
    void insert(QWidget* window, std::string text, Completion completion);
    bool isRunning() const { return poll_.isActive(); }

private:
    void check();
    void copyInstead();
    void finish(Outcome outcome);
    void restoreWindow();

    std::shared_ptr<platform::ApplicationFocus> focus_;
    QPointer<QWidget> window_;
    std::string text_;
    Completion completion_;
    platform::ApplicationFocus::WindowId target_ = 0;
    QTimer poll_;
    QElapsedTimer waited_;
};

}  // namespace parloquin
