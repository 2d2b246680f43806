#include "RarivOredu/tts/TimeStretcher.h"

#include <SoundTouch.h>

#include <algorithm>
#include <cmath>

#include "RarivOredu/tts/TtsConstants.h"

namespace rarivoredu {
namespace {

// Overlap-add windows that suit speech: 40 ms sequences, 15 ms seek window, 8 ms overlap.
constexpr int kSequenceMs = 40;
constexpr int kSeekWindowMs = 15;
constexpr int kOverlapMs = 8;
constexpr unsigned kReceiveBlock = 4096;

}  // namespace

TimeStretcher::TimeStretcher() : engine_(std::make_unique<soundtouch::SoundTouch>()) {
    engine_->setSampleRate(TtsConstants::audioSampleRate);
    engine_->setChannels(1);
    engine_->setSetting(SETTING_SEQUENCE_MS, kSequenceMs);
    engine_->setSetting(SETTING_SEEKWINDOW_MS, kSeekWindowMs);
    engine_->setSetting(SETTING_OVERLAP_MS, kOverlapMs);
    engine_->setSetting(SETTING_USE_QUICKSEEK, 0);  // the full search joins segments best
    // Only the tempo changes, never the rate: there is nothing for an anti-alias filter to do.
    engine_->setSetting(SETTING_USE_AA_FILTER, 0);
}

TimeStretcher::~TimeStretcher() = default;

void TimeStretcher::stretch(std::span<const float> input, double tempo, std::vector<float>& output) {
    const auto target = static_cast<std::size_t>(std::llround(static_cast<double>(input.size()) / tempo));
    output.clear();
    output.reserve(target + kReceiveBlock);
    if (input.empty()) return;
    engine_->clear();
    engine_->setTempo(tempo);
    engine_->putSamples(input.data(), static_cast<unsigned>(input.size()));
    engine_->flush();
    for (;;) {
        const std::size_t at = output.size();
        output.resize(at + kReceiveBlock);
        const unsigned received = engine_->receiveSamples(output.data() + at, kReceiveBlock);
        output.resize(at + received);
        if (received == 0 || output.size() >= target) break;
    }
    engine_->clear();
    // The flush pads the end with silence; the length is the exact one.
    output.resize(target, 0.0f);
}

}  // namespace rarivoredu
