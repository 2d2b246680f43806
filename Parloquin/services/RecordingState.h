#pragma once

#include <cstdint>

namespace parloquin {

// Where the dictation service is: the argument of its stateChanged signal.
enum class RecordingState : std::uint8_t {
    idle = 0,        // nothing is recorded or processed
    recording = 1,   // the microphone is being recorded
    processing = 2,  // a recording or a file is being transcribed
};

}  // namespace parloquin
