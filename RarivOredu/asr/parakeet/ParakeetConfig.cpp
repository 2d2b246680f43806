#include "RarivOredu/asr/parakeet/ParakeetConfig.h"

#include <yaml-cpp/yaml.h>

#include <charconv>
#include <cmath>
#include <optional>

#include "RarivOredu/asr/AsrModelsError.h"

namespace rarivoredu {
namespace {

[[noreturn]] void refuse(const std::string& text) {
    throw AsrModelsError::loadingFailed("Unsupported model configuration: " + text);
}

std::string numberText(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

// A value as the file writes it: scalars as they stand, sequences in brackets.
std::string describe(const YAML::Node& node) {
    if (!node.IsDefined()) return "nothing";
    if (node.IsNull()) return "null";
    if (node.IsScalar()) return node.Scalar();
    if (node.IsSequence()) {
        std::string text = "[";
        for (std::size_t i = 0; i < node.size(); ++i) text += (i ? ", " : "") + describe(node[i]);
        return text + "]";
    }
    return "a mapping";
}

class ConfigReader {
public:
    explicit ConfigReader(YAML::Node root) : root_(std::move(root)) {}

    // The node at a dotted key; undefined when a part of the path is missing.
    YAML::Node at(const std::string& key) const { return child(root_, key, 0); }

    [[noreturn]] void mismatch(const std::string& key, const std::string& expected) const {
        refuse(key + ": expected " + expected + ", found " + describe(at(key)));
    }

    // Text values; `absentOk` for keys whose absence means the expected default.
    void text(const std::string& key, const std::string& expected, bool absentOk = false) const {
        const YAML::Node node = at(key);
        if (!node.IsDefined() && absentOk) return;
        if (!node.IsScalar() || node.Scalar() != expected) mismatch(key, expected);
    }
    void boolean(const std::string& key, bool expected, bool absentOk = false) const {
        const YAML::Node node = at(key);
        if (!node.IsDefined() && absentOk) return;
        bool value = !expected;
        if (!node.IsScalar() || !YAML::convert<bool>::decode(node, value) || value != expected) {
            mismatch(key, expected ? "true" : "false");
        }
    }
    void number(const std::string& key, double expected, bool absentOk = false) const {
        const YAML::Node node = at(key);
        if (!node.IsDefined() && absentOk) return;
        const std::optional<double> value = toNumber(node);
        if (!value || std::abs(*value - expected) > 1e-9 * std::max(1.0, std::abs(expected))) {
            mismatch(key, numberText(expected));
        }
    }
    // Absent or null, or one of the values allowed instead.
    void nullish(const std::string& key, const std::optional<double> alsoAllowed = std::nullopt) const {
        const YAML::Node node = at(key);
        if (!node.IsDefined() || node.IsNull()) return;
        if (alsoAllowed) {
            if (const auto value = toNumber(node); value && *value == *alsoAllowed) return;
        }
        mismatch(key, alsoAllowed ? "null or " + numberText(*alsoAllowed) : "null");
    }
    int positive(const std::string& key) const {
        const YAML::Node node = at(key);
        const std::optional<double> value = toNumber(node);
        if (!value || *value < 1 || *value > 1 << 20 || std::floor(*value) != *value) {
            mismatch(key, "a positive whole number");
        }
        return static_cast<int>(*value);
    }
    std::vector<int> integers(const std::string& key) const {
        const YAML::Node node = at(key);
        std::vector<int> values;
        if (node.IsSequence()) {
            for (const auto& item : node) {
                const auto value = toNumber(item);
                if (!value || std::floor(*value) != *value) break;
                values.push_back(static_cast<int>(*value));
            }
        }
        if (!node.IsSequence() || values.size() != node.size()) mismatch(key, "a list of whole numbers");
        return values;
    }
    std::vector<std::string> strings(const std::string& key) const {
        const YAML::Node node = at(key);
        std::vector<std::string> values;
        if (node.IsSequence()) {
            for (const auto& item : node) {
                if (!item.IsScalar()) break;
                values.push_back(item.Scalar());
            }
        }
        if (!node.IsSequence() || values.size() != node.size() || values.empty()) {
            mismatch(key, "a list of token pieces");
        }
        return values;
    }

private:
    // Nodes are looked up through const copies: assigning to a yaml-cpp node rewrites the tree.
    static YAML::Node child(const YAML::Node& node, const std::string& key, std::size_t start) {
        if (!node.IsMap()) return YAML::Node(YAML::NodeType::Undefined);
        const std::size_t dot = key.find('.', start);
        const YAML::Node next =
            node[key.substr(start, dot == std::string::npos ? std::string::npos : dot - start)];
        if (!next.IsDefined() || dot == std::string::npos) return next;
        return child(next, key, dot + 1);
    }

    static std::optional<double> toNumber(const YAML::Node& node) {
        if (!node.IsDefined() || !node.IsScalar()) return std::nullopt;
        const std::string& s = node.Scalar();
        double value = 0;
        const auto result = std::from_chars(s.data(), s.data() + s.size(), value);
        if (result.ec != std::errc() || result.ptr != s.data() + s.size()) return std::nullopt;
        return value;
    }

    YAML::Node root_;
};

void requireEqual(const std::string& key, int found, int expected, const std::string& what) {
    if (found != expected) {
        refuse(key + ": expected " + std::to_string(expected) + " (" + what + "), found " + std::to_string(found));
    }
}

}  // namespace

AsrModelVersion ParakeetConfig::version() const noexcept {
    return vocabulary.size() == 1024 ? AsrModelVersion::v2 : AsrModelVersion::v3;
}

ParakeetConfig ParakeetConfig::realSize(int pieces) {
    ParakeetConfig config;
    config.vocabulary.reserve(static_cast<std::size_t>(pieces));
    for (int i = 0; i < pieces; ++i) config.vocabulary.push_back("piece" + std::to_string(i));
    return config;
}

ParakeetConfig ParakeetConfig::fromYaml(const std::string& text) {
    YAML::Node root;
    try {
        root = YAML::Load(text);
    } catch (const YAML::Exception& e) {
        refuse(std::string("model_config.yaml is not readable YAML: ") + e.what());
    }
    if (!root.IsMap()) refuse("model_config.yaml does not hold a mapping");
    const ConfigReader c(root);

    // Front end.
    c.number("preprocessor.sample_rate", sampleRate);
    c.number("preprocessor.window_size", 0.025);
    c.number("preprocessor.window_stride", 0.01);
    c.text("preprocessor.window", "hann", true);
    c.number("preprocessor.features", melBins);
    c.number("preprocessor.n_fft", fftSize);
    c.text("preprocessor.normalize", "per_feature");
    c.boolean("preprocessor.log", true, true);
    c.number("preprocessor.frame_splicing", 1, true);
    c.number("preprocessor.pad_to", 0, true);
    c.number("preprocessor.pad_value", 0, true);
    c.number("preprocessor.preemph", 0.97, true);
    c.number("preprocessor.lowfreq", 0, true);
    c.nullish("preprocessor.highfreq", sampleRate / 2.0);
    c.text("preprocessor.log_zero_guard_type", "add", true);
    c.number("preprocessor.log_zero_guard_value", std::ldexp(1.0, -24), true);
    c.number("preprocessor.mag_power", 2, true);
    c.text("preprocessor.mel_norm", "slaney", true);
    c.boolean("preprocessor.exact_pad", false, true);

    // Encoder.
    c.number("encoder.feat_in", melBins);
    c.text("encoder.subsampling", "dw_striding");
    c.number("encoder.subsampling_factor", subsamplingFactor);
    c.boolean("encoder.causal_downsampling", false, true);
    c.nullish("encoder.reduction");
    c.nullish("encoder.feat_out", -1);
    c.text("encoder.self_attention_model", "rel_pos");
    c.boolean("encoder.xscaling", false);
    c.boolean("encoder.use_bias", false);
    c.boolean("encoder.untie_biases", true, true);
    c.text("encoder.conv_norm_type", "batch_norm", true);
    c.nullish("encoder.conv_context_size");
    c.text("encoder.att_context_style", "regular", true);
    if (const YAML::Node context = c.at("encoder.att_context_size"); context.IsDefined() && !context.IsNull()) {
        const std::vector<int> values = c.integers("encoder.att_context_size");
        if (values != std::vector<int>{-1, -1}) c.mismatch("encoder.att_context_size", "[-1, -1]");
    }

    // Prediction network and joint.
    c.boolean("decoder.blank_as_pad", true, true);
    c.nullish("decoder.normalization_mode");
    c.number("decoder.prednet.pred_rnn_layers", predictionLayers);
    c.text("joint.jointnet.activation", "relu", true);
    c.nullish("joint.log_softmax");
    c.text("decoding.model_type", "tdt");

    ParakeetConfig config;
    config.layers = c.positive("encoder.n_layers");
    config.modelWidth = c.positive("encoder.d_model");
    config.heads = c.positive("encoder.n_heads");
    config.feedForwardWidth = config.modelWidth * c.positive("encoder.ff_expansion_factor");
    config.subsamplingChannels = c.positive("encoder.subsampling_conv_channels");
    config.convolutionKernel = c.positive("encoder.conv_kernel_size");
    config.predictionWidth = c.positive("decoder.prednet.pred_hidden");
    config.jointWidth = c.positive("joint.jointnet.joint_hidden");
    config.durations = c.integers("decoding.durations");
    if (config.durations != std::vector<int>{0, 1, 2, 3, 4}) c.mismatch("decoding.durations", "[0, 1, 2, 3, 4]");
    config.vocabulary = c.strings("joint.vocabulary");

    const int pieces = static_cast<int>(config.vocabulary.size());
    requireEqual("decoder.vocab_size", c.positive("decoder.vocab_size"), pieces, "the pieces of joint.vocabulary");
    requireEqual("joint.num_classes", c.positive("joint.num_classes"), pieces, "the pieces of joint.vocabulary");
    requireEqual("joint.num_extra_outputs", c.positive("joint.num_extra_outputs"),
                 static_cast<int>(config.durations.size()), "the durations");
    if (c.at("joint.jointnet.encoder_hidden").IsDefined()) {
        requireEqual("joint.jointnet.encoder_hidden", c.positive("joint.jointnet.encoder_hidden"), config.modelWidth,
                     "encoder.d_model");
    }
    if (c.at("joint.jointnet.pred_hidden").IsDefined()) {
        requireEqual("joint.jointnet.pred_hidden", c.positive("joint.jointnet.pred_hidden"), config.predictionWidth,
                     "decoder.prednet.pred_hidden");
    }
    config.validate();
    return config;
}

void ParakeetConfig::validate() const {
    if (layers < 1 || modelWidth < 1 || heads < 1 || feedForwardWidth < 1 || subsamplingChannels < 1 ||
        predictionWidth < 1 || jointWidth < 1) {
        refuse("every width and count must be positive");
    }
    if (modelWidth % heads != 0) {
        refuse("encoder.n_heads: expected a divisor of encoder.d_model (" + std::to_string(modelWidth) + "), found " +
               std::to_string(heads));
    }
    if (convolutionKernel % 2 != 1) {
        refuse("encoder.conv_kernel_size: expected an odd number, found " + std::to_string(convolutionKernel));
    }
    if (vocabulary.empty()) refuse("joint.vocabulary: expected a list of token pieces, found an empty list");
}

}  // namespace rarivoredu
