// Kokoro's config.json and checkpoint: the network configuration, the weights read from a
// torch.save checkpoint, the TorchScript source written from them, and a voice pack.
// Input: config.json, then the checkpoint's pickle and storages, cut by the separator.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "RarivOredu/checkpoint/CheckpointError.h"
#include "RarivOredu/checkpoint/TorchCheckpoint.h"
#include "RarivOredu/tts/kokoro/KokoroBundleWriter.h"
#include "RarivOredu/tts/kokoro/KokoroCheckpointImport.h"
#include "RarivOredu/tts/kokoro/KokoroNetworkConfig.h"
#include "RarivOredu/tts/kokoro/KokoroScriptSource.h"
#include "RarivOredu/tts/kokoro/KokoroVoicePack.h"
#include "fuzz/support/FuzzInput.h"
#include "fuzz/support/TorchZip.h"

using namespace rarivoredu;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::quietLogs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzzsupport::MemoryFile file;
    const auto parts = fuzzsupport::split(data, size, 18);
    KokoroNetworkConfig config;
    try {
        config = KokoroNetworkConfig::fromJSON(std::string(parts[0]));
        for (const auto variant : ModelNames::TTS::allVariants) {
            if (KokoroBundleWriter::frameBudget(variant, config) < 1) __builtin_trap();
            (void)KokoroBundleWriter::tokenCapacity(variant);
        }
    } catch (const CheckpointError&) {
    }
    try {
        const auto checkpoint =
            TorchCheckpoint::open(file.write(fuzzsupport::torchZip({parts.begin() + 1, parts.end()})));
        try {
            (void)KokoroVoicePack::fromCheckpoint(checkpoint).toJSON();
        } catch (const CheckpointError&) {
        }
        const StateDict weights = KokoroCheckpointImport::readStateDict(checkpoint);
        (void)weights.elementCount();
        const auto source = KokoroScriptSource::make(weights, config, 16,
                                                     KokoroBundleWriter::frameBudget(ModelNames::TTS::Variant::fiveSecond, config));
        (void)source.source.size();
    } catch (const CheckpointError&) {
    }
    return 0;
}
