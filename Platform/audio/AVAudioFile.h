#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Platform/audio/AVAudioFormat.h"
#include "Platform/audio/AVAudioPCMBuffer.h"
#include "Platform/audio/AVAudioTypes.h"

namespace platform {

class AudioFileDecoder;

// An audio file opened for reading. WAV, AIFF, CAF, MP3, FLAC and Ogg (Vorbis, Opus) are read
// through libsndfile; M4A (AAC) and whatever else libsndfile does not know go through FFmpeg.
// Samples come out in the processing format: 32-bit float, not interleaved, at the file's own
// sample rate and channel count. Reads go forward from the current frame position.
class AVAudioFile {
public:
    // Opens the file for reading. Throws NSError (domain AVAudioError::domain) when the file is
    // missing, unreadable, empty, damaged or not audio in a format we read.
    explicit AVAudioFile(const std::filesystem::path& url);

    // The file-name extensions (lower case, without the dot) of the formats read here: WAV, AIFF,
    // CAF, MP3, M4A, AAC, FLAC, Ogg Vorbis, Opus. The one list that file choosers offer.
    static const std::vector<std::string>& readableExtensions();
    ~AVAudioFile();
    AVAudioFile(AVAudioFile&&) noexcept;
    AVAudioFile& operator=(AVAudioFile&&) noexcept;

    const std::filesystem::path& url() const noexcept { return url_; }
    const AVAudioFormat& processingFormat() const noexcept { return processingFormat_; }
    // Frames in the file, as far as its header tells; a compressed file may decode a little shorter.
    AVAudioFramePosition length() const noexcept { return length_; }
    AVAudioFramePosition framePosition() const noexcept { return framePosition_; }

    // Reads up to the buffer's capacity (or frames, when smaller) from the current position and
    // sets the buffer's frame length to what was read: less at the end of the file, 0 after it.
    // Throws NSError when the buffer is not in the processing format or decoding fails.
    void read(AVAudioPCMBuffer& buffer);
    void read(AVAudioPCMBuffer& buffer, AVAudioFrameCount frames);

private:
    std::filesystem::path url_;
    std::unique_ptr<AudioFileDecoder> decoder_;
    AVAudioFormat processingFormat_;
    AVAudioFramePosition length_ = 0;
    AVAudioFramePosition framePosition_ = 0;
};

}  // namespace platform
