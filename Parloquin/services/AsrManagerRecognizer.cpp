#include "Parloquin/services/AsrManagerRecognizer.h"

#include "RarivOredu/asr/ASRConfig.h"
#include "RarivOredu/asr/AsrModels.h"
#include "RarivOredu/asr/setup/ParakeetModelSetup.h"

namespace parloquin {

std::shared_ptr<SpeechRecognizer> AsrManagerRecognizer::makeAsrManager() {
    using rarivoredu::AsrModels;
    using rarivoredu::AsrModelVersion;
    // A first start makes the models from the public checkpoint where the hub holds it.
    const auto importer = rarivoredu::ParakeetModelSetup::hubImporter(AsrModelVersion::v3);
    const std::filesystem::path folder = AsrModels::download(std::nullopt, false, AsrModelVersion::v3, importer);
    const AsrModels models = AsrModels::load(folder, std::nullopt, AsrModelVersion::v3, importer);
    auto manager = std::make_shared<rarivoredu::AsrManager>(rarivoredu::ASRConfig::defaultConfig());
    manager->initialize(models);
    return std::make_shared<AsrManagerRecognizer>(std::move(manager));
}

}  // namespace parloquin
