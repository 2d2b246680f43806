#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "Platform/audio/AVAudioFormat.h"
#include "Platform/audio/AVAudioPCMBuffer.h"
#include "Platform/audio/AVAudioTypes.h"
#include "Platform/system/NSError.h"

struct soxr;

namespace platform {

// What an input block tells the converter along with the buffer it returns.
enum class AVAudioConverterInputStatus : int {
    haveData = 0,     // the returned buffer holds input
    noDataNow = 1,    // no input at the moment; more may come in a later call
    endOfStream = 2,  // no more input ever: the converter flushes what it holds
};

// How a conversion call ended.
enum class AVAudioConverterOutputStatus : int {
    haveData = 0,     // the output buffer is full; call again for more
    inputRanDry = 1,  // the input block answered noDataNow
    endOfStream = 2,  // the input ended and everything has been written
    error = 3,        // the conversion failed; see the error
};

// Asked for input whenever the converter needs some; the packet count is a hint. The converter
// keeps the returned buffer until it has used all of it, across calls if need be; an empty
// buffer is no input, and the block is asked again. A block capturing no more than two
// references is held without allocating.
using AVAudioConverterInputBlock = std::function<std::shared_ptr<const AVAudioPCMBuffer>(
    AVAudioPacketCount inNumberOfPackets, AVAudioConverterInputStatus& outStatus)>;

// Converts PCM audio between formats: sample type, interleaving, channel count and sample rate.
//
// Channels: a mono output is the mean of all input channels, so no speaker of a multi-channel
// recording is lost. Otherwise output channel k takes input channel k: with fewer input channels, a
// mono input feeds every output channel and the missing channels of a wider input are silent;
// extra input channels are left out.
// Sample rate: band-limited resampling (libsoxr, high quality). The converter keeps state between
// calls: input it has not used yet and the resampler's history. After endOfStream it answers
// endOfStream until reset().
class AVAudioConverter {
public:
    // Nothing when the two formats cannot be converted.
    static std::unique_ptr<AVAudioConverter> make(const AVAudioFormat& inputFormat, const AVAudioFormat& outputFormat);
    ~AVAudioConverter();
    AVAudioConverter(const AVAudioConverter&) = delete;
    AVAudioConverter& operator=(const AVAudioConverter&) = delete;

    const AVAudioFormat& inputFormat() const noexcept { return inputFormat_; }
    const AVAudioFormat& outputFormat() const noexcept { return outputFormat_; }

    // Fills the output buffer from its start, up to its capacity, asking the block for input as
    // needed, and sets its frame length to what was written. On error, outError (when given)
    // receives the reason. The output buffer must be in the output format and every input buffer
    // in the input format. Allocates nothing.
    AVAudioConverterOutputStatus convert(AVAudioPCMBuffer& outputBuffer, const AVAudioConverterInputBlock& inputBlock,
                                         std::optional<NSError>* outError = nullptr);

    // Forgets held input and the resampler's history, and leaves the end-of-stream state.
    void reset();

private:
    enum class Stage { running, flushing, finished };

    AVAudioConverter(const AVAudioFormat& inputFormat, const AVAudioFormat& outputFormat);
    bool resamples() const noexcept { return resampler_ != nullptr; }
    AVAudioFrameCount prepareInput(AVAudioFrameCount available);
    AVAudioFrameCount resample(AVAudioFrameCount inputFrames, AVAudioPCMBuffer& output, AVAudioFrameCount at,
                               AVAudioFrameCount room, bool flush, std::size_t& used);
    AVAudioFrameCount passThrough(AVAudioPCMBuffer& output, AVAudioFrameCount at, AVAudioFrameCount room);
    // Writes the mean of every input channel over frames from the read position into destination.
    void mixDown(AVAudioFrameCount frames, float* destination) noexcept;

    AVAudioFormat inputFormat_;
    AVAudioFormat outputFormat_;
    std::vector<int> channelMap_;  // per output channel: the input channel, or -1 for silence
    soxr* resampler_ = nullptr;
    bool directOutput_ = false;
    bool mixesDown_ = false;  // a mono output from more than one input channel

    std::vector<float> inputStaging_;
    std::vector<float> outputStaging_;
    std::vector<float> silence_;
    std::vector<float> mixStaging_;
    std::vector<const float*> inputPointers_;
    std::vector<float*> outputPointers_;

    std::shared_ptr<const AVAudioPCMBuffer> input_;
    AVAudioFrameCount inputOffset_ = 0;
    Stage stage_ = Stage::running;
};

}  // namespace platform
