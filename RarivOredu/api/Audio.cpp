#include "rarivoredu/Audio.h"

#include "Platform/system/AtomicFileWriter.h"
#include "RarivOredu/api/ErrorTranslation.h"
#include "RarivOredu/shared/AudioConverter.h"
#include "RarivOredu/shared/AudioWAV.h"

namespace rarivoredu::api {

std::vector<float> Audio::load(const std::filesystem::path& file) {
    ErrorTranslation::requireFile(file);
    try {
        return AudioConverter().resampleAudioFile(file);
    } catch (const std::exception& error) {
        throw Error(Error::Kind::unreadableAudio, "Could not read audio from " + file.string() + ": " + error.what());
    }
}

void Audio::writeWav(const std::filesystem::path& file, std::span<const float> samples, int sampleRate) {
    if (sampleRate <= 0) throw Error(Error::Kind::invalidArgument, "The sample rate must be above 0");
    try {
        const auto bytes = AudioWAV::data(samples, sampleRate);
        platform::AtomicFileWriter(platform::AtomicFileWriter::everyone)
            .replace(file, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    } catch (...) {
        ErrorTranslation::rethrow("Could not write " + file.string());
    }
}

}  // namespace rarivoredu::api
