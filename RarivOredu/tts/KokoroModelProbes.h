#pragma once

#include "Platform/ml/MLModel.h"

namespace rarivoredu::KokoroSynthesizer {

// What a loaded model's own input description says about its sizes.

// Tokens per prediction: the last dimension of the "input_ids" shape; 124 when the input, its
// shape (of at least two dimensions) or a positive last dimension is missing.
int inputIdsCapacity(const platform::MLModel& model) noexcept;
// Length of the voice style input: the last dimension of the "ref_s" shape; 256 when the input,
// its shape (of at least two dimensions) or a positive last dimension is missing.
int refSDimension(const platform::MLModel& model) noexcept;

}  // namespace rarivoredu::KokoroSynthesizer
