#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "RarivOredu/diarization/PipelineTimings.h"
#include "RarivOredu/diarization/TimedSpeakerSegment.h"

namespace rarivoredu {

// What one diarization found.
struct DiarizationResult {
    // By start time within each chunk, chunk after chunk.
    std::vector<TimedSpeakerSegment> segments;
    // Debug mode only: each known speaker's current embedding by id.
    std::optional<std::map<std::string, std::vector<float>>> speakerDatabase;
    // Debug mode only.
    std::optional<PipelineTimings> timings;
};

}  // namespace rarivoredu
