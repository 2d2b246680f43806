#include "RarivOredu/shared/AudioConverter.h"

#include <cmath>
#include <cstdint>
#include <exception>
#include <functional>
#include <limits>
#include <memory>
#include <optional>

#include "Platform/audio/AVAudioConverter.h"
#include "Platform/audio/AVAudioFile.h"
#include "RarivOredu/shared/AudioConverterError.h"
#include "RarivOredu/shared/NumberFormat.h"

namespace rarivoredu {
namespace {

using platform::AVAudioFrameCount;
using platform::AVAudioPCMBuffer;

constexpr AVAudioFrameCount drainFrames = 4096;
// Frames of a file read and converted at a time: what a file transcription holds besides its
// result.
constexpr AVAudioFrameCount fileBlockFrames = 65536;
// The most samples reserved ahead from what a header or a buffer announces (17 minutes at
// 16 kHz): a file's header may claim any length, so more than this grows with what is decoded.
constexpr std::size_t maxReservedSamples = std::size_t{1} << 24;

std::size_t reservation(double samples) {
    if (!(samples > 0)) return 0;
    return samples < static_cast<double>(maxReservedSamples) ? static_cast<std::size_t>(samples) : maxReservedSamples;
}

// Appends the first frameLength samples of channel 0, whatever the layout.
void appendFirstChannel(const AVAudioPCMBuffer& buffer, std::vector<float>& samples) {
    float* const* data = buffer.floatChannelData();
    const AVAudioFrameCount frames = buffer.frameLength();
    if (data == nullptr || frames == 0) return;
    const std::size_t stride = buffer.stride();
    const float* channel = data[0];
    if (stride == 1) {
        samples.insert(samples.end(), channel, channel + frames);
        return;
    }
    for (AVAudioFrameCount i = 0; i < frames; ++i) samples.push_back(channel[i * stride]);
}


// A buffer the converter may read while the caller keeps it alive.
std::shared_ptr<const AVAudioPCMBuffer> borrowed(const AVAudioPCMBuffer& buffer) {
    return std::shared_ptr<const AVAudioPCMBuffer>(std::shared_ptr<void>(), &buffer);
}

// Averages the channels to mono and resamples by linear interpolation, one buffer of the
// recording after another, with the samples the whole recording at once would give: output i
// lies at source position step × i, between the source frames around it; the output holds
// floor(frames ÷ step) samples, the last ones taking the last frame where no next one follows.
class MixDownResampler {
public:
    MixDownResampler(double sourceRate, double targetRate, std::vector<float>& output)
        : step_(sourceRate / targetRate),
          resamples_(sourceRate != targetRate),
          keep_(static_cast<std::size_t>(std::ceil(step_)) + 2),
          output_(output) {}

    void add(const AVAudioPCMBuffer& buffer) {
        float* const* data = buffer.floatChannelData();
        if (data == nullptr) throw AudioConverterError::failedToCreateBuffer();
        const std::size_t channels = buffer.format().channelCount();
        const std::size_t frames = buffer.frameLength();
        const bool interleaved = buffer.format().isInterleaved();
        const float scale = 1.0f / static_cast<float>(channels);
        if (!resamples_) window_.clear();
        for (std::size_t i = 0; i < frames; ++i) {
            float sum = 0.0f;
            for (std::size_t c = 0; c < channels; ++c) sum += interleaved ? data[0][i * channels + c] : data[c][i];
            window_.push_back(scale * sum);
        }
        if (!resamples_) {
            output_.insert(output_.end(), window_.begin(), window_.end());
            return;
        }
        // Outputs below floor(end ÷ step) exist whatever follows; each needs its two frames.
        const std::size_t end = first_ + window_.size();
        const auto certain = static_cast<std::size_t>(static_cast<double>(end) / step_);
        for (; next_ < certain; ++next_) {
            const double position = step_ * static_cast<double>(next_);
            const auto index = static_cast<std::size_t>(position);
            if (index + 1 >= end) break;
            const auto fraction = static_cast<float>(position - static_cast<double>(index));
            output_.push_back((1.0f - fraction) * window_[index - first_] + window_[index + 1 - first_] * fraction);
        }
        // The frames the next outputs may still reach back to.
        if (window_.size() > keep_) {
            const std::size_t dropped = window_.size() - keep_;
            window_.erase(window_.begin(), window_.begin() + static_cast<std::ptrdiff_t>(dropped));
            first_ += dropped;
        }
    }

