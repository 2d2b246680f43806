#pragma once

#include <QObject>
#include <bitset>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "Parloquin/hotkeys/HotkeyTriple.h"
#include "Platform/desktop/CGEvent.h"

class QKeyEvent;

namespace parloquin {

// Captures a new dictation hotkey from the keys the user presses in this application's windows:
// a key with at least one modifier (on its press), or one modifier tapped alone, let go within
// 0.15 s with no other key meanwhile. Escape alone ends the capture without a result. Other keys
// pass on to the windows as usual; the captured ones do not.
//
// Main thread only. The completion gets the capture later from the event loop, once the recorder
// is idle again, and not at all if the recorder is gone by then.
class HotkeyRecorder : public QObject {
    Q_OBJECT
public:
    using Completion =
        std::function<void(const std::string& display, std::uint16_t keyCode, std::uint32_t modifiers, bool isSingleKey)>;

    struct Capture {
        std::string display;
        HotkeyTriple hotkey;
    };

    static constexpr std::chrono::milliseconds singleKeyDetectionWindow{150};

    explicit HotkeyRecorder(QObject* parent = nullptr);
    ~HotkeyRecorder() override;

    bool isRecording() const { return isRecording_; }
    // Starts watching the keys; nothing happens while a capture runs already.
    void startRecording(Completion completion);
    // Ends a capture without a result.
    void stopRecording();

    // A key going down with these modifier flags, as a hotkey: its glyphs and name ("⌃⇧2"), code and
    // modifier mask. None for a bare key or a key without a name.
    static std::optional<Capture> handleKeyDown(std::uint16_t keyCode, platform::CGEventFlags flags);

signals:
    void isRecordingChanged(bool recording);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Each returns whether the event is taken (not passed on).
    bool handleKeyDownEvent(const QKeyEvent& event);
    bool handleFlagsChanged(unsigned nativeKeycode, bool down, std::uint64_t timestamp);
    void finish(Capture capture);

    bool isRecording_ = false;
    Completion completion_;
    std::optional<std::uint64_t> modifierDownTime_;  // of the gesture's first modifier, in event time (ms)
    bool otherKeyPressed_ = false;
    platform::CGEventFlags gestureModifiers_ = 0;  // every modifier that went down in the gesture
    std::bitset<256> modifierKeysDown_;            // by key position, left and right apart
};

}  // namespace parloquin
