// Audio files (WAV, AIFF, CAF, MP3, M4A and what else libsndfile and FFmpeg open) through the
// file decoder and the converter to 16 kHz mono, as a file transcription reads them.
#include <cstddef>
#include <cstdint>

#include "Platform/audio/AVAudioFile.h"
#include "Platform/system/NSError.h"
#include "RarivOredu/shared/AudioConverter.h"
#include "RarivOredu/shared/AudioConverterError.h"
#include "fuzz/support/FuzzInput.h"

using namespace rarivoredu;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::quietLogs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzzsupport::MemoryFile file;
    static const AudioConverter converter;
    try {
        platform::AVAudioFile audio(file.write({reinterpret_cast<const char*>(data), size}));
        const auto samples = converter.resampleAudioFile(audio);
        (void)samples.size();
    } catch (const platform::NSError&) {
    } catch (const AudioConverterError&) {
    }
    return 0;
}
