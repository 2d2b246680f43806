#include "tests/support/vad/SileroSpeech.h"

#include <fstream>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "RarivOredu/shared/AudioConverter.h"
#include "RarivOredu/shared/ModelNames.h"
#include "RarivOredu/vad/silero/SileroVadImport.h"

namespace testsupport {

namespace fs = std::filesystem;

namespace {

fs::path fixtureFolder() { return fs::path(PARLOQUIN_SOURCE_DIR) / "tests" / "fixtures" / "vad"; }

nlohmann::json readJSON(const fs::path& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return nlohmann::json::parse(in);
}

}  // namespace

std::vector<SileroSpeech> SileroSpeech::all() {
    const auto index = readJSON(fixtureFolder() / "speech.json");
    std::vector<SileroSpeech> fixtures;
    for (const std::string name : {"speech-en.wav", "speech-de.wav"}) {
        SileroSpeech speech;
        speech.name = name;
        speech.samples = rarivoredu::AudioConverter().resampleAudioFile(fixtureFolder() / name);
        for (const auto& phrase : index.at(name).at("phrases")) {
            speech.phrases.push_back({phrase.at("text"), phrase.at("start"), phrase.at("end")});
        }
        const auto reference = readJSON(fixtureFolder() / (name.substr(0, name.size() - 4) + ".reference.json"));
        speech.referenceSteps = reference.at("stepProbabilities").get<std::vector<float>>();
        fixtures.push_back(std::move(speech));
    }
    return fixtures;
}

fs::path SileroSpeech::onnxFile() {
    const fs::path file = fs::path(PARLOQUIN_NPM_MODULES) / "@jjhbw" / "silero-vad" / "weights" / "silero_vad.onnx";
    if (!fs::exists(file)) {
        throw std::runtime_error(file.string() + " is missing: scripts/install-deps.sh tests installs it");
    }
    return file;
}

fs::path SileroSpeech::importBundle(const fs::path& modelsDirectory) {
    const fs::path repoFolder = modelsDirectory / "silero-vad-coreml";
    rarivoredu::SileroVadImport::importFile(onnxFile(), repoFolder);
    return repoFolder / rarivoredu::ModelNames::VAD::sileroVadFile;
}

}  // namespace testsupport
