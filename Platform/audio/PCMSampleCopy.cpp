#include "Platform/audio/PCMSampleCopy.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace platform::pcm {
namespace {

template <typename Sample>
const Sample* channelStart(const AVAudioPCMBuffer& buffer, AVAudioChannelCount channel) noexcept {
    const auto* const* data = buffer.rawChannelData();
    if (buffer.format().isInterleaved()) return static_cast<const Sample*>(data[0]) + channel;
    return static_cast<const Sample*>(data[channel]);
}

template <typename Sample>
Sample* channelStart(AVAudioPCMBuffer& buffer, AVAudioChannelCount channel) noexcept {
    auto* const* data = buffer.rawChannelData();
    if (buffer.format().isInterleaved()) return static_cast<Sample*>(data[0]) + channel;
    return static_cast<Sample*>(data[channel]);
}

template <typename Sample, typename Convert>
void readAs(const AVAudioPCMBuffer& buffer, AVAudioChannelCount channel, AVAudioFrameCount first,
            AVAudioFrameCount count, float* destination, Convert convert) noexcept {
    const std::size_t stride = buffer.stride();
    const Sample* source = channelStart<Sample>(buffer, channel) + std::size_t{first} * stride;
    for (AVAudioFrameCount i = 0; i < count; ++i) destination[i] = convert(source[i * stride]);
}

template <typename Sample, typename Convert>
void writeAs(AVAudioPCMBuffer& buffer, AVAudioChannelCount channel, AVAudioFrameCount first,
             AVAudioFrameCount count, const float* source, Convert convert) noexcept {
    const std::size_t stride = buffer.stride();
    Sample* destination = channelStart<Sample>(buffer, channel) + std::size_t{first} * stride;
    for (AVAudioFrameCount i = 0; i < count; ++i) destination[i * stride] = convert(source[i]);
}

template <typename Integer>
Integer toInteger(float value) noexcept {
    constexpr double scale = static_cast<double>(Integer{1} << (sizeof(Integer) * 8 - 2)) * 2.0;
    constexpr double highest = scale - 1.0;
    double scaled = static_cast<double>(value) * scale;
    if (!(scaled > -scale)) scaled = std::isnan(scaled) ? 0.0 : -scale;  // NaN becomes silence
    if (scaled > highest) scaled = highest;
    return static_cast<Integer>(std::lrint(scaled));
}

}  // namespace

void readChannel(const AVAudioPCMBuffer& buffer, AVAudioChannelCount channel, AVAudioFrameCount first,
                 AVAudioFrameCount count, float* destination) noexcept {
    if (count == 0) return;
    switch (buffer.format().commonFormat()) {
        case AVAudioCommonFormat::pcmFormatFloat32:
            if (const float* run = contiguousFloatChannel(buffer, channel)) {
                std::memcpy(destination, run + first, std::size_t{count} * sizeof(float));
            } else {
                readAs<float>(buffer, channel, first, count, destination, [](float s) { return s; });
            }
            break;
        case AVAudioCommonFormat::pcmFormatFloat64:
            readAs<double>(buffer, channel, first, count, destination,
                           [](double s) { return static_cast<float>(s); });
            break;
        case AVAudioCommonFormat::pcmFormatInt16:
            readAs<std::int16_t>(buffer, channel, first, count, destination,
                                 [](std::int16_t s) { return static_cast<float>(s) * (1.0f / 32768.0f); });
            break;
        case AVAudioCommonFormat::pcmFormatInt32:
            readAs<std::int32_t>(buffer, channel, first, count, destination, [](std::int32_t s) {
                return static_cast<float>(static_cast<double>(s) * (1.0 / 2147483648.0));
            });
            break;
        case AVAudioCommonFormat::otherFormat:
            std::memset(destination, 0, std::size_t{count} * sizeof(float));
            break;
    }
}

void writeChannel(AVAudioPCMBuffer& buffer, AVAudioChannelCount channel, AVAudioFrameCount first,
                  AVAudioFrameCount count, const float* source) noexcept {
    if (count == 0) return;
    switch (buffer.format().commonFormat()) {
        case AVAudioCommonFormat::pcmFormatFloat32:
            if (float* run = contiguousFloatChannel(buffer, channel)) {
                std::memcpy(run + first, source, std::size_t{count} * sizeof(float));
            } else {
                writeAs<float>(buffer, channel, first, count, source, [](float s) { return s; });
            }
            break;
        case AVAudioCommonFormat::pcmFormatFloat64:
            writeAs<double>(buffer, channel, first, count, source, [](float s) { return static_cast<double>(s); });
            break;
        case AVAudioCommonFormat::pcmFormatInt16:
            writeAs<std::int16_t>(buffer, channel, first, count, source, toInteger<std::int16_t>);
            break;
        case AVAudioCommonFormat::pcmFormatInt32:
            writeAs<std::int32_t>(buffer, channel, first, count, source, toInteger<std::int32_t>);
            break;
        case AVAudioCommonFormat::otherFormat:
            break;
    }
}

float* contiguousFloatChannel(const AVAudioPCMBuffer& buffer, AVAudioChannelCount channel) noexcept {
    float* const* data = buffer.floatChannelData();
    if (data == nullptr) return nullptr;
    if (!buffer.format().isInterleaved()) return data[channel];
    return buffer.format().channelCount() == 1 ? data[0] : nullptr;
}

}  // namespace platform::pcm
