#pragma once

#include <string_view>

namespace parloquin {

enum class DictationAction { none, start, stop };
// What a command sent to the running program asks for.
enum class DictationCommand { toggle, start, stop };

// When a dictation starts or stops. The settings and the recording flag are read at the moment of
// each event.
struct DictationControl {
    // The menu item and the floating button: stop while recording, else start.
    static DictationAction toggle(bool isRecording);

    // The global hotkey. In "hold" mode, and in "auto" mode (or any unknown mode) with a lone
    // modifier as hotkey, a press starts and a release stops; otherwise a press toggles and a
    // release does nothing.
    static DictationAction press(std::string_view recordingMode, bool isSingleKey, bool isRecording);
    static DictationAction release(std::string_view recordingMode, bool isSingleKey, bool isRecording);
    // A command from the command line: toggle as the menu item, start only while idle, stop only
    // while recording.
    static DictationAction command(DictationCommand command, bool isRecording);

private:
    static bool holdsToRecord(std::string_view recordingMode, bool isSingleKey);
};

}  // namespace parloquin
