#include "RarivOredu/asr/parakeet/ParakeetConfig.h"

#include <yaml-cpp/eventhandler.h>
#include <yaml-cpp/yaml.h>

#include <charconv>
#include <climits>
#include <cmath>
#include <optional>
#include <sstream>
#include <string_view>

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

// Error texts quote at most this much of a value.
constexpr std::size_t maxDescription = 200;
// A configuration holds some ten thousand values (the vocabulary's pieces among them).
constexpr std::size_t maxNodes = std::size_t{1} << 20;

// A value as the file writes it: scalars as they stand, sequences in brackets; cut short at
// maxDescription characters.
void describeInto(const YAML::Node& node, std::string& text) {
    if (text.size() > maxDescription) return;
    if (!node.IsDefined()) {
        text += "nothing";
    } else if (node.IsNull()) {
        text += "null";
    } else if (node.IsScalar()) {
        text += node.Scalar();
    } else if (node.IsSequence()) {
        text += "[";
        for (std::size_t i = 0; i < node.size() && text.size() <= maxDescription; ++i) {
            if (i) text += ", ";
            describeInto(node[i], text);
        }
        text += "]";
    } else {
        text += "a mapping";
    }
}

std::string describe(const YAML::Node& node) {
    std::string text;
    describeInto(node, text);
    if (text.size() > maxDescription) text = text.substr(0, maxDescription) + "…";
    return text;
}

// Whether the bytes are UTF-8 (RFC 3629: no overlong forms, surrogates or values past U+10FFFF).
bool isUTF8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xe ? 3 : (c >> 3) == 0x1e ? 4 : 0;
        if (length == 0 || i + length > text.size()) return false;
        std::uint32_t value = length == 1 ? c : c & (0x7f >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xc0) != 0x80) return false;
            value = (value << 6) | (next & 0x3f);
        }
        static constexpr std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (value < smallest[length] || value > 0x10ffff || (value >= 0xd800 && value <= 0xdfff)) return false;
        i += length;
    }
    return true;
}

// Walks the document's events before it is loaded: an alias (which could make a small file
// stand for an exponentially large tree) or more than maxNodes values are refused.
class DocumentCheck : public YAML::EventHandler {
public:
    struct Refused {
        std::string reason;
    };

