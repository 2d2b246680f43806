#include "RarivOredu/asr/TdtDecoderV3.h"

#include <cblas.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "Platform/ml/MLDictionaryFeatureProvider.h"
#include "RarivOredu/asr/ASRError.h"
#include "RarivOredu/asr/EncoderFrameView.h"
#include "RarivOredu/shared/ANEOptimizer.h"
#include "RarivOredu/shared/ASRConstants.h"
#include "RarivOredu/shared/ModelPrediction.h"
#include "RarivOredu/shared/ShapeText.h"

namespace rarivoredu {

using platform::MLDictionaryFeatureProvider;
using platform::MLFeatureValue;
using platform::MLModel;
using platform::MLMultiArray;
using platform::MLMultiArrayDataType;
using platform::MLMultiArrayPtr;
using platform::MLPredictionOptions;

namespace {

// Feature names, made once so that no step builds a string.
const std::string kTargets = "targets";
const std::string kTargetLength = "target_length";
const std::string kHiddenIn = "h_in";
const std::string kCellIn = "c_in";
const std::string kHiddenOut = "h_out";
const std::string kCellOut = "c_out";
const std::string kDecoder = "decoder";
const std::string kEncoderStep = "encoder_step";
const std::string kDecoderStep = "decoder_step";
const std::string kTokenId = "token_id";
const std::string kTokenProb = "token_prob";
const std::string kDuration = "duration";
const std::string kInvalidDecoderOutput = "Invalid decoder output";
const std::string kMissingTokenId = "Joint decision output missing token_id";
const std::string kMissingTokenProb = "Joint decision output missing token_prob";
const std::string kMissingDuration = "Joint decision output missing duration";

constexpr bool fitsInt32(std::int64_t value) noexcept {
    return value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max();
}

float clampedProbability(double value) noexcept {
    if (!std::isfinite(value)) return 0.0f;
    return static_cast<float>(std::clamp(value, 0.0, 1.0));
}

int intValue(const MLMultiArray& array) noexcept {
    const double value = array[0];
    if (!(value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max())) {
        return std::numeric_limits<int>::min();
    }
    return static_cast<int>(value);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// ReusableJointInput

TdtDecoderV3::ReusableJointInput::ReusableJointInput(MLMultiArrayPtr encoderStep, MLMultiArrayPtr decoderStep)
    : encoderStep_(std::move(encoderStep)),
      decoderStep_(std::move(decoderStep)),
      encoderValue_(MLFeatureValue::featureValueWithMultiArray(encoderStep_)),
      decoderValue_(MLFeatureValue::featureValueWithMultiArray(decoderStep_)) {}

std::set<std::string> TdtDecoderV3::ReusableJointInput::featureNames() const { return {kEncoderStep, kDecoderStep}; }

std::optional<MLFeatureValue> TdtDecoderV3::ReusableJointInput::featureValueForName(const std::string& name) const {
    if (name == kEncoderStep) return encoderValue_;
    if (name == kDecoderStep) return decoderValue_;
    return std::nullopt;
}

// ---------------------------------------------------------------------------------------------
// One decoding call: its buffers, providers and option sets, made before the first model run.

class TdtDecoderV3::Pass {
public:
    Pass(const TdtDecoderV3& decoder, const EncoderFrameView& view, const MLModel& decoderModel,
         const MLModel& jointModel, TdtDecoderState& state, TdtHypothesis& hypothesis, int globalFrameOffset)
        : decoder_(decoder),
          config_(decoder.config_),
          view_(view),
          decoderModel_(decoderModel),
          jointModel_(jointModel),
          state_(state),
          hypothesis_(hypothesis),
          globalFrameOffset_(globalFrameOffset),
          targets_(MLMultiArray::create({1, 1}, MLMultiArrayDataType::int32)),
          targetLength_(MLMultiArray::create({1}, MLMultiArrayDataType::int32)),
          encoderStep_(ANEOptimizer::createAlignedArray({1, view.hiddenSize, 1}, MLMultiArrayDataType::float32)),
          decoderStep_(ANEOptimizer::createAlignedArray({1, decoder.shape_.decoderHiddenSize, 1},
                                                        MLMultiArrayDataType::float32)),
          tokenIdBacking_(MLMultiArray::create({1, 1, 1}, MLMultiArrayDataType::int32)),
          tokenProbBacking_(MLMultiArray::create({1, 1, 1}, MLMultiArrayDataType::float32)),
          durationBacking_(MLMultiArray::create({1, 1, 1}, MLMultiArrayDataType::int32)),
          jointInput_(encoderStep_, decoderStep_),
          decoderOptions_(decoder.predictionOptions_),
          jointOptions_(decoder.predictionOptions_) {
        targetLength_->setValue(0, 1);
        encoderStepData_ = encoderStep_->data<float>();
        encoderDestinationStride_ = encoderStep_->strides()[1];
        decoderInput_ = MLDictionaryFeatureProvider({{kTargets, MLFeatureValue::featureValueWithMultiArray(targets_)},
                                                     {kTargetLength, MLFeatureValue::featureValueWithMultiArray(targetLength_)}});
        bindState();
        jointOptions_.outputBackings.clear();
        jointOptions_.outputBackings[kTokenId] = tokenIdBacking_;
        jointOptions_.outputBackings[kTokenProb] = tokenProbBacking_;
        jointOptions_.outputBackings[kDuration] = durationBacking_;
    }

    struct JointResult {
        int token = 0;
        float probability = 0;
        int duration = 0;
    };

    // Runs the Decoder on one token; the state's arrays take "h_out" and "c_out" in place.
    MLMultiArrayPtr runDecoder(int token) {
        targets_->data<std::int32_t>()[0] = token;
        auto output = compatPrediction(decoderModel_, decoderInput_, decoderOptions_);
        state_.update(*output);
        if (state_.hiddenState != boundHidden_ || state_.cellState != boundCell_) bindState();
        return requireMultiArray(*output, kDecoder, kInvalidDecoderOutput);
    }

    void setProjection(const MLMultiArray& projection) { prepareDecoderProjection(projection, *decoderStep_); }

    JointResult runJoint(int frame) {
        view_.copyFrame(frame, encoderStepData_, encoderDestinationStride_);
        auto output = compatPrediction(jointModel_, jointInput_, jointOptions_);
        const auto tokenId = requireMultiArray(*output, kTokenId, kMissingTokenId);
        const auto tokenProb = requireMultiArray(*output, kTokenProb, kMissingTokenProb);
        const auto duration = requireMultiArray(*output, kDuration, kMissingDuration);
        if (tokenId->count() != 1 || tokenProb->count() != 1 || duration->count() != 1) {
            throw ASRError::processingFailed("Joint decision returned unexpected tensor shapes");
        }
        JointResult result;
        result.token = intValue(*tokenId);
        result.probability = clampedProbability((*tokenProb)[0]);
        result.duration = decoder_.durationForBin(intValue(*duration));
        return result;
    }

    void emit(int token, int frame, float probability) {
        hypothesis_.ySequence.push_back(token);
        hypothesis_.timestamps.push_back(frame + globalFrameOffset_);
        hypothesis_.tokenConfidences.push_back(probability);
        hypothesis_.score += probability;
        hypothesis_.lastToken = token;
    }

    // The state after a Decoder run that followed the priming or an emission.
    void snapshot(const MLMultiArrayPtr& projection) {
        hypothesis_.decState = state_;
        hypothesis_.decState->predictorOutput = projection;
    }

private:
    void bindState() {
        decoderInput_.setValue(kHiddenIn, MLFeatureValue::featureValueWithMultiArray(state_.hiddenState));
        decoderInput_.setValue(kCellIn, MLFeatureValue::featureValueWithMultiArray(state_.cellState));
        decoderOptions_.outputBackings.clear();
        decoderOptions_.outputBackings[kHiddenOut] = state_.hiddenState;
        decoderOptions_.outputBackings[kCellOut] = state_.cellState;
        boundHidden_ = state_.hiddenState;
        boundCell_ = state_.cellState;
    }

    const TdtDecoderV3& decoder_;
    const TdtConfig& config_;
    const EncoderFrameView& view_;
    const MLModel& decoderModel_;
    const MLModel& jointModel_;
    TdtDecoderState& state_;
    TdtHypothesis& hypothesis_;
    const int globalFrameOffset_;

    MLMultiArrayPtr targets_;
    MLMultiArrayPtr targetLength_;
    MLMultiArrayPtr encoderStep_;
    MLMultiArrayPtr decoderStep_;
    MLMultiArrayPtr tokenIdBacking_;
    MLMultiArrayPtr tokenProbBacking_;
    MLMultiArrayPtr durationBacking_;
    float* encoderStepData_ = nullptr;
    std::int64_t encoderDestinationStride_ = 1;

    MLDictionaryFeatureProvider decoderInput_;
    ReusableJointInput jointInput_;
    MLPredictionOptions decoderOptions_;
    MLPredictionOptions jointOptions_;
    MLMultiArrayPtr boundHidden_;
    MLMultiArrayPtr boundCell_;
};

// ---------------------------------------------------------------------------------------------

TdtDecoderV3::TdtDecoderV3(AppLogger logger, TdtConfig config, MLPredictionOptions predictionOptions,
                           TdtModelShape shape)
    : logger_(std::move(logger)),
      config_(std::move(config)),
      predictionOptions_(std::move(predictionOptions)),
      shape_(shape) {
    config_.validate();
}

int TdtDecoderV3::startFrame(std::optional<int> timeJump, int startFrameAdjustment) noexcept {
    if (!timeJump) return std::max(0, startFrameAdjustment);
    if (*timeJump == 0 && startFrameAdjustment == 0) return 20;
    return std::max(0, *timeJump + startFrameAdjustment);
}

TdtHypothesis TdtDecoderV3::decode(const MLMultiArrayPtr& encoderOutput, int encoderLength, int audioFrameCount,
                                   const MLModel& decoderModel, const MLModel& jointModel,
                                   TdtDecoderState& decoderState, int startFrameAdjustment, bool isLastChunk,
                                   int globalFrameOffset) const {
    TdtHypothesis hypothesis;
    hypothesis.decState = decoderState;
    if (encoderLength < 2) return hypothesis;

    const EncoderFrameView view(encoderOutput, encoderLength, shape_.encoderHiddenSize);
    const int frames = std::min(encoderLength, audioFrameCount);  // E: usable frames
    const int lastFrame = frames - 1;                              // L
    int t = startFrame(decoderState.timeJump, startFrameAdjustment);
    if (t >= frames) return hypothesis;
    hypothesis.lastToken = decoderState.lastToken;

    // Room for every token the call may emit, so that no emission allocates.
    const auto capacity = static_cast<std::size_t>(config_.maxTokensPerChunk) +
                          (isLastChunk ? static_cast<std::size_t>(config_.maxSymbolsPerStep) : 0u);
    hypothesis.ySequence.reserve(capacity);
    hypothesis.timestamps.reserve(capacity);
    hypothesis.tokenConfidences.reserve(capacity);

    Pass pass(*this, view, decoderModel, jointModel, decoderState, hypothesis, globalFrameOffset);
    const int blank = config_.blankId;
    int tokensEmitted = 0;
    int emissionsAtFrame = 0;
    int lastEmissionFrame = -1;

    // The projection for the next joint step: the one handed over by the previous call, the
    // priming run's, or the one of the last emitted token.
    MLMultiArrayPtr projection = decoderState.predictorOutput;
    if (!decoderState.lastToken && !decoderState.predictorOutput) {
        TdtDecoderState::fill(*decoderState.hiddenState, 0.0);
        TdtDecoderState::fill(*decoderState.cellState, 0.0);
        projection = pass.runDecoder(blank);
        pass.snapshot(projection);
    }

    while (t < frames) {
        if (!projection) projection = pass.runDecoder(hypothesis.lastToken.value_or(blank));
        pass.setProjection(*projection);

        // Joint steps at t; blanks move on without a Decoder run.
        Pass::JointResult joint;
        int emissionFrame = t;
        bool active = true;
        do {
            joint = pass.runJoint(t);
            const int skip = (joint.token == blank && joint.duration < 2) ? 1 : joint.duration;
            emissionFrame = t;
            t += skip;
            active = t < frames;
        } while (active && joint.token == blank);
        if (joint.token == blank) break;

        // A token is emitted even when its duration carries t past the usable frames: its frame
        // lies inside them.
        if (++tokensEmitted > config_.maxTokensPerChunk) {
            // Not emitted: a following call on this state resumes at its frame.
            t = emissionFrame;
            if (logger_.isEnabled(AppLogger::Level::warning)) {
                logger_.warning("Stopped decoding at frame " + std::to_string(emissionFrame) + " of " +
                                std::to_string(frames) + ": maxTokensPerChunk (" +
                                std::to_string(config_.maxTokensPerChunk) + ") reached");
            }
            break;
        }
        pass.emit(joint.token, emissionFrame, joint.probability);
        projection = pass.runDecoder(joint.token);
        pass.snapshot(projection);

        // At most maxSymbolsPerStep tokens in a row at one frame; then the frame pointer is
        // forced past it (which ends the loop at the last frame).
        bool forced = false;
        if (emissionFrame == lastEmissionFrame) {
            forced = ++emissionsAtFrame >= config_.maxSymbolsPerStep;
        } else if (config_.maxSymbolsPerStep <= 1) {
            forced = true;
        } else {
            emissionsAtFrame = 1;
            lastEmissionFrame = emissionFrame;
        }
        if (forced) {
            emissionsAtFrame = 0;
            lastEmissionFrame = -1;
            t = std::max(t, emissionFrame + 1);
        }
    }
    const int stoppedAt = t;

    if (isLastChunk && config_.maxSymbolsPerStep >= 1) {
        const int usable = view.count;
        int blanks = 0;
        int u = t;
        for (int i = 0; i < config_.maxSymbolsPerStep && blanks < config_.consecutiveBlankLimit; ++i) {
            if (!projection) projection = pass.runDecoder(hypothesis.lastToken.value_or(blank));
            pass.setProjection(*projection);
            // The finishing frames cycle through the current frame, the last and the one before it.
            const int frame = i % 3 == 0   ? std::min(u, usable - 1)
                              : i % 3 == 1 ? std::min(lastFrame, usable - 1)
                                           : std::min(std::max(0, frames - 2), usable - 1);
            const auto joint = pass.runJoint(frame);
            if (joint.token != blank) {
                pass.emit(joint.token, std::min(u, lastFrame), joint.probability);
                projection = pass.runDecoder(joint.token);
                pass.snapshot(projection);
                blanks = 0;
            } else {
                ++blanks;
            }
            u = std::min(u + std::max(joint.duration, 1), frames);
        }
    }

    // Hand-over: the arrays already hold the last Decoder run; the projection of that run goes
    // with the last token so that the next call does not feed the token a second time.
    decoderState.lastToken = hypothesis.lastToken;
    decoderState.predictorOutput = projection;
    decoderState.timeJump = isLastChunk ? std::nullopt : std::optional<int>(stoppedAt - frames);
    return hypothesis;
}

void TdtDecoderV3::prepareDecoderProjection(const MLMultiArray& projection, MLMultiArray& decoderStep) {
    const auto& shape = projection.shape();
    if (shape.size() != 3) throw ASRError::processingFailed("Invalid decoder projection rank: " + shapeArrayText(shape));
    if (shape[0] != 1) {
        throw ASRError::processingFailed("Unsupported decoder batch dimension: " + std::to_string(shape[0]));
    }
    if (projection.dataType() != MLMultiArrayDataType::float32) {
        throw ASRError::processingFailed("Unsupported decoder projection type: " + dataTypeText(projection.dataType()));
    }
    const auto& stepShape = decoderStep.shape();
    if (decoderStep.dataType() != MLMultiArrayDataType::float32 || stepShape.size() != 3 || stepShape[0] != 1 ||
        stepShape[1] < 1 || !fitsInt32(stepShape[1]) || stepShape[2] != 1) {
        throw ASRError::processingFailed("Prepared decoder step shape mismatch: " + shapeDescription(decoderStep));
    }
    const std::int64_t width = stepShape[1];
    std::size_t hiddenAxis = 0;
    std::size_t timeAxis = 0;
    if (shape[2] == width) {
        hiddenAxis = 2;
        timeAxis = 1;
    } else if (shape[1] == width) {
        hiddenAxis = 1;
        timeAxis = 2;
    } else {
        throw ASRError::processingFailed("Decoder projection hidden size mismatch: " + shapeArrayText(shape));
    }
    if (shape[timeAxis] != 1) {
        throw ASRError::processingFailed("Decoder projection time axis must be 1: " + shapeArrayText(shape));
    }
    const std::int64_t destinationStride = decoderStep.strides()[1];
    if (!fitsInt32(destinationStride)) throw ASRError::processingFailed("Decoder destination stride out of range");

    const auto& strides = projection.strides();
    std::int64_t start = 0;
    for (const std::size_t axis : {std::size_t{0}, timeAxis}) {
        if (strides[axis] < 0) start += strides[axis] * (shape[axis] - 1);
    }
    const std::int64_t featureStride = strides[hiddenAxis];
    const std::int64_t reach = (width - 1) * featureStride;
    const std::int64_t lowest = start + std::min<std::int64_t>(0, reach);
    const std::int64_t highest = start + std::max<std::int64_t>(0, reach);
    // Bounds are those of the memory the array addresses, so padded layouts pass.
    if (lowest < 0 || highest > projection.physicalExtent() - 1) {
        throw ASRError::processingFailed("Decoder projection stride exceeds buffer bounds");
    }
    const float* source = projection.data<float>() + start;
    float* destination = decoderStep.data<float>();
    if (destinationStride == 1 && featureStride == 1) {
        if (source != destination) {
            std::memmove(destination, source, static_cast<std::size_t>(width) * sizeof(float));
        }
        return;
    }
    if (!fitsInt32(featureStride)) throw ASRError::processingFailed("Decoder projection stride out of range");
    cblas_scopy(static_cast<int>(width), source, static_cast<int>(featureStride), destination,
                static_cast<int>(destinationStride));
}

int TdtDecoderV3::durationForBin(int bin) const {
    if (bin < 0 || static_cast<std::size_t>(bin) >= config_.durationBins.size()) {
        throw ASRError::processingFailed("Duration bin index out of range: " + std::to_string(bin));
    }
    return config_.durationBins[static_cast<std::size_t>(bin)];
}

MLMultiArrayPtr TdtDecoderV3::requireMultiArray(const platform::MLFeatureProvider& output, const std::string& name,
                                                const std::string& message) {
    auto value = output.featureValueForName(name);
    if (!value || !value->multiArrayValue()) throw ASRError::processingFailed(message);
    return value->multiArrayValue();
}

std::string TdtDecoderV3::shapeDescription(const MLMultiArray& array) {
    std::string text;
    for (std::size_t i = 0; i < array.shape().size(); ++i) {
        if (i) text += "x";
        text += std::to_string(array.shape()[i]);
    }
    return text;
}

}  // namespace rarivoredu
