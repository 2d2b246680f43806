#pragma once

#include <optional>

#include "Platform/ml/MLFeatureProvider.h"
#include "Platform/ml/MLMultiArray.h"

namespace rarivoredu {

// The prediction network's recurrent state and what one decoding call hands to the next.
// The two arrays are shared: copies of a state refer to the same arrays, and the decoder writes
// into them in place.
struct TdtDecoderState {
    // [layers, 1, width] float32 ([2, 1, 640] for the 0.6B models)
    platform::MLMultiArrayPtr hiddenState;  // fed as "h_in", refreshed from "h_out"
    platform::MLMultiArrayPtr cellState;    // fed as "c_in", refreshed from "c_out"
    // The last non-blank token emitted on this stream.
    std::optional<int> lastToken;
    // The Decoder's "decoder" output for lastToken (or for the priming blank), which a following
    // call uses as its first projection instead of running the Decoder again.
    platform::MLMultiArrayPtr predictorOutput;
    // How many frames the previous call's frame pointer ended beyond that call's usable frames
    // (may be 0 or negative); absent at the start of a stream and after a last chunk.
    std::optional<int> timeJump;

    // A fresh state: two zero-filled aligned arrays, nothing carried. Stops the program with
    // "Failed to allocate decoder state: " and the error when the arrays cannot be allocated.
    TdtDecoderState();
    // The same, passing an allocation failure to the caller.
    static TdtDecoderState make();
    // A fresh state for a prediction network of other widths.
    static TdtDecoderState make(int layers, int width);

    // Takes "h_out" and "c_out" of a Decoder output as the state's arrays; a missing or
    // non-array output leaves that array as it was.
    void update(const platform::MLFeatureProvider& decoderOutput);

    // Writes one number into every element of an array.
    static void fill(platform::MLMultiArray& array, double value) noexcept;
    // Copies one array into another with the same element count.
    static void copyArray(const platform::MLMultiArray& source, platform::MLMultiArray& destination) noexcept;

private:
    struct Unallocated {};
    explicit TdtDecoderState(Unallocated) {}
};

}  // namespace rarivoredu
