#include "rarivoredu/Transcriber.h"

#include <algorithm>

#include "Platform/system/Progress.h"
#include "RarivOredu/api/ErrorTranslation.h"
#include "RarivOredu/api/ProgressRelay.h"
#include "RarivOredu/asr/AsrManager.h"
#include "RarivOredu/asr/AsrModels.h"
#include "RarivOredu/asr/setup/ParakeetModelSetup.h"
#include "rarivoredu/Audio.h"
#include "rarivoredu/Error.h"
#include "rarivoredu/Models.h"

namespace rarivoredu::api {
namespace {

AsrModelVersion internalVersion(ModelVersion version) {
    return version == ModelVersion::v2 ? AsrModelVersion::v2 : AsrModelVersion::v3;
}

std::filesystem::path versionFolder(ModelVersion version) {
    return Models::directory() / std::string(folderName(internalVersion(version)));
}

const char* versionName(ModelVersion version) { return version == ModelVersion::v2 ? "v2" : "v3"; }

}  // namespace

struct Transcriber::Impl {
    explicit Impl(ModelVersion version) : version(version) {}
    ModelVersion version;
    AsrManager manager;
};

Transcriber::Transcriber(ModelVersion version) {
    if (!modelsInstalled(version)) {
        throw Error(Error::Kind::modelsMissing, std::string("The ") + versionName(version) +
                                                    " speech recognition models are not installed in " +
                                                    versionFolder(version).string());
    }
    try {
        auto impl = std::make_unique<Impl>(version);
        impl->manager.initialize(AsrModels::load(versionFolder(version), std::nullopt, internalVersion(version),
                                                 ParakeetModelSetup::hubImporter(internalVersion(version))));
        impl_ = std::move(impl);
    } catch (...) {
        ErrorTranslation::rethrow("Could not load the speech recognition models");
    }
}

Transcriber::~Transcriber() = default;

ModelVersion Transcriber::version() const noexcept { return impl_->version; }

Transcript Transcriber::transcribe(std::span<const float> samples, const ProgressHandler& progress) {
    Transcript transcript;
    transcript.duration = static_cast<double>(samples.size()) / Audio::sampleRate;
    if (samples.empty()) return transcript;
    // The recogniser takes a second or more; shorter audio is heard with silence after it.
    std::vector<float> padded;
    if (samples.size() < static_cast<std::size_t>(Audio::sampleRate)) {
        padded.assign(samples.begin(), samples.end());
        padded.resize(Audio::sampleRate, 0.0f);
        samples = padded;
    }
    std::optional<platform::Progress::Scope> windows;
    if (progress) {
        windows.emplace([&progress](std::int64_t done, std::int64_t total) {
            if (total > 0) progress(Progress{static_cast<double>(done) / static_cast<double>(total), "transcribe", {}});
        });
    }
    try {
        const ASRResult result = impl_->manager.transcribe(samples);
        transcript.text = result.text;
        transcript.confidence = result.confidence;
        if (result.tokenTimings) {
            for (const TokenTiming& timing : *result.tokenTimings) {
                const double start = std::min(timing.startTime, transcript.duration);
                transcript.tokens.push_back(
                    {timing.token, start, std::clamp(timing.endTime, start, transcript.duration), timing.confidence});
            }
        }
    } catch (...) {
        ErrorTranslation::rethrow("Recognition failed");
    }
    return transcript;
}

Transcript Transcriber::transcribeFile(const std::filesystem::path& file, const ProgressHandler& progress) {
    return transcribe(Audio::load(file), progress);
}

std::filesystem::path Transcriber::modelsFolder(ModelVersion version) { return versionFolder(version); }

bool Transcriber::modelsInstalled(ModelVersion version) {
    return AsrModels::modelsExist(versionFolder(version), internalVersion(version));
}

void Transcriber::fetchModels(ModelVersion version, const ProgressHandler& progress) {
    const ProgressRelay relay(progress);
    try {
        AsrModels::download(versionFolder(version), false, internalVersion(version),
                            ParakeetModelSetup::hubImporter(internalVersion(version)));
    } catch (...) {
        ErrorTranslation::rethrow(std::string("Could not fetch the ") + versionName(version) +
                                  " speech recognition models");
    }
}

ModelVersion Transcriber::importModels(const std::filesystem::path& nemoFile, const ProgressHandler& progress) {
    ErrorTranslation::requireFile(nemoFile);
    const ProgressRelay relay(progress);
    try {
        const auto imported = ParakeetModelSetup::importFile(std::filesystem::absolute(nemoFile), Models::directory());
        return imported.version == AsrModelVersion::v2 ? ModelVersion::v2 : ModelVersion::v3;
    } catch (...) {
        ErrorTranslation::rethrow("Could not import " + nemoFile.string());
    }
}

}  // namespace rarivoredu::api
