#include "RarivOredu/tts/kokoro/KokoroBundleWriter.h"

#include "RarivOredu/network/ScriptModuleSource.h"
#include "RarivOredu/tts/kokoro/KokoroScriptSource.h"
#include "RarivOredu/tts/kokoro/KokoroWeightNorm.h"

namespace rarivoredu {

using platform::arrayFeature;

int KokoroBundleWriter::tokenCapacity(Variant variant) noexcept { return variant == Variant::fiveSecond ? 124 : 249; }

int KokoroBundleWriter::frameBudget(Variant variant, const KokoroNetworkConfig& config) noexcept {
    return ModelNames::TTS::maxDurationSeconds(variant) * KokoroNetworkConfig::sampleRate / config.samplesPerFrame();
}

platform::MLModelDescription KokoroBundleWriter::description(Variant variant, const StateDict& weights,
                                                             const KokoroNetworkConfig& config) {
    using platform::MLMultiArrayDataType;
    const std::int64_t tokens = tokenCapacity(variant);
    const std::int64_t style = KokoroWeightNorm::weightShape(weights, "predictor.F0.0.norm1.fc.weight").at(1);
    const std::int64_t samples = static_cast<std::int64_t>(frameBudget(variant, config)) * config.samplesPerFrame();
    platform::MLModelDescription d;
    d.inputs = {arrayFeature("input_ids", {1, tokens}, MLMultiArrayDataType::int32),
                arrayFeature("attention_mask", {1, tokens}, MLMultiArrayDataType::int32),
                arrayFeature("ref_s", {1, 2 * style}, MLMultiArrayDataType::float32),
                arrayFeature("random_phases", {1, 9}, MLMultiArrayDataType::float32)};
    d.outputs = {arrayFeature("audio", {1, samples}, MLMultiArrayDataType::float32),
                 arrayFeature("audio_length_samples", {1}, MLMultiArrayDataType::int32),
                 arrayFeature("durations", {1, tokens}, MLMultiArrayDataType::int32)};
    d.metadata["network"] = "kokoro";
    return d;
}

void KokoroBundleWriter::write(const std::filesystem::path& folder, Variant variant, const StateDict& weights,
                               const KokoroNetworkConfig& config) {
    const KokoroScriptSource script =
        KokoroScriptSource::make(weights, config, tokenCapacity(variant), frameBudget(variant, config));
    ScriptModuleSource module;
    module.append(script.source);
    for (const auto& name : script.weights) module.tensor(KokoroScriptSource::bufferName(name), weights.tensor(name));
    // The generator's time goes to libtorch's own kernels (its 1-D and transposed convolutions,
    // the element-wise source and attention steps), not to matrix products, so libtorch's pool is
    // the wide one. Random weights of the real size, median of three interleaved rounds at load
    // 15-17 on 8 cores: real-time factor 1.70 -> 1.30 (5 s model) and 1.17 -> 0.88 (15 s model),
    // with less CPU time per second of audio (1.4-1.8 s -> 1.0-1.4 s).
    std::move(module).writeBundle(folder, description(variant, weights, config), platform::ThreadingPreference::torchWide);
}

}  // namespace rarivoredu
