#pragma once

#include <filesystem>

#include "Platform/ml/MLModelDescription.h"
#include "RarivOredu/shared/ModelNames.h"
#include "RarivOredu/tts/kokoro/KokoroNetworkConfig.h"
#include "RarivOredu/checkpoint/StateDict.h"

namespace rarivoredu {

// Writes the Kokoro network as a model folder (model.pt and its description) for one variant.
struct KokoroBundleWriter {
    using Variant = ModelNames::TTS::Variant;

    // Token capacity of a variant: 124 ids for five seconds, 249 for fifteen.
    static int tokenCapacity(Variant variant) noexcept;
    // Duration frames the variant's audio holds: its seconds × 24000 ÷ samplesPerFrame.
    static int frameBudget(Variant variant, const KokoroNetworkConfig& config) noexcept;
    // The model description of a variant of these weights (ref_s is twice the style width).
    static platform::MLModelDescription description(Variant variant, const StateDict& weights,
                                                    const KokoroNetworkConfig& config);

    // Writes `folder` (created when needed). Throws CheckpointError for missing tensors and
    // platform::NSError when the network does not compile or the files cannot be written.
    static void write(const std::filesystem::path& folder, Variant variant, const StateDict& weights,
                      const KokoroNetworkConfig& config);
};

}  // namespace rarivoredu
