// Parakeet TDT model configurations (model_config.yaml): the YAML, every key the importer checks,
// and the tensor list and vocabulary the network derives from an accepted configuration.
#include <cstddef>
#include <cstdint>
#include <string>

#include "RarivOredu/asr/AsrModelsError.h"
#include "RarivOredu/asr/parakeet/ParakeetConfig.h"
#include "RarivOredu/asr/parakeet/ParakeetNetwork.h"
#include "fuzz/support/FuzzInput.h"

using namespace rarivoredu;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::quietLogs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const ParakeetConfig config = ParakeetConfig::fromYaml(std::string(reinterpret_cast<const char*>(data), size));
        const ParakeetNetwork network(config);
        std::size_t elements = 0;
        for (const auto& spec : network.allTensors()) {
            std::size_t count = 1;
            for (const auto d : spec.shape) count *= static_cast<std::size_t>(d);
            elements += count;
        }
        (void)elements;
        (void)network.vocabularyJson();
        for (const auto module : ParakeetNetwork::modules) (void)network.description(module);
        (void)config.version();
    } catch (const AsrModelsError&) {
    }
    return 0;
}
