#pragma once

#include "Platform/ml/MLDictionaryFeatureProvider.h"
#include "Platform/ml/MLMultiArray.h"
#include "Platform/ml/MLPredictionOptions.h"

namespace platform {

// Copies every logical element of `source` into `destination` (same shape), converting the
// element type and honouring both arrays' strides. Throws NSError when the shapes differ.
void copyMultiArray(const MLMultiArray& source, MLMultiArray& destination);

// A new contiguous array with the same shape, type and values.
MLMultiArrayPtr cloneMultiArray(const MLMultiArray& source);

// True when the memory the two arrays address overlaps.
bool memoryOverlaps(const MLMultiArray& a, const MLMultiArray& b) noexcept;

// Moves computed outputs into the options' backings: a backed output is copied into its backing
// and replaced by it in `outputs`. Outputs whose memory overlaps another output's backing are
// first set aside, so that no write destroys a value still to be copied.
void applyOutputBackings(MLDictionaryFeatureProvider::Dictionary& outputs, const MLPredictionOptions& options);

}  // namespace platform
