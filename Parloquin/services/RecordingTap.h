#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "Parloquin/services/SampleRing.h"
#include "Platform/audio/AVAudioConverter.h"
#include "Platform/audio/AVAudioFormat.h"
#include "Platform/audio/AVAudioPCMBuffer.h"

namespace parloquin {

// Turns the captured buffers of one recording into 16 kHz mono 32-bit float samples.
//
// One converter serves the whole recording, so the resampler's history runs on from buffer to
// buffer, and each captured buffer is handed to it exactly once. The samples wait in a ring
// until the thread that collects them takes them; the level of the latest buffer is kept beside
// them.
//
// process() runs on the capture thread and allocates nothing; takeSamples() belongs to one
// collecting thread; finish() runs once the capture has ended, on any one thread.
class RecordingTap {
public:
    // 32-bit float, 16,000 Hz, one channel, not interleaved.
    static platform::AVAudioFormat targetFormat();
    // 16,000 × frames ÷ the input rate, truncated toward zero: the output a buffer is sized for.
    static platform::AVAudioFrameCount outputCapacity(platform::AVAudioFrameCount frames, double inputSampleRate);

    // Nothing when no converter from the input format can be made. The ring holds ringSeconds of
    // output not collected yet; what does not fit is counted as dropped.
    static std::unique_ptr<RecordingTap> make(const platform::AVAudioFormat& inputFormat,
                                              platform::AVAudioFrameCount bufferFrames = 4096,
                                              double ringSeconds = 60.0);

    // Capture thread: converts one buffer. A buffer the converter fails on gives no samples and
    // no level.
    void process(const platform::AVAudioPCMBufferPtr& buffer);
    // The collecting thread: appends the samples converted since the last call.
    void takeSamples(std::vector<float>& samples);
    // Once the capture has ended: converts what the resampler still holds.
    void finish();
    // How many samples went into the ring so far; once finish() has run, all a collector gets.
    std::uint64_t convertedSamples() const noexcept { return ring_.written(); }

    // The level (AudioDeviceManager::levelOfMeanSquare) of the last converted buffer.
    float level() const noexcept { return level_.load(std::memory_order_relaxed); }
    std::uint64_t droppedSamples() const noexcept { return dropped_.load(std::memory_order_relaxed); }

private:
    RecordingTap(std::unique_ptr<platform::AVAudioConverter> converter, platform::AVAudioPCMBufferPtr output,
                 std::size_t ringCapacity);
    // Copies the output buffer's samples into the ring; returns their sum of squares.
    double handOver();

    std::unique_ptr<platform::AVAudioConverter> converter_;
    platform::AVAudioPCMBufferPtr output_;
    SampleRing ring_;
    std::atomic<float> level_{0.0f};
    std::atomic<std::uint64_t> dropped_{0};
};

}  // namespace parloquin
