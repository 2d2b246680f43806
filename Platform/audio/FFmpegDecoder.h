#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Platform/audio/AudioFileDecoder.h"

struct AVFormatContext;
struct AVCodecContext;
struct AVPacket;
struct AVFrame;
struct SwrContext;

namespace platform {

// Reads what FFmpeg can demux and decode: M4A/AAC and the files libsndfile does not know.
// The first audio stream is read; its samples come out as float at the stream's own rate and
// channel count. A damaged packet is skipped, as players do; decoding fails when nothing decodes.
class FFmpegDecoder final : public AudioFileDecoder {
public:
    // Nothing when FFmpeg finds no decodable audio stream.
    static std::unique_ptr<FFmpegDecoder> open(const std::filesystem::path& path);
    ~FFmpegDecoder() override;

    double sampleRate() const override { return sampleRate_; }
    AVAudioChannelCount channelCount() const override { return channels_; }
    AVAudioFramePosition length() const override { return length_; }
    AVAudioFrameCount read(float* const* channels, AVAudioFrameCount offset, AVAudioFrameCount count) override;

private:
    explicit FFmpegDecoder(std::filesystem::path path);
    bool start(bool countUnknownLength);
    // Decodes the next frame into pending_; false at the end of the stream.
    bool decodeNext();
    void convertFrame();
    [[noreturn]] void fail(const std::string& what, int code) const;

    std::filesystem::path path_;
    AVFormatContext* format_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;
    SwrContext* swr_ = nullptr;
    int streamIndex_ = -1;
    double sampleRate_ = 0;
    AVAudioChannelCount channels_ = 0;
    AVAudioFramePosition length_ = 0;
    AVAudioFramePosition end_ = -1;  // where the audio ends when the container says so
    AVAudioFramePosition delivered_ = 0;

    // The current decoded frame, as float blocks per channel, and how much of it was handed out.
    std::vector<std::vector<float>> pending_;
    std::vector<float*> pendingPointers_;
    AVAudioFrameCount pendingFrames_ = 0;
    AVAudioFrameCount pendingOffset_ = 0;
    int swrFormat_ = -1;
    int swrRate_ = 0;
    int swrChannels_ = 0;
    bool demuxerDone_ = false;
    bool decoderDone_ = false;
    AVAudioFramePosition decodedFrames_ = 0;
    int failuresInARow_ = 0;
    int failures_ = 0;
};

}  // namespace platform
