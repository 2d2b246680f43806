#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Platform/audio/AVAudioFile.h"
#include "Platform/audio/AVAudioFormat.h"
#include "Platform/audio/AVAudioPCMBuffer.h"
#include "RarivOredu/shared/AppLogger.h"

namespace rarivoredu {

// Brings audio (a PCM buffer in any format, or an audio file) to the samples the models take:
// by default 16 kHz mono 32-bit float. Immutable after construction; every call builds its own
// platform converter, so one instance serves several threads at once.
//
// Buffers of one or two channels go through the platform converter, which keeps the first
// channel. Buffers of three or more channels are averaged to mono and resampled by linear
// interpolation; that path always yields mono at the target rate.
class AudioConverter {
public:
    // The default target: 32-bit float, 16000 Hz, one channel, not interleaved.
    static platform::AVAudioFormat defaultTargetFormat();

    explicit AudioConverter(std::optional<platform::AVAudioFormat> targetFormat = std::nullopt);

    const platform::AVAudioFormat& targetFormat() const noexcept { return targetFormat_; }

    // The buffer's first channel at the target format: copied when the buffer is already in it,
    // converted otherwise. Throws AudioConverterError.
    std::vector<float> resampleBuffer(const platform::AVAudioPCMBuffer& buffer) const;
    // Reads the file and converts it as resampleBuffer converts one buffer of the whole file, but
    // a block at a time: besides the result it holds one block of the file's frames. Errors
    // opening or reading the file are the platform's NSError; the rest is AudioConverterError.
    std::vector<float> resampleAudioFile(const std::filesystem::path& url) const;
    // The same for a file opened already, from its current position to its end.
    std::vector<float> resampleAudioFile(platform::AVAudioFile& file) const;
    std::vector<float> resampleAudioFileAtPath(const std::string& path) const;

    // True when rate, channel count, sample type and interleaving all equal the target's.
    bool matchesTargetFormat(const platform::AVAudioFormat& format) const;
    // Converts the buffer to the given format and returns the first channel of the result.
    std::vector<float> convertBuffer(const platform::AVAudioPCMBuffer& buffer,
                                     const platform::AVAudioFormat& targetFormat) const;
    // The first channel's samples, frameLength of them; empty without float samples or frames.
    std::vector<float> extractFloatArray(const platform::AVAudioPCMBuffer& buffer) const;

private:
    // Hands out the input of one conversion a buffer at a time, all in `sourceFormat`; an empty
    // pointer ends it. `sourceFrames` is how many frames it is expected to hand out.
    using InputSource = std::function<std::shared_ptr<const platform::AVAudioPCMBuffer>()>;

    std::vector<float> convertWithPlatformConverter(const platform::AVAudioFormat& sourceFormat,
                                                    platform::AVAudioFrameCount sourceFrames, const InputSource& input,
                                                    const platform::AVAudioFormat& targetFormat) const;
    std::vector<float> mixDownAndResample(const platform::AVAudioFormat& sourceFormat,
                                          platform::AVAudioFrameCount sourceFrames, const InputSource& input,
                                          const platform::AVAudioFormat& targetFormat) const;

    AppLogger logger_;
    platform::AVAudioFormat targetFormat_;
};

}  // namespace rarivoredu
