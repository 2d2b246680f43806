#include "Parloquin/services/RecordingTap.h"

#include "Parloquin/services/AudioDeviceManager.h"

namespace parloquin {
namespace {

using platform::AVAudioConverterInputStatus;
using platform::AVAudioConverterOutputStatus;
using platform::AVAudioFrameCount;
using platform::AVAudioPCMBuffer;

// Room beyond one buffer's share, for what the resampler releases late.
constexpr AVAudioFrameCount kOutputHeadroom = 256;
constexpr AVAudioFrameCount kFlushFrames = 4096;

}  // namespace

platform::AVAudioFormat RecordingTap::targetFormat() {
    return *platform::AVAudioFormat::make(platform::AVAudioCommonFormat::pcmFormatFloat32, 16000.0, 1, false);
}

AVAudioFrameCount RecordingTap::outputCapacity(AVAudioFrameCount frames, double inputSampleRate) {
    return static_cast<AVAudioFrameCount>(static_cast<double>(frames) * 16000.0 / inputSampleRate);
}

std::unique_ptr<RecordingTap> RecordingTap::make(const platform::AVAudioFormat& inputFormat,
                                                 AVAudioFrameCount bufferFrames, double ringSeconds) {
    const platform::AVAudioFormat target = targetFormat();
    std::unique_ptr<platform::AVAudioConverter> converter = platform::AVAudioConverter::make(inputFormat, target);
    if (!converter) return nullptr;
    const AVAudioFrameCount capacity =
        std::max(outputCapacity(bufferFrames, inputFormat.sampleRate()), kFlushFrames) + kOutputHeadroom;
    platform::AVAudioPCMBufferPtr output = AVAudioPCMBuffer::make(target, capacity);
    if (!output) return nullptr;
    const auto ringCapacity = static_cast<std::size_t>(ringSeconds * target.sampleRate());
    return std::unique_ptr<RecordingTap>(new RecordingTap(std::move(converter), std::move(output), ringCapacity));
}

RecordingTap::RecordingTap(std::unique_ptr<platform::AVAudioConverter> converter,
                           platform::AVAudioPCMBufferPtr output, std::size_t ringCapacity)
    : converter_(std::move(converter)), output_(std::move(output)), ring_(ringCapacity) {}

double RecordingTap::handOver() {
    const float* samples = output_->floatChannelData()[0];
    const std::size_t frames = output_->frameLength();
    const std::size_t taken = ring_.write(samples, frames);
    if (taken < frames) dropped_.fetch_add(frames - taken, std::memory_order_relaxed);
    double sum = 0.0;
    for (std::size_t i = 0; i < frames; ++i) sum += static_cast<double>(samples[i]) * samples[i];
    return sum;
}

void RecordingTap::process(const platform::AVAudioPCMBufferPtr& buffer) {
    // The buffer goes to the converter once; every later request is told that nothing is there
    // for now. Until the converter has asked, it is called again, so no buffer is skipped either.
    bool handedOver = false;
    const platform::AVAudioConverterInputBlock input = [&handedOver, &buffer](platform::AVAudioPacketCount,
                                                                             AVAudioConverterInputStatus& status) {
        if (handedOver) {
            status = AVAudioConverterInputStatus::noDataNow;
            return std::shared_ptr<const AVAudioPCMBuffer>();
        }
        handedOver = true;
        status = AVAudioConverterInputStatus::haveData;
        return std::shared_ptr<const AVAudioPCMBuffer>(buffer);
    };

    double sum = 0.0;
    std::size_t count = 0;
    for (;;) {
        const AVAudioConverterOutputStatus status = converter_->convert(*output_, input);
        if (status == AVAudioConverterOutputStatus::error) return;
        sum += handOver();
        count += output_->frameLength();
        if (status != AVAudioConverterOutputStatus::haveData) break;
    }
    level_.store(count > 0 ? AudioDeviceManager::levelOfMeanSquare(sum / static_cast<double>(count)) : 0.0f,
                 std::memory_order_relaxed);
}

void RecordingTap::takeSamples(std::vector<float>& samples) { ring_.drainInto(samples); }

void RecordingTap::finish() {
    const platform::AVAudioConverterInputBlock end = [](platform::AVAudioPacketCount,
                                                        AVAudioConverterInputStatus& status) {
        status = AVAudioConverterInputStatus::endOfStream;
        return std::shared_ptr<const AVAudioPCMBuffer>();
    };
    for (;;) {
        const AVAudioConverterOutputStatus status = converter_->convert(*output_, end);
        if (status == AVAudioConverterOutputStatus::error) return;
        handOver();
        if (status != AVAudioConverterOutputStatus::haveData) return;
    }
}

}  // namespace parloquin
