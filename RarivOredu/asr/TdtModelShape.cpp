#include "RarivOredu/asr/TdtModelShape.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "RarivOredu/asr/ASRError.h"
#include "RarivOredu/shared/ShapeText.h"

namespace rarivoredu {
namespace {

// The declared shape of a feature, when it has one of that rank.
std::optional<std::vector<std::int64_t>> declaredShape(const platform::MLModelDescription& description,
                                                       const std::string& name, bool input, std::size_t rank) {
    const platform::MLFeatureDescription* feature = input ? description.input(name) : description.output(name);
    if (feature == nullptr || !feature->multiArrayConstraint) return std::nullopt;
    const auto& shape = feature->multiArrayConstraint->shape;
    if (shape.size() != rank) return std::nullopt;
    return shape;
}

int width(std::int64_t value, const std::string& what) {
    if (value < 1 || value > std::numeric_limits<int>::max()) {
        throw ASRError::processingFailed("Invalid " + what + " in the model description: " + std::to_string(value));
    }
    return static_cast<int>(value);
}

}  // namespace

TdtModelShape TdtModelShape::family(AsrModelVersion version) noexcept {
    TdtModelShape shape;
    if (version == AsrModelVersion::v2) shape.blankId = 1024;
    return shape;
}

TdtModelShape TdtModelShape::of(const platform::MLModel& decoder, const platform::MLModel& joint,
                                AsrModelVersion version) {
    TdtModelShape shape = family(version);
    const auto& jointDescription = joint.modelDescription();
    const auto& decoderDescription = decoder.modelDescription();
    std::optional<int> projection;
    if (const auto step = declaredShape(jointDescription, "encoder_step", true, 3)) {
        shape.encoderHiddenSize = width((*step)[1], "encoder width");
    }
    if (const auto step = declaredShape(jointDescription, "decoder_step", true, 3)) {
        projection = width((*step)[1], "decoder width");
        shape.decoderHiddenSize = *projection;
    }
    if (const auto state = declaredShape(decoderDescription, "h_in", true, 3)) {
        shape.decoderLayers = width((*state)[0], "decoder layer count");
        const int stateWidth = width((*state)[2], "decoder state width");
        if (projection && *projection != stateWidth) {
            throw ASRError::processingFailed("The Decoder state " + shapeArrayText(*state) +
                                             " does not fit the JointDecision's decoder_step of width " +
                                             std::to_string(*projection));
        }
        shape.decoderHiddenSize = stateWidth;
    }
    const auto& metadata = jointDescription.metadata;
    if (const auto found = metadata.find(blankIdKey); found != metadata.end()) {
        const std::string& text = found->second;
        int blank = -1;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), blank);
        if (error != std::errc() || end != text.data() + text.size() || blank < 0) {
            throw ASRError::processingFailed("Invalid blank_id in the JointDecision's description: " + text);
        }
        shape.blankId = blank;
    }
    return shape;
}

std::string TdtModelShape::description() const {
    return "encoder " + std::to_string(encoderHiddenSize) + ", decoder " + std::to_string(decoderLayers) + " × " +
           std::to_string(decoderHiddenSize) + ", blank " + std::to_string(blankId);
}

}  // namespace rarivoredu
