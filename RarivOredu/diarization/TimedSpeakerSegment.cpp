#include "RarivOredu/diarization/TimedSpeakerSegment.h"

namespace rarivoredu {

TimedSpeakerSegment::TimedSpeakerSegment(std::string speakerId, std::vector<float> embedding, float startTimeSeconds,
                                         float endTimeSeconds, float qualityScore)
    : speakerId(std::move(speakerId)),
      embedding(std::move(embedding)),
      startTimeSeconds(startTimeSeconds),
      endTimeSeconds(endTimeSeconds),
      qualityScore(qualityScore) {}

}  // namespace rarivoredu
