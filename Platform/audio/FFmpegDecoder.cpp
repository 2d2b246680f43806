#include "Platform/audio/FFmpegDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstring>
#include <mutex>

#include "Platform/audio/AVAudioError.h"
#include "Platform/audio/AVAudioFormat.h"

namespace platform {
namespace {

// Damaged packets in a row after which the stream counts as undecodable.
constexpr int failureLimit = 32;

std::string errorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// FFmpeg writes its complaints to stderr; errors reach our callers as NSError instead.
void silenceLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

}  // namespace

std::unique_ptr<FFmpegDecoder> FFmpegDecoder::open(const std::filesystem::path& path) {
    silenceLibrary();
    std::unique_ptr<FFmpegDecoder> decoder(new FFmpegDecoder(path));
    if (!decoder->start(true)) return nullptr;
    return decoder;
}

FFmpegDecoder::FFmpegDecoder(std::filesystem::path path) : path_(std::move(path)) {}

FFmpegDecoder::~FFmpegDecoder() {
    swr_free(&swr_);
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    avcodec_free_context(&codec_);
    avformat_close_input(&format_);
}

bool FFmpegDecoder::start(bool countUnknownLength) {
    int rc = avformat_open_input(&format_, path_.c_str(), nullptr, nullptr);
    if (rc < 0) return false;
    rc = avformat_find_stream_info(format_, nullptr);
    if (rc < 0) return false;
    const AVCodec* codec = nullptr;
    rc = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (rc < 0) return false;  // no audio stream, or none we can decode
    streamIndex_ = rc;
    for (unsigned i = 0; i < format_->nb_streams; ++i) {
        if (static_cast<int>(i) != streamIndex_) format_->streams[i]->discard = AVDISCARD_ALL;
    }
    const AVStream* stream = format_->streams[streamIndex_];

    codec_ = avcodec_alloc_context3(codec);
    packet_ = av_packet_alloc();
    frame_ = av_frame_alloc();
    if (codec_ == nullptr || packet_ == nullptr || frame_ == nullptr) return false;
    rc = avcodec_parameters_to_context(codec_, stream->codecpar);
    if (rc >= 0) rc = avcodec_open2(codec_, codec, nullptr);
    if (rc < 0) return false;
    const int rate = codec_->sample_rate;
    const int channels = codec_->ch_layout.nb_channels;
    if (rate <= 0 || channels <= 0 || static_cast<unsigned>(channels) > AVAudioFormat::maxChannelCount) return false;
    sampleRate_ = rate;
    channels_ = static_cast<AVAudioChannelCount>(channels);
    pending_.resize(channels_);
    pendingPointers_.resize(channels_);

    // A duration guessed from the bit rate can fall short of the audio; only a stated one counts.
    const bool stated = format_->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE;
    if (stated && stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
        length_ = av_rescale_q(stream->duration, stream->time_base, AVRational{1, rate});
        // It also marks where the audio ends: the decoder's padding after it is not part of the recording.
        end_ = length_;
    } else if (stated && format_->duration != AV_NOPTS_VALUE && format_->duration > 0) {
        length_ = av_rescale(format_->duration, rate, AV_TIME_BASE);
    } else if (countUnknownLength) {
        // The container does not tell: count by decoding, then start again from the top.
        AVAudioFramePosition total = 0;
        while (decodeNext()) total += pendingFrames_;
        FFmpegDecoder fresh(path_);
        if (!fresh.start(false)) return false;
        std::swap(format_, fresh.format_);
        std::swap(codec_, fresh.codec_);
        std::swap(packet_, fresh.packet_);
        std::swap(frame_, fresh.frame_);
        std::swap(swr_, fresh.swr_);
        swrFormat_ = -1;
        pendingFrames_ = pendingOffset_ = 0;
        demuxerDone_ = decoderDone_ = false;
        decodedFrames_ = 0;
        failures_ = failuresInARow_ = 0;
        end_ = -1;
        length_ = total;
    }
    return true;
}

void FFmpegDecoder::fail(const std::string& what, int code) const {
    std::string description = "Cannot read the audio file \"" + path_.string() + "\": " + what;
    if (code < 0) description += " (" + errorText(code) + ")";
    throw AVAudioError::make(AVAudioError::readFailed, description);
}

void FFmpegDecoder::convertFrame() {
    const int channels = frame_->ch_layout.nb_channels;
    if (swr_ == nullptr || frame_->format != swrFormat_ || frame_->sample_rate != swrRate_ || channels != swrChannels_) {
        swr_free(&swr_);
        AVChannelLayout in{};
        AVChannelLayout out{};
        if (static_cast<AVAudioChannelCount>(channels) == channels_ && av_channel_layout_check(&frame_->ch_layout)) {
            // Same channels: keep the layout on both sides so that nothing is mixed.
            av_channel_layout_copy(&in, &frame_->ch_layout);
            av_channel_layout_copy(&out, &frame_->ch_layout);
        } else {
            av_channel_layout_default(&in, channels);
            av_channel_layout_default(&out, static_cast<int>(channels_));
        }
        const int rc = swr_alloc_set_opts2(&swr_, &out, AV_SAMPLE_FMT_FLTP, static_cast<int>(sampleRate_), &in,
                                           static_cast<AVSampleFormat>(frame_->format), frame_->sample_rate, 0,
                                           nullptr);
        av_channel_layout_uninit(&in);
        av_channel_layout_uninit(&out);
        if (rc < 0 || swr_init(swr_) < 0) fail("unsupported sample format", rc);
        swrFormat_ = frame_->format;
        swrRate_ = frame_->sample_rate;
        swrChannels_ = channels;
    }

    const int room = swr_get_out_samples(swr_, frame_->nb_samples);
    if (room < 0) fail("sample conversion failed", room);
    for (AVAudioChannelCount c = 0; c < channels_; ++c) {
        if (pending_[c].size() < static_cast<std::size_t>(room)) pending_[c].resize(room);
        pendingPointers_[c] = pending_[c].data();
    }
    const int got = swr_convert(swr_, reinterpret_cast<uint8_t**>(pendingPointers_.data()), room,
                                const_cast<const uint8_t**>(frame_->extended_data), frame_->nb_samples);
    if (got < 0) fail("sample conversion failed", got);
    pendingFrames_ = static_cast<AVAudioFrameCount>(got);
    pendingOffset_ = 0;
    decodedFrames_ += got;
}

bool FFmpegDecoder::decodeNext() {
    auto damaged = [this](int code) {
        ++failures_;
        if (++failuresInARow_ >= failureLimit) fail("the audio data is damaged", code);
    };
    while (!decoderDone_) {
        int rc = avcodec_receive_frame(codec_, frame_);
        if (rc == 0) {
            failuresInARow_ = 0;
            convertFrame();
            av_frame_unref(frame_);
            if (pendingFrames_ > 0) return true;
            continue;
        }
        if (rc == AVERROR_EOF) {
            decoderDone_ = true;
            break;
        }
        if (rc != AVERROR(EAGAIN)) {
            damaged(rc);
            continue;
        }

        rc = av_read_frame(format_, packet_);
        if (rc < 0) {
            if (rc != AVERROR_EOF && !(format_->pb != nullptr && avio_feof(format_->pb))) {
                damaged(rc);
                continue;
            }
            demuxerDone_ = true;
            avcodec_send_packet(codec_, nullptr);
            continue;
        }
        if (packet_->stream_index == streamIndex_) {
            rc = avcodec_send_packet(codec_, packet_);
            if (rc < 0 && rc != AVERROR(EAGAIN)) damaged(rc);
        }
        av_packet_unref(packet_);
    }

    // A sample-rate change inside the stream leaves the last samples in the converter.
    if (swr_ != nullptr) {
        const int room = swr_get_out_samples(swr_, 0);
        if (room > 0) {
            for (AVAudioChannelCount c = 0; c < channels_; ++c) {
                if (pending_[c].size() < static_cast<std::size_t>(room)) pending_[c].resize(room);
                pendingPointers_[c] = pending_[c].data();
            }
            const int got = swr_convert(swr_, reinterpret_cast<uint8_t**>(pendingPointers_.data()), room, nullptr, 0);
            if (got > 0) {
                pendingFrames_ = static_cast<AVAudioFrameCount>(got);
                pendingOffset_ = 0;
                decodedFrames_ += got;
                return true;
            }
        }
    }
    return false;
}

AVAudioFrameCount FFmpegDecoder::read(float* const* channels, AVAudioFrameCount offset, AVAudioFrameCount count) {
    if (end_ >= 0) count = static_cast<AVAudioFrameCount>(std::min<AVAudioFramePosition>(count, end_ - delivered_));
    AVAudioFrameCount done = 0;
    while (done < count) {
        if (pendingOffset_ < pendingFrames_) {
            const AVAudioFrameCount frames = std::min(count - done, pendingFrames_ - pendingOffset_);
            for (AVAudioChannelCount c = 0; c < channels_; ++c) {
                std::memcpy(channels[c] + offset + done, pending_[c].data() + pendingOffset_, frames * sizeof(float));
            }
            pendingOffset_ += frames;
            done += frames;
            continue;
        }
        if (!decodeNext()) {
            if (decodedFrames_ == 0 && failures_ > 0) fail("no audio could be decoded", 0);
            break;
        }
    }
    delivered_ += done;
    return done;
}

}  // namespace platform
