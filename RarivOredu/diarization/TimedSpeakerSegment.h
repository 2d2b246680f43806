#pragma once

#include <string>
#include <vector>

#include "Platform/system/UUID.h"

namespace rarivoredu {

// One speaker turn: who spoke from when to when, in seconds from the start of the recording.
struct TimedSpeakerSegment {
    platform::UUID id;  // fresh for every segment
    std::string speakerId;
    std::vector<float> embedding;  // the speaker's embedding in the chunk the segment came from
    float startTimeSeconds = 0;
    float endTimeSeconds = 0;
    float qualityScore = 0;

    TimedSpeakerSegment(std::string speakerId, std::vector<float> embedding, float startTimeSeconds,
                        float endTimeSeconds, float qualityScore);

    float durationSeconds() const noexcept { return endTimeSeconds - startTimeSeconds; }
};

}  // namespace rarivoredu
