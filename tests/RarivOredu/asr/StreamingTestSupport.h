#pragma once

#include <algorithm>
#include <chrono>
#include <cstring>
#include <span>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "Platform/audio/AVAudioFormat.h"
#include "Platform/audio/AVAudioPCMBuffer.h"
#include "RarivOredu/asr/AsrManager.h"
#include "RarivOredu/asr/StreamingAsrManager.h"
#include "tests/support/asr/AsrFixtureModels.h"

namespace rarivoredu::asrtest {

// Windows of 12 frames (15,360 samples) without context, confirming from the first window on.
inline const StreamingAsrConfig kSmallWindows(0.96, 0.5, 0.0, 0.0, 0.0, 0.5);

// A 16 kHz mono float buffer holding the samples.
inline platform::AVAudioPCMBufferPtr floatBuffer(std::span<const float> samples) {
    const auto format =
        platform::AVAudioFormat::make(platform::AVAudioCommonFormat::pcmFormatFloat32, 16000, 1, false);
    auto buffer = platform::AVAudioPCMBuffer::make(*format, static_cast<platform::AVAudioFrameCount>(samples.size()));
    if (!samples.empty()) std::memcpy(buffer->floatChannelData()[0], samples.data(), samples.size() * sizeof(float));
    buffer->setFrameLength(static_cast<platform::AVAudioFrameCount>(samples.size()));
    return buffer;
}

// Queues the samples [from, to) in buffers of `size` samples.
inline void feed(StreamingAsrManager& manager, const std::vector<float>& audio, std::size_t from, std::size_t to,
                 std::size_t size = 4096) {
    for (std::size_t at = from; at < to; at += size) {
        manager.streamAudio(floatBuffer(std::span<const float>(audio).subspan(at, std::min(size, to - at))));
    }
}

inline void feed(StreamingAsrManager& manager, const std::vector<float>& audio) {
    feed(manager, audio, 0, audio.size());
}

// The batch recogniser's text for the audio, on its own recogniser over the same models.
inline std::string batchText(const testsupport::AsrFixtureModels& models, const std::vector<float>& audio) {
    AsrManager batch;
    batch.initialize(models.asrModels());
    return batch.transcribe(audio).text;
}

// Waits until the condition holds. False when it still does not after a minute, so that a fault
// fails the test instead of hanging it.
template <class Condition>
bool waitUntil(Condition condition) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > giveUp) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// The next update of a stream, waited for as waitUntil does.
inline std::optional<StreamingTranscriptionUpdate> awaitUpdate(StreamingAsrManager::UpdateStream& stream) {
    std::optional<StreamingTranscriptionUpdate> update;
    waitUntil([&] { return (update = stream.tryNext()).has_value(); });
    return update;
}

// The updates a stream has queued by now.
inline std::vector<StreamingTranscriptionUpdate> queuedUpdates(StreamingAsrManager::UpdateStream& stream) {
    std::vector<StreamingTranscriptionUpdate> updates;
    while (auto update = stream.tryNext()) updates.push_back(std::move(*update));
    return updates;
}

}  // namespace rarivoredu::asrtest
