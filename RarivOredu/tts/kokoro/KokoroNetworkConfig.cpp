#include "RarivOredu/tts/kokoro/KokoroNetworkConfig.h"

#include <nlohmann/json.hpp>

#include <cstdint>

#include "RarivOredu/checkpoint/CheckpointError.h"

namespace rarivoredu {

namespace {

int positive(const nlohmann::json& value, const std::string& name, int limit) {
    if (!value.is_number_integer() || value.get<long long>() < 1 || value.get<long long>() > limit) {
        throw CheckpointError::malformed("config.json member " + name);
    }
    return value.get<int>();
}

// Upsampling stages and dilations of one resblock: Kokoro has 2 and 3.
constexpr std::size_t maxListLength = 16;

std::vector<int> positives(const nlohmann::json& value, const std::string& name, int limit) {
    if (!value.is_array() || value.empty() || value.size() > maxListLength)
        throw CheckpointError::malformed("config.json member " + name);
    std::vector<int> numbers;
    for (const auto& item : value) numbers.push_back(positive(item, name, limit));
    return numbers;
}

}  // namespace

int KokoroNetworkConfig::samplesPerFrame() const {
    std::int64_t samples = std::int64_t{istftHop} * 2;
    for (const int rate : upsampleRates) {
        samples *= rate;
        if (samples > maxSamplesPerFrame) return maxSamplesPerFrame + 1;
    }
    return static_cast<int>(samples);
}

KokoroNetworkConfig KokoroNetworkConfig::fromJSON(const std::string& text) {
    const nlohmann::json json = nlohmann::json::parse(text, nullptr, false);
    if (!json.is_object()) throw CheckpointError::malformed("config.json");
    KokoroNetworkConfig config;
    if (const auto bert = json.find("plbert"); bert != json.end()) {
        if (!bert->is_object()) throw CheckpointError::malformed("config.json member plbert");
        if (bert->contains("num_attention_heads")) {
            config.attentionHeads = positive((*bert)["num_attention_heads"], "plbert.num_attention_heads", 1024);
        }
        if (bert->contains("num_hidden_layers")) {
            config.albertLayers = positive((*bert)["num_hidden_layers"], "plbert.num_hidden_layers", 1024);
        }
    }
    if (const auto vocoder = json.find("istftnet"); vocoder != json.end()) {
        if (!vocoder->is_object()) throw CheckpointError::malformed("config.json member istftnet");
        if (vocoder->contains("upsample_rates")) {
            config.upsampleRates = positives((*vocoder)["upsample_rates"], "istftnet.upsample_rates", 64);
        }
        if (vocoder->contains("resblock_dilation_sizes")) {
            const auto& sizes = (*vocoder)["resblock_dilation_sizes"];
            if (!sizes.is_array() || sizes.empty()) {
                throw CheckpointError::malformed("config.json member istftnet.resblock_dilation_sizes");
            }
            if (sizes.size() > maxListLength)
                throw CheckpointError::malformed("config.json member istftnet.resblock_dilation_sizes");
            config.resblockDilations.clear();
            for (const auto& item : sizes) {
                config.resblockDilations.push_back(positives(item, "istftnet.resblock_dilation_sizes", 64));
            }
        }
        if (vocoder->contains("gen_istft_n_fft")) {
            config.istftFFT = positive((*vocoder)["gen_istft_n_fft"], "istftnet.gen_istft_n_fft", 4096);
        }
        if (vocoder->contains("gen_istft_hop_size")) {
            config.istftHop = positive((*vocoder)["gen_istft_hop_size"], "istftnet.gen_istft_hop_size", 4096);
        }
        // A frame's samples divide the seconds a bundle holds: beyond one second a frame the
        // network would voice no token in a five-second bundle.
        if (config.samplesPerFrame() > maxSamplesPerFrame)
            throw CheckpointError::malformed(
                "config.json members istftnet.gen_istft_hop_size and istftnet.upsample_rates (more than " +
                std::to_string(maxSamplesPerFrame) + " samples a frame)");
    }
    return config;
}

}  // namespace rarivoredu
