#pragma once

#include <filesystem>
#include <memory>
#include <vector>

#include "Platform/audio/AudioFileDecoder.h"

struct sf_private_tag;

namespace platform {

// Reads the files libsndfile knows: WAV, AIFF, CAF, MP3 and more.
class SndfileDecoder final : public AudioFileDecoder {
public:
    // Nothing when libsndfile cannot open the file.
    static std::unique_ptr<SndfileDecoder> open(const std::filesystem::path& path);
    ~SndfileDecoder() override;

    double sampleRate() const override { return sampleRate_; }
    AVAudioChannelCount channelCount() const override { return channels_; }
    AVAudioFramePosition length() const override { return length_; }
    AVAudioFrameCount read(float* const* channels, AVAudioFrameCount offset, AVAudioFrameCount count) override;

private:
    SndfileDecoder(sf_private_tag* file, std::filesystem::path path, double sampleRate,
                   AVAudioChannelCount channels, AVAudioFramePosition length);
    void deinterleave(const float* source, float* const* channels, AVAudioFrameCount at, AVAudioFrameCount frames) const;

    sf_private_tag* file_;
    std::filesystem::path path_;
    double sampleRate_;
    AVAudioChannelCount channels_;
    AVAudioFramePosition length_;
    std::vector<float> interleaved_;
};

}  // namespace platform
