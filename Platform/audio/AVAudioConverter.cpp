#include "Platform/audio/AVAudioConverter.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <string>

#include "Platform/audio/AVAudioError.h"
#include "Platform/audio/PCMSampleCopy.h"

namespace platform {
namespace {

// Frames moved per step when samples go through the converter's own staging memory.
constexpr AVAudioFrameCount chunkFrames = 4096;

NSError conversionError(const std::string& description) {
    return AVAudioError::make(AVAudioError::conversionFailed, description);
}

}  // namespace

std::unique_ptr<AVAudioConverter> AVAudioConverter::make(const AVAudioFormat& inputFormat,
                                                         const AVAudioFormat& outputFormat) {
    try {
        std::unique_ptr<AVAudioConverter> converter(new AVAudioConverter(inputFormat, outputFormat));
        if (inputFormat.sampleRate() != outputFormat.sampleRate()) {
            const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_S, SOXR_FLOAT32_S);
            const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
            const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
            soxr_error_t error = nullptr;
            converter->resampler_ = soxr_create(inputFormat.sampleRate(), outputFormat.sampleRate(),
                                                outputFormat.channelCount(), &error, &io, &quality, &runtime);
            if (error != nullptr || converter->resampler_ == nullptr) return nullptr;
        }
        return converter;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

AVAudioConverter::AVAudioConverter(const AVAudioFormat& inputFormat, const AVAudioFormat& outputFormat)
    : inputFormat_(inputFormat), outputFormat_(outputFormat) {
    const AVAudioChannelCount inputChannels = inputFormat.channelCount();
    const AVAudioChannelCount outputChannels = outputFormat.channelCount();
    channelMap_.resize(outputChannels);
    for (AVAudioChannelCount k = 0; k < outputChannels; ++k) {
        if (k < inputChannels) {
            channelMap_[k] = static_cast<int>(k);
        } else {
            channelMap_[k] = inputChannels == 1 ? 0 : -1;
        }
    }
    mixesDown_ = outputChannels == 1 && inputChannels > 1;
    if (mixesDown_) mixStaging_.resize(chunkFrames);
    directOutput_ = outputFormat.commonFormat() == AVAudioCommonFormat::pcmFormatFloat32 &&
                    (!outputFormat.isInterleaved() || outputChannels == 1);

    inputStaging_.resize(std::size_t{outputChannels} * chunkFrames);
    outputStaging_.resize(std::size_t{outputChannels} * chunkFrames);
    silence_.assign(chunkFrames, 0.0f);
    inputPointers_.resize(outputChannels);
    outputPointers_.resize(outputChannels);
}

AVAudioConverter::~AVAudioConverter() {
    if (resampler_ != nullptr) soxr_delete(resampler_);
}

void AVAudioConverter::reset() {
    input_.reset();
    inputOffset_ = 0;
    stage_ = Stage::running;
    if (resampler_ != nullptr) soxr_clear(resampler_);
}

void AVAudioConverter::mixDown(AVAudioFrameCount frames, float* destination) noexcept {
    const AVAudioChannelCount channels = inputFormat_.channelCount();
    pcm::readChannel(*input_, 0, inputOffset_, frames, destination);
    for (AVAudioChannelCount c = 1; c < channels; ++c) {
        pcm::readChannel(*input_, c, inputOffset_, frames, mixStaging_.data());
        for (AVAudioFrameCount i = 0; i < frames; ++i) destination[i] += mixStaging_[i];
    }
    const float scale = 1.0f / static_cast<float>(channels);
    for (AVAudioFrameCount i = 0; i < frames; ++i) destination[i] *= scale;
}

AVAudioFrameCount AVAudioConverter::prepareInput(AVAudioFrameCount available) {
    if (mixesDown_) {
        const AVAudioFrameCount frames = std::min(available, chunkFrames);
        mixDown(frames, inputStaging_.data());
        inputPointers_[0] = inputStaging_.data();
        return frames;
    }
    const auto channels = static_cast<AVAudioChannelCount>(channelMap_.size());
    bool direct = true;
    for (AVAudioChannelCount k = 0; k < channels && direct; ++k) {
        direct = channelMap_[k] >= 0 &&
                 pcm::contiguousFloatChannel(*input_, static_cast<AVAudioChannelCount>(channelMap_[k])) != nullptr;
    }
    if (direct) {
        for (AVAudioChannelCount k = 0; k < channels; ++k) {
            inputPointers_[k] =
                pcm::contiguousFloatChannel(*input_, static_cast<AVAudioChannelCount>(channelMap_[k])) + inputOffset_;
        }
        return available;
    }
    const AVAudioFrameCount frames = std::min(available, chunkFrames);
    for (AVAudioChannelCount k = 0; k < channels; ++k) {
        if (channelMap_[k] < 0) {
            inputPointers_[k] = silence_.data();
            continue;
        }
        float* staging = inputStaging_.data() + std::size_t{k} * chunkFrames;
        pcm::readChannel(*input_, static_cast<AVAudioChannelCount>(channelMap_[k]), inputOffset_, frames, staging);
        inputPointers_[k] = staging;
    }
    return frames;
}

AVAudioFrameCount AVAudioConverter::resample(AVAudioFrameCount inputFrames, AVAudioPCMBuffer& output,
                                             AVAudioFrameCount at, AVAudioFrameCount room, bool flush,
                                             std::size_t& used) {
    const auto channels = static_cast<AVAudioChannelCount>(channelMap_.size());
    AVAudioFrameCount outputRoom = room;
    if (directOutput_) {
        for (AVAudioChannelCount k = 0; k < channels; ++k) {
            outputPointers_[k] = pcm::contiguousFloatChannel(output, k) + at;
        }
    } else {
        outputRoom = std::min(room, chunkFrames);
        for (AVAudioChannelCount k = 0; k < channels; ++k) {
            outputPointers_[k] = outputStaging_.data() + std::size_t{k} * chunkFrames;
        }
    }

    used = 0;
    std::size_t written = 0;
    const soxr_error_t error =
        soxr_process(resampler_, flush ? nullptr : inputPointers_.data(), flush ? 0 : inputFrames, &used,
                     outputPointers_.data(), outputRoom, &written);
    if (error != nullptr) throw conversionError(std::string("Resampling failed: ") + error + ".");

    const auto frames = static_cast<AVAudioFrameCount>(written);
    if (!directOutput_) {
        for (AVAudioChannelCount k = 0; k < channels; ++k) {
            pcm::writeChannel(output, k, at, frames, outputPointers_[k]);
        }
    }
    return frames;
}

AVAudioFrameCount AVAudioConverter::passThrough(AVAudioPCMBuffer& output, AVAudioFrameCount at,
                                                AVAudioFrameCount room) {
    const auto channels = static_cast<AVAudioChannelCount>(channelMap_.size());
    AVAudioFrameCount frames = std::min(input_->frameLength() - inputOffset_, room);
    if (!directOutput_ || mixesDown_) frames = std::min(frames, chunkFrames);
    if (mixesDown_) {
        if (directOutput_) {
            mixDown(frames, pcm::contiguousFloatChannel(output, 0) + at);
        } else {
            mixDown(frames, inputStaging_.data());
            pcm::writeChannel(output, 0, at, frames, inputStaging_.data());
        }
        return frames;
    }
    for (AVAudioChannelCount k = 0; k < channels; ++k) {
        const int source = channelMap_[k];
        float* run = directOutput_ ? pcm::contiguousFloatChannel(output, k) + at : nullptr;
        if (source < 0) {
            if (run != nullptr) {
                std::fill(run, run + frames, 0.0f);
            } else {
                pcm::writeChannel(output, k, at, frames, silence_.data());
            }
        } else if (run != nullptr) {
            pcm::readChannel(*input_, static_cast<AVAudioChannelCount>(source), inputOffset_, frames, run);
        } else {
            pcm::readChannel(*input_, static_cast<AVAudioChannelCount>(source), inputOffset_, frames,
                             inputStaging_.data());
            pcm::writeChannel(output, k, at, frames, inputStaging_.data());
        }
    }
    return frames;
}

AVAudioConverterOutputStatus AVAudioConverter::convert(AVAudioPCMBuffer& outputBuffer,
                                                       const AVAudioConverterInputBlock& inputBlock,
                                                       std::optional<NSError>* outError) {
    if (outError != nullptr) outError->reset();
    AVAudioFrameCount produced = 0;
    auto finish = [&](AVAudioConverterOutputStatus status) {
        outputBuffer.setFrameLength(produced);
        return status;
    };
    auto fail = [&](NSError error) {
        if (outError != nullptr) *outError = std::move(error);
        return finish(AVAudioConverterOutputStatus::error);
    };

    if (outputBuffer.format() != outputFormat_) {
        return fail(AVAudioError::make(AVAudioError::formatMismatch,
                                       "The output buffer is not in the converter's output format."));
    }
    if (!inputBlock) return fail(conversionError("The converter was given no input block."));

    const AVAudioFrameCount capacity = outputBuffer.frameCapacity();
    try {
        for (;;) {
            if (stage_ == Stage::finished) return finish(AVAudioConverterOutputStatus::endOfStream);
            if (produced == capacity) return finish(AVAudioConverterOutputStatus::haveData);
            const AVAudioFrameCount room = capacity - produced;
            std::size_t used = 0;

            if (stage_ == Stage::flushing) {
                const AVAudioFrameCount frames = resample(0, outputBuffer, produced, room, true, used);
                produced += frames;
                if (frames == 0) stage_ = Stage::finished;
                continue;
            }

            if (input_ && inputOffset_ < input_->frameLength()) {
                if (resamples()) {
                    const AVAudioFrameCount offered = prepareInput(input_->frameLength() - inputOffset_);
                    const AVAudioFrameCount frames = resample(offered, outputBuffer, produced, room, false, used);
                    if (used == 0 && frames == 0) return fail(conversionError("The resampler made no progress."));
                    inputOffset_ += static_cast<AVAudioFrameCount>(used);
                    produced += frames;
                } else {
                    const AVAudioFrameCount frames = passThrough(outputBuffer, produced, room);
                    inputOffset_ += frames;
                    produced += frames;
                }
                continue;
            }

            // Everything handed over is used up. Take what the resampler can still give from the
            // input it holds before asking for more.
            if (resamples()) {
                const AVAudioFrameCount frames = resample(0, outputBuffer, produced, room, false, used);
                if (frames > 0) {
                    produced += frames;
                    continue;
                }
            }
            input_.reset();
            inputOffset_ = 0;

            const double wanted = std::ceil(static_cast<double>(room) * inputFormat_.sampleRate() /
                                            outputFormat_.sampleRate());
            const auto packets = static_cast<AVAudioPacketCount>(
                std::min(wanted, static_cast<double>(std::numeric_limits<AVAudioPacketCount>::max())));
            AVAudioConverterInputStatus status = AVAudioConverterInputStatus::noDataNow;
            std::shared_ptr<const AVAudioPCMBuffer> next = inputBlock(packets, status);
            switch (status) {
                case AVAudioConverterInputStatus::haveData:
                    if (!next) return fail(conversionError("The input block reported data but gave no buffer."));
                    if (next->format() != inputFormat_) {
                        return fail(AVAudioError::make(
                            AVAudioError::formatMismatch,
                            "An input buffer is not in the converter's input format."));
                    }
                    input_ = std::move(next);
                    break;
                case AVAudioConverterInputStatus::noDataNow:
                    return finish(AVAudioConverterOutputStatus::inputRanDry);
                case AVAudioConverterInputStatus::endOfStream:
                    stage_ = resamples() ? Stage::flushing : Stage::finished;
                    break;
                default:
                    return fail(conversionError("The input block gave an unknown status."));
            }
        }
    } catch (const NSError& error) {
        return fail(error);
    }
}

}  // namespace platform
