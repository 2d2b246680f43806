#pragma once

#include <string>

#include "Platform/ml/MLModel.h"
#include "RarivOredu/asr/AsrModelVersion.h"
#include "RarivOredu/shared/ASRConstants.h"

namespace rarivoredu {

// The widths a model set decodes with, as its bundles describe them: the Encoder frame the
// JointDecision takes ("encoder_step" [1, D, 1]), the prediction network's state ("h_in"
// [layers, 1, H]) and projection ("decoder_step" [1, H, 1]), and the blank token, which follows
// the vocabulary's pieces (the JointDecision's metadata "blank_id"). What a description does not
// declare keeps the 0.6B family's value.
struct TdtModelShape {
    static constexpr const char* blankIdKey = "blank_id";

    int encoderHiddenSize = ASRConstants::encoderHiddenSize;
    int decoderHiddenSize = ASRConstants::decoderHiddenSize;
    int decoderLayers = 2;
    int blankId = 8192;

    // The shape of the 0.6B model of that version (v2 has 1024 pieces, v3 8192).
    static TdtModelShape family(AsrModelVersion version) noexcept;
    // Read from the Decoder's and the JointDecision's descriptions, over the family's shape.
    // Throws ASRError::processingFailed when they declare widths that do not fit together.
    static TdtModelShape of(const platform::MLModel& decoder, const platform::MLModel& joint, AsrModelVersion version);

    // "encoder 1024, decoder 2 × 640, blank 8192"
    std::string description() const;

    bool operator==(const TdtModelShape&) const = default;
};

}  // namespace rarivoredu
