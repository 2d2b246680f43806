#include "RarivOredu/tts/TimeStretcher.h"

#include <SoundTouch.h>

#include <algorithm>
#include <cmath>

#include "RarivOredu/tts/TtsConstants.h"

namespace rarivoredu {
namespace {

// Overlap-add windows that suit speech: 40 ms sequences, a 15 ms seek window (a pitch period of
// the lowest voices), 8 ms overlap.
constexpr int kSequenceMs = 40;
constexpr int kSeekWindowMs = 15;
constexpr int kOverlapMs = 8;
// The input goes in blocks, and what is ready comes out after each, so that the engine's buffers
// stay small.
constexpr std::size_t kFeedBlock = 4096;
constexpr unsigned kReceiveBlock = 4096;

}  // namespace

TimeStretcher::TimeStretcher() : engine_(std::make_unique<soundtouch::SoundTouch>()) {
    engine_->setSampleRate(TtsConstants::audioSampleRate);
    engine_->setChannels(1);
    engine_->setSetting(SETTING_SEQUENCE_MS, kSequenceMs);
    engine_->setSetting(SETTING_SEEKWINDOW_MS, kSeekWindowMs);
    engine_->setSetting(SETTING_OVERLAP_MS, kOverlapMs);
    // The stepwise search for the best joint takes half the time of the full one and still finds
    // joints that keep the pitch of speech.
    engine_->setSetting(SETTING_USE_QUICKSEEK, 1);
    // Only the tempo changes, never the rate: there is nothing for an anti-alias filter to do.
    engine_->setSetting(SETTING_USE_AA_FILTER, 0);
}

TimeStretcher::~TimeStretcher() = default;

void TimeStretcher::stretch(std::span<const float> input, double tempo, std::vector<float>& output) {
    if (input.empty()) {
        output.clear();
        return;
    }
    const auto target = static_cast<std::size_t>(std::llround(static_cast<double>(input.size()) / tempo));
    // Room for a whole block past the end; the flush pads the end with silence and the length is
    // cut to the exact one.
    output.assign(target + kReceiveBlock, 0.0f);
    std::size_t filled = 0;
    const auto receive = [&] {
        while (filled < target) {
            const unsigned received = engine_->receiveSamples(output.data() + filled, kReceiveBlock);
            if (received == 0) break;
            filled += received;
        }
    };
    engine_->clear();
    engine_->setTempo(tempo);
    for (std::size_t at = 0; at < input.size(); at += kFeedBlock) {
        const std::size_t count = std::min(kFeedBlock, input.size() - at);
        engine_->putSamples(input.data() + at, static_cast<unsigned>(count));
        receive();
    }
    engine_->flush();
    receive();
    engine_->clear();
    output.resize(target);
}

}  // namespace rarivoredu
