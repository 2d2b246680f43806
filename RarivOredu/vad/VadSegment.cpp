#include "RarivOredu/vad/VadSegment.h"

#include "RarivOredu/vad/VadSampleCount.h"

namespace rarivoredu {

std::int64_t VadSegment::startSample(double sampleRate) const noexcept {
    return VadSampleCount::truncated(startTime * sampleRate);
}

std::int64_t VadSegment::endSample(double sampleRate) const noexcept {
    return VadSampleCount::truncated(endTime * sampleRate);
}

std::int64_t VadSegment::sampleCount(double sampleRate) const noexcept {
    return VadSampleCount::subtract(endSample(sampleRate), startSample(sampleRate));
}

}  // namespace rarivoredu
