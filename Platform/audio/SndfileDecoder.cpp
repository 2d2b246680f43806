#include "Platform/audio/SndfileDecoder.h"

#include <sndfile.h>

#include <algorithm>

#include "Platform/audio/AVAudioError.h"
#include "Platform/audio/AVAudioFormat.h"

namespace platform {
namespace {

constexpr AVAudioFrameCount chunkFrames = 4096;

}  // namespace

void SndfileDecoder::deinterleave(const float* source, float* const* channels, AVAudioFrameCount at,
                                  AVAudioFrameCount frames) const {
    if (channels_ == 2) {
        float* __restrict left = channels[0] + at;
        float* __restrict right = channels[1] + at;
        for (AVAudioFrameCount i = 0; i < frames; ++i) {
            left[i] = source[2 * i];
            right[i] = source[2 * i + 1];
        }
        return;
    }
    const std::size_t stride = channels_;
    for (AVAudioChannelCount c = 0; c < channels_; ++c) {
        float* __restrict destination = channels[c] + at;
        const float* from = source + c;
        for (AVAudioFrameCount i = 0; i < frames; ++i) destination[i] = from[i * stride];
    }
}

std::unique_ptr<SndfileDecoder> SndfileDecoder::open(const std::filesystem::path& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) return nullptr;
    if (info.channels <= 0 || static_cast<unsigned>(info.channels) > AVAudioFormat::maxChannelCount ||
        info.samplerate <= 0 || info.frames < 0) {
        sf_close(file);
        return nullptr;
    }
    // Integer samples arrive scaled to [-1, 1); float samples as they are stored.
    sf_command(file, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
    return std::unique_ptr<SndfileDecoder>(new SndfileDecoder(file, path, info.samplerate,
                                                              static_cast<AVAudioChannelCount>(info.channels),
                                                              info.frames));
}

SndfileDecoder::SndfileDecoder(sf_private_tag* file, std::filesystem::path path, double sampleRate,
                               AVAudioChannelCount channels, AVAudioFramePosition length)
    : file_(file), path_(std::move(path)), sampleRate_(sampleRate), channels_(channels), length_(length) {
    if (channels_ > 1) interleaved_.resize(std::size_t{chunkFrames} * channels_);
}

SndfileDecoder::~SndfileDecoder() { sf_close(file_); }

AVAudioFrameCount SndfileDecoder::read(float* const* channels, AVAudioFrameCount offset, AVAudioFrameCount count) {
    AVAudioFrameCount done = 0;
    while (done < count) {
        sf_count_t got = 0;
        if (channels_ == 1) {
            got = sf_readf_float(file_, channels[0] + offset + done, count - done);
        } else {
            const AVAudioFrameCount step = std::min(count - done, chunkFrames);
            got = sf_readf_float(file_, interleaved_.data(), step);
            deinterleave(interleaved_.data(), channels, offset + done, got > 0 ? static_cast<AVAudioFrameCount>(got) : 0);
        }
        if (got <= 0) {
            const int error = sf_error(file_);
            if (error != SF_ERR_NO_ERROR) {
                throw AVAudioError::make(AVAudioError::readFailed, "Cannot read the audio file \"" + path_.string() +
                                                                       "\": " + sf_error_number(error));
            }
            break;
        }
        done += static_cast<AVAudioFrameCount>(got);
    }
    return done;
}

}  // namespace platform
