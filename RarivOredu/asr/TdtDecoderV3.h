#pragma once

#include <array>
#include <optional>
#include <set>
#include <string>

#include "Platform/ml/MLFeatureProvider.h"
#include "Platform/ml/MLModel.h"
#include "Platform/ml/MLMultiArray.h"
#include "Platform/ml/MLPredictionOptions.h"
#include "RarivOredu/asr/TdtConfig.h"
#include "RarivOredu/asr/TdtDecoderState.h"
#include "RarivOredu/asr/TdtHypothesis.h"
#include "RarivOredu/asr/TdtModelShape.h"
#include "RarivOredu/shared/AppLogger.h"

namespace rarivoredu {

// Greedy token-and-duration transducer decoding over the Decoder (prediction network) and
// JointDecision models. One call decodes one Encoder output; the decoder state carries the
// recurrent arrays, the last token, its projection and the frame overrun to the next call.
//
// Everything a decoding step needs (inputs, joint provider, output backings, both option sets)
// is made once per call; a step only writes numbers into them and runs the models.
class TdtDecoderV3 {
public:
    // The JointDecision input: the current encoder frame and Decoder projection. One instance
    // serves every joint prediction of a call.
    class ReusableJointInput : public platform::MLFeatureProvider {
    public:
        ReusableJointInput() = delete;
        ReusableJointInput(platform::MLMultiArrayPtr encoderStep, platform::MLMultiArrayPtr decoderStep);

        const platform::MLMultiArrayPtr& encoderStep() const noexcept { return encoderStep_; }
        const platform::MLMultiArrayPtr& decoderStep() const noexcept { return decoderStep_; }

        std::set<std::string> featureNames() const override;
        std::optional<platform::MLFeatureValue> featureValueForName(const std::string& name) const override;

    private:
        platform::MLMultiArrayPtr encoderStep_;  // [1, D, 1] float32, "encoder_step"
        platform::MLMultiArrayPtr decoderStep_;  // [1, H, 1] float32, "decoder_step"
        platform::MLFeatureValue encoderValue_;
        platform::MLFeatureValue decoderValue_;
    };

    // Tokens that the chunk merge drops when a window starts with the token the previous one
    // ended on.
    static constexpr std::array<int, 3> resetTokenIds{7883, 7952, 7948};

    // Throws std::invalid_argument for an invalid configuration. The widths come from `shape`;
    // the blank token from the configuration.
    TdtDecoderV3(AppLogger logger, TdtConfig config, platform::MLPredictionOptions predictionOptions = {},
                 TdtModelShape shape = {});

    const AppLogger& logger() const noexcept { return logger_; }
    const TdtConfig& config() const noexcept { return config_; }
    const TdtModelShape& shape() const noexcept { return shape_; }
    const platform::MLPredictionOptions& predictionOptions() const noexcept { return predictionOptions_; }

    // Decodes the frames [start, E) of `encoderOutput`, E = min(encoderLength, audioFrameCount),
    // where the start comes from the state's timeJump and `startFrameAdjustment` (startFrame).
    // Timestamps are encoder frames plus `globalFrameOffset`. The state is updated in place.
    // Throws ASRError::processingFailed for malformed model outputs; model errors pass through.
    TdtHypothesis decode(const platform::MLMultiArrayPtr& encoderOutput, int encoderLength, int audioFrameCount,
                         const platform::MLModel& decoderModel, const platform::MLModel& jointModel,
                         TdtDecoderState& decoderState, int startFrameAdjustment, bool isLastChunk,
                         int globalFrameOffset) const;

    // The frame a call starts at: the previous call's overrun moved by the adjustment (never
    // below 0); 20 when both are 0; the adjustment alone when there is no overrun.
    static int startFrame(std::optional<int> timeJump, int startFrameAdjustment) noexcept;

    // Copies a Decoder projection (rank 3, batch 1, H features, time extent 1, float32) into
    // `decoderStep` ([1, H, 1] float32, which sets H). Throws ASRError::processingFailed.
    static void prepareDecoderProjection(const platform::MLMultiArray& projection, platform::MLMultiArray& decoderStep);
    // The frames to advance for a duration bin. Throws ASRError::processingFailed.
    int durationForBin(int bin) const;
    // The named output as a multi-array. Throws ASRError::processingFailed with `message`.
    static platform::MLMultiArrayPtr requireMultiArray(const platform::MLFeatureProvider& output,
                                                       const std::string& name, const std::string& message);
    // The shape joined with "x": "1x640x1".
    static std::string shapeDescription(const platform::MLMultiArray& array);

private:
    class Pass;

    AppLogger logger_;
    TdtConfig config_;
    platform::MLPredictionOptions predictionOptions_;
    TdtModelShape shape_;
};

}  // namespace rarivoredu