    // The samples that fall on the last frame.
    void finish() {
        if (!resamples_ || window_.empty()) return;
        const std::size_t frames = first_ + window_.size();
        const auto length = static_cast<std::size_t>(static_cast<double>(frames) / step_);
        for (; next_ < length; ++next_) output_.push_back(window_.back());
    }

private:
    double step_;
    bool resamples_;
    std::size_t keep_;
    std::vector<float>& output_;
    std::vector<float> window_;  // mono frames from `first_` on
    std::size_t first_ = 0;
    std::size_t next_ = 0;
};

}  // namespace

platform::AVAudioFormat AudioConverter::defaultTargetFormat() {
    return *platform::AVAudioFormat::make(platform::AVAudioCommonFormat::pcmFormatFloat32, 16000.0, 1, false);
}

AudioConverter::AudioConverter(std::optional<platform::AVAudioFormat> targetFormat)
    : logger_("AudioConverter"), targetFormat_(targetFormat.value_or(defaultTargetFormat())) {}

std::vector<float> AudioConverter::resampleBuffer(const AVAudioPCMBuffer& buffer) const {
    if (matchesTargetFormat(buffer.format())) return extractFloatArray(buffer);
    return convertBuffer(buffer, targetFormat_);
}

std::vector<float> AudioConverter::resampleAudioFile(const std::filesystem::path& url) const {
    platform::AVAudioFile file(url);
    return resampleAudioFile(file);
}

std::vector<float> AudioConverter::resampleAudioFile(platform::AVAudioFile& file) const {
    // A length beyond a buffer's 32-bit frame count would be cut short without a word; refuse it.
    if (file.length() > std::numeric_limits<AVAudioFrameCount>::max()) {
        throw AudioConverterError::failedToCreateBuffer();
    }
    // Read and converted a block at a time, so that only the result grows with the file.
    const platform::AVAudioFormat format = file.processingFormat();
    auto block = AVAudioPCMBuffer::make(format, fileBlockFrames);
    if (!block) throw AudioConverterError::failedToCreateBuffer();
    std::exception_ptr readError;
    const AudioConverter::InputSource nextBlock = [&]() -> std::shared_ptr<const AVAudioPCMBuffer> {
        try {
            file.read(*block);
        } catch (...) {
            readError = std::current_exception();
            return nullptr;
        }
        return block->frameLength() > 0 ? borrowed(*block) : nullptr;
    };

    std::vector<float> samples;
    const auto frames = static_cast<AVAudioFrameCount>(std::max<platform::AVAudioFramePosition>(file.length(), 0));
    if (matchesTargetFormat(format)) {
        samples.reserve(reservation(frames));
        while (nextBlock()) appendFirstChannel(*block, samples);
    } else if (format.channelCount() <= 2) {
        samples = convertWithPlatformConverter(format, frames, nextBlock, targetFormat_);
    } else {
        samples = mixDownAndResample(format, frames, nextBlock, targetFormat_);
    }
    if (readError) std::rethrow_exception(readError);  // the platform's own error, unchanged
    return samples;
}

std::vector<float> AudioConverter::resampleAudioFileAtPath(const std::string& path) const {
    return resampleAudioFile(std::filesystem::path(path));
}

bool AudioConverter::matchesTargetFormat(const platform::AVAudioFormat& format) const {
    return format.sampleRate() == targetFormat_.sampleRate() &&
           format.channelCount() == targetFormat_.channelCount() &&
           format.commonFormat() == targetFormat_.commonFormat() &&
           format.isInterleaved() == targetFormat_.isInterleaved();
}

std::vector<float> AudioConverter::extractFloatArray(const AVAudioPCMBuffer& buffer) const {
    std::vector<float> samples;
    samples.reserve(buffer.floatChannelData() != nullptr ? buffer.frameLength() : 0);
    appendFirstChannel(buffer, samples);
    return samples;
}

std::vector<float> AudioConverter::convertBuffer(const AVAudioPCMBuffer& buffer,
                                                 const platform::AVAudioFormat& targetFormat) const {
    bool handedOver = false;
    const InputSource once = [&]() -> std::shared_ptr<const AVAudioPCMBuffer> {
        if (handedOver) return nullptr;
        handedOver = true;
        return borrowed(buffer);
    };
    if (buffer.format().channelCount() <= 2) {
        return convertWithPlatformConverter(buffer.format(), buffer.frameLength(), once, targetFormat);
    }
    return mixDownAndResample(buffer.format(), buffer.frameLength(), once, targetFormat);
}

std::vector<float> AudioConverter::convertWithPlatformConverter(const platform::AVAudioFormat& sourceFormat,
                                                                AVAudioFrameCount sourceFrames,
                                                                const InputSource& input,
                                                                const platform::AVAudioFormat& targetFormat) const {
    auto converter = platform::AVAudioConverter::make(sourceFormat, targetFormat);
    if (!converter) throw AudioConverterError::failedToCreateConverter();

    const double capacity =
        std::ceil(targetFormat.sampleRate() / sourceFormat.sampleRate() * static_cast<double>(sourceFrames));
    if (!(capacity <= static_cast<double>(std::numeric_limits<AVAudioFrameCount>::max()))) {
        throw AudioConverterError::failedToCreateBuffer();
    }
    std::vector<float> samples;
    samples.reserve(reservation(capacity + drainFrames));

    auto output = AVAudioPCMBuffer::make(targetFormat, drainFrames);
    if (!output) throw AudioConverterError::failedToCreateBuffer();
    const platform::AVAudioConverterInputBlock inputBlock =
        [&input](platform::AVAudioPacketCount, platform::AVAudioConverterInputStatus& status) {
            auto next = input();
            status = next ? platform::AVAudioConverterInputStatus::haveData
                          : platform::AVAudioConverterInputStatus::endOfStream;
            return next;
        };

    std::optional<platform::NSError> error;
    platform::AVAudioConverterOutputStatus status;
    do {
        status = converter->convert(*output, inputBlock, &error);
        if (status == platform::AVAudioConverterOutputStatus::error) {
            throw AudioConverterError::conversionFailed(std::move(error));
        }
        appendFirstChannel(*output, samples);
    } while (status != platform::AVAudioConverterOutputStatus::endOfStream);

    if (AppLogger::isEnabled(AppLogger::Level::debug)) {
        const double ratio = static_cast<double>(samples.size()) / static_cast<double>(sourceFrames);
        logger_.debug("Audio conversion: " + std::to_string(sourceFrames) + " samples → " +
                      std::to_string(samples.size()) + " samples, ratio: " + formatShortest(ratio));
    }
    return samples;
}

std::vector<float> AudioConverter::mixDownAndResample(const platform::AVAudioFormat& sourceFormat,
                                                      AVAudioFrameCount sourceFrames, const InputSource& input,
                                                      const platform::AVAudioFormat& targetFormat) const {
    const double sourceRate = sourceFormat.sampleRate();
    const double targetRate = targetFormat.sampleRate();
    std::vector<float> output;
    output.reserve(reservation(static_cast<double>(sourceFrames) * targetRate / sourceRate + 1));
    MixDownResampler resampler(sourceRate, targetRate, output);
    while (const auto buffer = input()) resampler.add(*buffer);
    resampler.finish();

    if (sourceRate != targetRate && AppLogger::isEnabled(AppLogger::Level::debug)) {
        logger_.debug("Manual resampling: " + std::to_string(sourceFormat.channelCount()) + " channels → mono, " +
                      formatShortest(sourceRate) + "Hz → " + formatShortest(targetRate) + "Hz");
    }
    return output;
}

}  // namespace rarivoredu
