#pragma once

#include <cstddef>
#include <vector>

namespace testsupport {

// Who speaks when in a fixture recording, and what each voice sounds like to the embedding model.
// The recording carries the script itself: every sample holds the bitmask of the voices speaking
// at its time, divided by 8 (voice 0 alone 0.125, voice 1 alone 0.25, both 0.375). The fixture
// models read it back, so they know what they hear also in a chunk cut from the recording.
struct DiarizationFixtureScript {
    struct Turn {
        double start = 0;  // seconds
        double end = 0;
        unsigned voices = 0;  // bit i: voice i speaks
    };

    // The embedding of each voice (up to three), by voice index.
    std::vector<std::vector<float>> voices;
    // Later turns win where turns overlap in time.
    std::vector<Turn> turns;

    // The recording: `seconds` of 16 kHz samples.
    std::vector<float> audio(double seconds) const;
    // The bitmask a sample carries.
    static unsigned voicesOf(float sample);
};

}  // namespace testsupport
