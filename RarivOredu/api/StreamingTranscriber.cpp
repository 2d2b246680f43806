#include "rarivoredu/StreamingTranscriber.h"

#include <algorithm>

#include "Platform/audio/AVAudioFormat.h"
#include "Platform/audio/AVAudioPCMBuffer.h"
#include "RarivOredu/api/ErrorTranslation.h"
#include "RarivOredu/asr/AsrModels.h"
#include "RarivOredu/asr/StreamingAsrConfig.h"
#include "RarivOredu/asr/StreamingAsrManager.h"
#include "rarivoredu/Error.h"
#include "rarivoredu/Models.h"
#include "rarivoredu/Transcriber.h"

namespace rarivoredu::api {

struct StreamingTranscriber::Impl {
    StreamingAsrManager manager{StreamingAsrConfig::shortContext()};
};

StreamingTranscriber::StreamingTranscriber() {
    if (!Transcriber::modelsInstalled(ModelVersion::v3)) {
        throw Error(Error::Kind::modelsMissing, "The v3 speech recognition models are not installed in " +
                                                    Models::directory().string());
    }
    try {
        auto impl = std::make_unique<Impl>();
        const auto folder = Models::directory() / std::string(folderName(AsrModelVersion::v3));
        impl->manager.start(AsrModels::load(folder, std::nullopt, AsrModelVersion::v3));
        impl_ = std::move(impl);
    } catch (...) {
        ErrorTranslation::rethrow("Could not start streaming recognition");
    }
}

StreamingTranscriber::~StreamingTranscriber() = default;

void StreamingTranscriber::feed(std::span<const float> samples, int sampleRate) {
    if (samples.empty()) return;
    if (sampleRate <= 0) throw Error(Error::Kind::invalidArgument, "The sample rate must be above 0");
    const auto format = platform::AVAudioFormat::standard(sampleRate, 1);
    if (!format) throw Error(Error::Kind::invalidArgument, "Unsupported sample rate");
    auto buffer = platform::AVAudioPCMBuffer::make(*format, static_cast<platform::AVAudioFrameCount>(samples.size()));
    if (!buffer) throw Error(Error::Kind::failed, "Out of memory for the audio buffer");
    std::copy(samples.begin(), samples.end(), buffer->floatChannelData()[0]);
    buffer->setFrameLength(static_cast<platform::AVAudioFrameCount>(samples.size()));
    impl_->manager.streamAudio(std::move(buffer));
}

std::string StreamingTranscriber::confirmedText() const { return impl_->manager.confirmedTranscript(); }

std::string StreamingTranscriber::volatileText() const { return impl_->manager.volatileTranscript(); }

std::string StreamingTranscriber::finish() {
    try {
        return impl_->manager.finish();
    } catch (...) {
        ErrorTranslation::rethrow("Streaming recognition failed");
    }
}

}  // namespace rarivoredu::api