    void OnDocumentStart(const YAML::Mark&) override {}
    void OnDocumentEnd() override {}
    void OnNull(const YAML::Mark&, YAML::anchor_t) override { count(); }
    void OnAlias(const YAML::Mark& mark, YAML::anchor_t) override {
        throw Refused{"an alias at line " + std::to_string(mark.line + 1) + " (aliases are not read)"};
    }
    void OnScalar(const YAML::Mark&, const std::string&, YAML::anchor_t, const std::string&) override { count(); }
    void OnSequenceStart(const YAML::Mark&, const std::string&, YAML::anchor_t, YAML::EmitterStyle::value) override {
        count();
    }
    void OnSequenceEnd() override {}
    void OnMapStart(const YAML::Mark&, const std::string&, YAML::anchor_t, YAML::EmitterStyle::value) override {
        count();
    }
    void OnMapEnd() override {}

private:
    void count() {
        if (++nodes_ > maxNodes) throw Refused{"more than " + std::to_string(maxNodes) + " values"};
    }
    std::size_t nodes_ = 0;
};

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
        if (!isScalar(node) || node.Scalar() != expected) mismatch(key, expected);
    }
    void boolean(const std::string& key, bool expected, bool absentOk = false) const {
        const YAML::Node node = at(key);
        if (!node.IsDefined() && absentOk) return;
        bool value = !expected;
        if (!isScalar(node) || !YAML::convert<bool>::decode(node, value) || value != expected) {
            mismatch(key, expected ? "true" : "false");
        }
    }
    void number(const std::string& key, double expected, bool absentOk = false) const {
        const YAML::Node node = at(key);
        if (!node.IsDefined() && absentOk) return;
        const std::optional<double> value = toNumber(node);
        if (!value || !(std::abs(*value - expected) <= 1e-9 * std::max(1.0, std::abs(expected)))) {
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
    // A whole number in [1, limit].
    int positive(const std::string& key, int limit) const {
        const YAML::Node node = at(key);
        const std::optional<double> value = toNumber(node);
        if (!value || !(*value >= 1) || std::floor(*value) != *value) mismatch(key, "a positive whole number");
        if (!(*value <= limit)) mismatch(key, "at most " + std::to_string(limit));
        return static_cast<int>(*value);
    }
    std::vector<int> integers(const std::string& key) const {
        const YAML::Node node = at(key);
        std::vector<int> values;
        const bool sequence = isSequence(node);
        if (sequence) {
            for (const auto& item : node) {
                const auto value = toNumber(item);
                if (!value || !(std::abs(*value) <= INT_MAX) || std::floor(*value) != *value) break;
                values.push_back(static_cast<int>(*value));
            }
        }
        if (!sequence || values.size() != node.size()) mismatch(key, "a list of whole numbers");
        return values;
    }
    std::vector<std::string> strings(const std::string& key, std::size_t limit) const {
        const YAML::Node node = at(key);
        std::vector<std::string> values;
        const bool sequence = isSequence(node);
        if (sequence && node.size() <= limit) {
            for (const auto& item : node) {
                // The pieces go into parakeet_vocab.json, which holds UTF-8 text only.
                if (!isScalar(item) || !isUTF8(item.Scalar())) break;
                values.push_back(item.Scalar());
            }
        }
        if (!sequence || values.size() != node.size() || values.empty()) {
            mismatch(key, "a list of at most " + std::to_string(limit) + " token pieces");
        }
        return values;
    }

    // Type tests that are false for a key the file does not have.
    static bool isScalar(const YAML::Node& node) { return node.IsDefined() && node.IsScalar(); }
    static bool isSequence(const YAML::Node& node) { return node.IsDefined() && node.IsSequence(); }

private:
    // Nodes are looked up through const copies: assigning to a yaml-cpp node rewrites the tree.
    static YAML::Node child(const YAML::Node& node, const std::string& key, std::size_t start) {
        if (!node.IsDefined() || !node.IsMap()) return YAML::Node(YAML::NodeType::Undefined);
        const std::size_t dot = key.find('.', start);
        const YAML::Node next =
            node[key.substr(start, dot == std::string::npos ? std::string::npos : dot - start)];
        if (!next.IsDefined() || dot == std::string::npos) return next;
        return child(next, key, dot + 1);
    }

    static std::optional<double> toNumber(const YAML::Node& node) {
        if (!isScalar(node)) return std::nullopt;
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

// The configuration a loaded document describes.
ParakeetConfig readDocument(const YAML::Node& root) {
    using Limits = ParakeetConfig;
    constexpr int maxLayers = Limits::maxLayers, maxWidth = Limits::maxWidth, maxHeads = Limits::maxHeads,
                  maxFeedForwardWidth = Limits::maxFeedForwardWidth, maxConvolutionKernel = Limits::maxConvolutionKernel;
    constexpr std::size_t maxVocabulary = Limits::maxVocabulary;
    const ConfigReader c(root);

    // Front end.
    c.number("preprocessor.sample_rate", ParakeetConfig::sampleRate);
    c.number("preprocessor.window_size", 0.025);
    c.number("preprocessor.window_stride", 0.01);
    c.text("preprocessor.window", "hann", true);
    c.number("preprocessor.features", ParakeetConfig::melBins);
    c.number("preprocessor.n_fft", ParakeetConfig::fftSize);
    c.text("preprocessor.normalize", "per_feature");
    c.boolean("preprocessor.log", true, true);
    c.number("preprocessor.frame_splicing", 1, true);
    c.number("preprocessor.pad_to", 0, true);
    c.number("preprocessor.pad_value", 0, true);
    c.number("preprocessor.preemph", 0.97, true);
    c.number("preprocessor.lowfreq", 0, true);
    c.nullish("preprocessor.highfreq", ParakeetConfig::sampleRate / 2.0);
    c.text("preprocessor.log_zero_guard_type", "add", true);
    c.number("preprocessor.log_zero_guard_value", std::ldexp(1.0, -24), true);
    c.number("preprocessor.mag_power", 2, true);
    c.text("preprocessor.mel_norm", "slaney", true);
    c.boolean("preprocessor.exact_pad", false, true);

    // Encoder.
    c.number("encoder.feat_in", ParakeetConfig::melBins);
    c.text("encoder.subsampling", "dw_striding");
    c.number("encoder.subsampling_factor", ParakeetConfig::subsamplingFactor);
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
    c.number("decoder.prednet.pred_rnn_layers", ParakeetConfig::predictionLayers);
    c.text("joint.jointnet.activation", "relu", true);
    c.nullish("joint.log_softmax");
    c.text("decoding.model_type", "tdt");

    ParakeetConfig config;
    config.layers = c.positive("encoder.n_layers", maxLayers);
    config.modelWidth = c.positive("encoder.d_model", maxWidth);
    config.heads = c.positive("encoder.n_heads", maxHeads);
    config.feedForwardWidth = config.modelWidth * c.positive("encoder.ff_expansion_factor", maxFeedForwardWidth / config.modelWidth);
    config.subsamplingChannels = c.positive("encoder.subsampling_conv_channels", maxWidth);
    config.convolutionKernel = c.positive("encoder.conv_kernel_size", maxConvolutionKernel);
    config.predictionWidth = c.positive("decoder.prednet.pred_hidden", maxWidth);
    config.jointWidth = c.positive("joint.jointnet.joint_hidden", maxWidth);
    config.durations = c.integers("decoding.durations");
    if (config.durations != std::vector<int>{0, 1, 2, 3, 4}) c.mismatch("decoding.durations", "[0, 1, 2, 3, 4]");
    config.vocabulary = c.strings("joint.vocabulary", maxVocabulary);

    const int pieces = static_cast<int>(config.vocabulary.size());
    requireEqual("decoder.vocab_size", c.positive("decoder.vocab_size", static_cast<int>(maxVocabulary)), pieces, "the pieces of joint.vocabulary");
    requireEqual("joint.num_classes", c.positive("joint.num_classes", static_cast<int>(maxVocabulary)), pieces, "the pieces of joint.vocabulary");
    requireEqual("joint.num_extra_outputs", c.positive("joint.num_extra_outputs", static_cast<int>(maxVocabulary)),
                 static_cast<int>(config.durations.size()), "the durations");
    if (c.at("joint.jointnet.encoder_hidden").IsDefined()) {
        requireEqual("joint.jointnet.encoder_hidden", c.positive("joint.jointnet.encoder_hidden", maxWidth), config.modelWidth,
                     "encoder.d_model");
    }
    if (c.at("joint.jointnet.pred_hidden").IsDefined()) {
        requireEqual("joint.jointnet.pred_hidden", c.positive("joint.jointnet.pred_hidden", maxWidth), config.predictionWidth,
                     "decoder.prednet.pred_hidden");
    }
    config.validate();
    return config;
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

namespace {

// Whether the line starts as a key of a block mapping does: a plain or quoted key, then ":"
// followed by a blank or the end of the line.
bool startsWithKey(std::string_view line) {
    std::size_t colon = std::string_view::npos;
    if (line[0] == '"' || line[0] == '\'') {
        const std::size_t close = line.find(line[0], 1);
        if (close == std::string_view::npos || close + 1 >= line.size() || line[close + 1] != ':') return false;
        colon = close + 1;
    } else {
        if (std::string_view(",[]{}#&*!|>%@`").find(line[0]) != std::string_view::npos) return false;
        if ((line[0] == '-' || line[0] == '?' || line[0] == ':') && (line.size() == 1 || line[1] == ' ' || line[1] == '\t'))
            return false;
        for (std::size_t i = 1; i < line.size() && colon == std::string_view::npos; ++i) {
            if (line[i] == '#' && (line[i - 1] == ' ' || line[i - 1] == '\t')) return false;
            if (line[i] == ':' && (i + 1 == line.size() || line[i + 1] == ' ' || line[i + 1] == '\t' || line[i + 1] == '\r'))
                colon = i;
        }
    }
    return colon != std::string_view::npos;
}

// Whether a document of the text starts otherwise than a block mapping does (the configuration is
// one). yaml-cpp 0.7 loops for ever on some such documents: a scalar, flow collection, tag or
// anchor at the top followed by a flow entry (",x", "!t x\n,", "\"x\"\n,").
bool documentStartsWithoutKey(std::string_view text) {
    if (text.substr(0, 3) == "\xef\xbb\xbf") text.remove_prefix(3);
    bool atStart = true;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        const bool marker = (line.substr(0, 3) == "---" || line.substr(0, 3) == "...") &&
                            (line.size() == 3 || line[3] == ' ' || line[3] == '\t' || line[3] == '\r');
        if (marker) {
            atStart = true;
            line.remove_prefix(3);
        } else if (atStart && !line.empty() && line[0] == '%') {
            continue;  // a directive
        }
        if (!atStart) continue;
        const std::size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string_view::npos || line[first] == '#') continue;
        if (!startsWithKey(line.substr(first))) return true;
        atStart = false;
    }
    return false;
}

}  // namespace

ParakeetConfig ParakeetConfig::fromYaml(const std::string& text) {
    if (documentStartsWithoutKey(text)) refuse("model_config.yaml does not hold a mapping: a document starts without a key");
    YAML::Node root;
    try {
        std::istringstream stream(text);
        YAML::Parser parser(stream);
        DocumentCheck check;
        while (parser.HandleNextDocument(check)) {
        }
        root = YAML::Load(text);
    } catch (const DocumentCheck::Refused& refused) {
        refuse("model_config.yaml holds " + refused.reason);
    } catch (const YAML::Exception& e) {
        refuse(std::string("model_config.yaml is not readable YAML: ") + e.what());
    }
    if (!root.IsDefined() || !root.IsMap()) refuse("model_config.yaml does not hold a mapping");
    try {
        return readDocument(root);
    } catch (const YAML::Exception& e) {
        // Every lookup above is of a checked type; this is the last guard for what yaml-cpp throws.
        refuse(std::string("model_config.yaml: ") + e.what());
    }
}

void ParakeetConfig::validate() const {
    if (layers < 1 || modelWidth < 1 || heads < 1 || feedForwardWidth < 1 || subsamplingChannels < 1 ||
        predictionWidth < 1 || jointWidth < 1 || convolutionKernel < 1) {
        refuse("every width and count must be positive");
    }
    if (layers > maxLayers || modelWidth > maxWidth || heads > maxHeads || feedForwardWidth > maxFeedForwardWidth ||
        subsamplingChannels > maxWidth || predictionWidth > maxWidth || jointWidth > maxWidth ||
        convolutionKernel > maxConvolutionKernel || vocabulary.size() > maxVocabulary) {
        refuse("a width or count beyond the range of Parakeet TDT networks");
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
