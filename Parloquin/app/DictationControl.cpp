#include "Parloquin/app/DictationControl.h"

namespace parloquin {

bool DictationControl::holdsToRecord(std::string_view recordingMode, bool isSingleKey) {
    if (recordingMode == "hold") return true;
    if (recordingMode == "toggle") return false;
    return isSingleKey;
}

DictationAction DictationControl::toggle(bool isRecording) {
    return isRecording ? DictationAction::stop : DictationAction::start;
}

DictationAction DictationControl::command(DictationCommand command, bool isRecording) {
    switch (command) {
        case DictationCommand::toggle: return toggle(isRecording);
        case DictationCommand::start: return isRecording ? DictationAction::none : DictationAction::start;
        case DictationCommand::stop: return isRecording ? DictationAction::stop : DictationAction::none;
    }
    return DictationAction::none;
}

DictationAction DictationControl::press(std::string_view recordingMode, bool isSingleKey, bool isRecording) {
    if (holdsToRecord(recordingMode, isSingleKey)) return isRecording ? DictationAction::none : DictationAction::start;
    return toggle(isRecording);
}

DictationAction DictationControl::release(std::string_view recordingMode, bool isSingleKey, bool isRecording) {
    if (holdsToRecord(recordingMode, isSingleKey)) return isRecording ? DictationAction::stop : DictationAction::none;
    return DictationAction::none;
}

}  // namespace parloquin
