#include "tests/RarivOredu/asr/parakeet/TinyCheckpoint.h"

#include "RarivOredu/checkpoint/TarArchive.h"
#include "RarivOredu/checkpoint/TorchCheckpoint.h"

namespace testsupport {

std::filesystem::path TinyCheckpoint::fixtureFolder() {
    return std::filesystem::path(PARLOQUIN_SOURCE_DIR) / "tests/fixtures/asr";
}

std::filesystem::path TinyCheckpoint::nemoFile() { return fixtureFolder() / "tiny-parakeet-tdt.nemo"; }

TinyCheckpoint::TinyCheckpoint() {
    const auto archive = rarivoredu::TarArchive::open(nemoFile());
    const auto* config = archive.find("model_config.yaml");
    const auto* weights = archive.find("model_weights.ckpt");
    if (config == nullptr || weights == nullptr) throw std::runtime_error("the tiny checkpoint lacks a member");
    config_ = rarivoredu::ParakeetConfig::fromYaml(archive.region(*config).readBytes(0, config->size));
    const auto checkpoint = rarivoredu::TorchCheckpoint::open(archive.region(*weights));
    for (const auto& [name, record] : checkpoint.tensors()) {
        if (record.dtype == rarivoredu::TensorRecord::DType::float32) stateDict_[name] = record.toFloat32();
    }
}

}  // namespace testsupport
