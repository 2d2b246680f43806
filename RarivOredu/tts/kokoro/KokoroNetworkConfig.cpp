#include "RarivOredu/tts/kokoro/KokoroNetworkConfig.h"

#include <nlohmann/json.hpp>

#include "RarivOredu/checkpoint/CheckpointError.h"

namespace rarivoredu {

namespace {

int positive(const nlohmann::json& value, const std::string& name, int limit) {
    if (!value.is_number_integer() || value.get<long long>() < 1 || value.get<long long>() > limit) {
        throw CheckpointError::malformed("config.json member " + name);
    }
    return value.get<int>();
}

std::vector<int> positives(const nlohmann::json& value, const std::string& name, int limit) {
    if (!value.is_array() || value.empty()) throw CheckpointError::malformed("config.json member " + name);
    std::vector<int> numbers;
    for (const auto& item : value) numbers.push_back(positive(item, name, limit));
    return numbers;
}

}  // namespace

int KokoroNetworkConfig::samplesPerFrame() const {
    int samples = istftHop * 2;
    for (const int rate : upsampleRates) samples *= rate;
    return samples;
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
    }
    return config;
}

}  // namespace rarivoredu
