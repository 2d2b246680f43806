#pragma once

#include <cstddef>
#include <vector>

#include "Platform/ml/MLMultiArray.h"

namespace testsupport {

// Audio whose every encoder frame (1280 samples) carries its frame index, so that the fixture
// models know which frame of the recording they see, also inside a window cut from it.
std::vector<float> markedAudio(std::size_t sampleCount);

// The recording frame a fixture encoder value stands for; −1 for silence (zeros, padding).
int frameOfMarker(float marker);

// An Encoder output of `frames` frames, [1, 1024, frames] (or [1, frames, 1024] when time-major),
// whose frame i carries the marker of recording frame firstFrame + i.
platform::MLMultiArrayPtr markedEncoderOutput(int frames, int firstFrame = 0, bool timeMajor = false);

}  // namespace testsupport
