#include "RarivOredu/shared/AudioConverter.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>

#include "Platform/audio/AVAudioConverter.h"
#include "Platform/audio/AVAudioFile.h"
#include "RarivOredu/shared/AudioConverterError.h"
#include "RarivOredu/shared/DoubleDescription.h"

namespace rarivoredu {
namespace {

using platform::AVAudioFrameCount;
using platform::AVAudioPCMBuffer;

constexpr AVAudioFrameCount drainFrames = 4096;

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
    // A length beyond a buffer's 32-bit frame count would be cut short without a word; refuse it.
    if (file.length() > std::numeric_limits<AVAudioFrameCount>::max()) {
        throw AudioConverterError::failedToCreateBuffer();
    }
    auto buffer = AVAudioPCMBuffer::make(file.processingFormat(), static_cast<AVAudioFrameCount>(file.length()));
    if (!buffer) throw AudioConverterError::failedToCreateBuffer();
    file.read(*buffer);
    return resampleBuffer(*buffer);
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
    if (buffer.format().channelCount() <= 2) return convertWithPlatformConverter(buffer, targetFormat);
    return mixDownAndResample(buffer, targetFormat);
}

std::vector<float> AudioConverter::convertWithPlatformConverter(const AVAudioPCMBuffer& buffer,
                                                                const platform::AVAudioFormat& targetFormat) const {
    auto converter = platform::AVAudioConverter::make(buffer.format(), targetFormat);
    if (!converter) throw AudioConverterError::failedToCreateConverter();

    const AVAudioFrameCount sourceFrames = buffer.frameLength();
    const double capacity =
        std::ceil(targetFormat.sampleRate() / buffer.format().sampleRate() * static_cast<double>(sourceFrames));
    if (!(capacity <= static_cast<double>(std::numeric_limits<AVAudioFrameCount>::max()))) {
        throw AudioConverterError::failedToCreateBuffer();
    }
    const auto outputCapacity = static_cast<AVAudioFrameCount>(capacity);
    std::vector<float> samples;
    samples.reserve(outputCapacity);

    auto output = AVAudioPCMBuffer::make(targetFormat, outputCapacity);
    if (!output) throw AudioConverterError::failedToCreateBuffer();

    // The converter only reads the buffer and lets go of it before this call returns.
    const std::shared_ptr<const AVAudioPCMBuffer> source(std::shared_ptr<void>(), &buffer);
    bool handedOver = false;
    const platform::AVAudioConverterInputBlock inputBlock =
        [&](platform::AVAudioPacketCount, platform::AVAudioConverterInputStatus& status) {
            if (handedOver) {
                status = platform::AVAudioConverterInputStatus::endOfStream;
                return std::shared_ptr<const AVAudioPCMBuffer>();
            }
            handedOver = true;
            status = platform::AVAudioConverterInputStatus::haveData;
            return source;
        };

    std::optional<platform::NSError> error;
    auto status = converter->convert(*output, inputBlock, &error);
    if (status == platform::AVAudioConverterOutputStatus::error) {
        throw AudioConverterError::conversionFailed(std::move(error));
    }
    appendFirstChannel(*output, samples);

    do {
        auto drain = AVAudioPCMBuffer::make(targetFormat, drainFrames);
        if (!drain) throw AudioConverterError::failedToCreateBuffer();
        status = converter->convert(*drain, inputBlock, &error);
        if (status == platform::AVAudioConverterOutputStatus::error) {
            throw AudioConverterError::conversionFailed(std::move(error));
        }
        appendFirstChannel(*drain, samples);
    } while (status != platform::AVAudioConverterOutputStatus::endOfStream);

    if (AppLogger::isEnabled(AppLogger::Level::debug)) {
        const double ratio = static_cast<double>(samples.size()) / static_cast<double>(sourceFrames);
        logger_.debug("Audio conversion: " + std::to_string(sourceFrames) + " samples → " +
                      std::to_string(samples.size()) + " samples, ratio: " + doubleDescription(ratio));
    }
    return samples;
}

std::vector<float> AudioConverter::mixDownAndResample(const AVAudioPCMBuffer& buffer,
                                                      const platform::AVAudioFormat& targetFormat) const {
    float* const* data = buffer.floatChannelData();
    if (data == nullptr) throw AudioConverterError::failedToCreateBuffer();

    const std::size_t channels = buffer.format().channelCount();
    const std::size_t frames = buffer.frameLength();
    const bool interleaved = buffer.format().isInterleaved();
    const float scale = 1.0f / static_cast<float>(channels);

    std::vector<float> mono(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        float sum = 0.0f;
        for (std::size_t c = 0; c < channels; ++c) sum += interleaved ? data[0][i * channels + c] : data[c][i];
        mono[i] = scale * sum;
    }

    const double sourceRate = buffer.format().sampleRate();
    const double targetRate = targetFormat.sampleRate();
    if (sourceRate == targetRate) return mono;

    const double step = sourceRate / targetRate;
    const auto outputLength = static_cast<std::size_t>(static_cast<double>(frames) / step);
    std::vector<float> output(outputLength, 0.0f);
    for (std::size_t i = 0; i < outputLength; ++i) {
        const double position = step * static_cast<double>(i);
        const auto index = static_cast<std::size_t>(position);
        const auto fraction = static_cast<float>(position - static_cast<double>(index));
        if (index + 1 < frames) {
            output[i] = (1.0f - fraction) * mono[index] + mono[index + 1] * fraction;
        } else if (index < frames) {
            output[i] = mono[index];
        }
    }

    if (AppLogger::isEnabled(AppLogger::Level::debug)) {
        logger_.debug("Manual resampling: " + std::to_string(channels) + " channels → mono, " +
                      doubleDescription(sourceRate) + "Hz → " + doubleDescription(targetRate) + "Hz");
    }
    return output;
}

}  // namespace rarivoredu
