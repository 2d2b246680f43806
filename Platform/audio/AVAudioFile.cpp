#include "Platform/audio/AVAudioFile.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <string>
#include <system_error>

#include "Platform/audio/AVAudioError.h"
#include "Platform/audio/AudioFileDecoder.h"
#include "Platform/audio/FFmpegDecoder.h"
#include "Platform/audio/SndfileDecoder.h"

namespace platform {
namespace {

std::string quoted(const std::filesystem::path& path) { return "\"" + path.string() + "\""; }

// Turns away what is not a readable, non-empty regular file, with the reason in plain words.
void checkReadable(const std::filesystem::path& path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        throw AVAudioError::make(AVAudioError::fileNotFound, "The audio file " + quoted(path) + " does not exist.");
    }
    if (error) {
        throw AVAudioError::make(AVAudioError::fileNotReadable,
                                 "Cannot open the audio file " + quoted(path) + ": " + error.message() + ".");
    }
    if (status.type() != std::filesystem::file_type::regular) {
        throw AVAudioError::make(AVAudioError::fileNotReadable,
                                 "Cannot open the audio file " + quoted(path) + ": it is not a regular file.");
    }
    std::ifstream probe(path, std::ios::binary);
    if (!probe) {
        const int code = errno;
        throw AVAudioError::make(AVAudioError::fileNotReadable,
                                 "Cannot open the audio file " + quoted(path) + ": " +
                                     std::generic_category().message(code != 0 ? code : EACCES) + ".");
    }
    if (std::filesystem::file_size(path, error) == 0 && !error) {
        throw AVAudioError::make(AVAudioError::unsupportedFile, "The audio file " + quoted(path) + " is empty.");
    }
}

std::unique_ptr<AudioFileDecoder> openDecoder(const std::filesystem::path& path) {
    if (auto decoder = SndfileDecoder::open(path)) return decoder;
    if (auto decoder = FFmpegDecoder::open(path)) return decoder;
    throw AVAudioError::make(AVAudioError::unsupportedFile,
                             "Cannot open the audio file " + quoted(path) +
                                 ": it is damaged or not in a supported audio format.");
}

}  // namespace

const std::vector<std::string>& AVAudioFile::readableExtensions() {
    static const std::vector<std::string> extensions = {"wav",  "wave", "aiff", "aif", "aifc", "caf", "mp3",
                                                        "m4a",  "aac",  "flac", "ogg", "oga",  "opus"};
    return extensions;
}

AVAudioFile::AVAudioFile(const std::filesystem::path& url)
    : url_(url), decoder_((checkReadable(url), openDecoder(url))),
      processingFormat_(*AVAudioFormat::standard(decoder_->sampleRate(), decoder_->channelCount())),
      length_(std::max<AVAudioFramePosition>(decoder_->length(), 0)) {}

AVAudioFile::~AVAudioFile() = default;
AVAudioFile::AVAudioFile(AVAudioFile&&) noexcept = default;
AVAudioFile& AVAudioFile::operator=(AVAudioFile&&) noexcept = default;

void AVAudioFile::read(AVAudioPCMBuffer& buffer) { read(buffer, buffer.frameCapacity()); }

void AVAudioFile::read(AVAudioPCMBuffer& buffer, AVAudioFrameCount frames) {
    if (buffer.format() != processingFormat_) {
        throw AVAudioError::make(AVAudioError::formatMismatch,
                                 "Cannot read the audio file " + quoted(url_) +
                                     ": the buffer is not in the file's processing format.");
    }
    buffer.setFrameLength(0);
    const AVAudioFrameCount wanted = std::min(frames, buffer.frameCapacity());
    const AVAudioFrameCount got = decoder_->read(buffer.floatChannelData(), 0, wanted);
    buffer.setFrameLength(got);
    framePosition_ += got;
}

}  // namespace platform
