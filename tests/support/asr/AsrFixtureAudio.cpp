#include "tests/support/asr/AsrFixtureAudio.h"

#include <cmath>

namespace testsupport {
namespace {

constexpr float kScale = 4096.0f;  // (frame + 1) / 4096 is exact in float for every frame we use
constexpr std::size_t kFrameSamples = 1280;

float marker(std::int64_t frame) { return static_cast<float>(frame + 1) / kScale; }

}  // namespace

std::vector<float> markedAudio(std::size_t sampleCount) {
    std::vector<float> samples(sampleCount);
    for (std::size_t i = 0; i < sampleCount; ++i) samples[i] = marker(static_cast<std::int64_t>(i / kFrameSamples));
    return samples;
}

int frameOfMarker(float value) { return static_cast<int>(std::lround(value * kScale)) - 1; }

platform::MLMultiArrayPtr markedEncoderOutput(int frames, int firstFrame, bool timeMajor) {
    using Shape = platform::MLMultiArray::Shape;
    auto output = platform::MLMultiArray::create(timeMajor ? Shape{1, frames, 1024} : Shape{1, 1024, frames},
                                                 platform::MLMultiArrayDataType::float32);
    for (std::int64_t i = 0; i < frames; ++i) {
        output->setValueAt(timeMajor ? Shape{0, i, 0} : Shape{0, 0, i}, marker(firstFrame + i));
    }
    return output;
}

}  // namespace testsupport
