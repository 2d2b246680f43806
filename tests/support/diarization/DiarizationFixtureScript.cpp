#include "tests/support/diarization/DiarizationFixtureScript.h"

#include <algorithm>
#include <cmath>

namespace testsupport {

std::vector<float> DiarizationFixtureScript::audio(double seconds) const {
    std::vector<float> samples(static_cast<std::size_t>(std::llround(seconds * 16000)), 0.0f);
    for (const auto& turn : turns) {
        const auto first = static_cast<std::size_t>(std::llround(turn.start * 16000));
        const auto last = std::min(samples.size(), static_cast<std::size_t>(std::llround(turn.end * 16000)));
        for (std::size_t i = first; i < last; ++i) samples[i] = static_cast<float>(turn.voices) / 8.0f;
    }
    return samples;
}

unsigned DiarizationFixtureScript::voicesOf(float sample) {
    const long code = std::lround(sample * 8.0f);
    return code > 0 && code < 8 ? static_cast<unsigned>(code) : 0u;
}

}  // namespace testsupport
