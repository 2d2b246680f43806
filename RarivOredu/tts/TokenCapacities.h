#pragma once

#include "RarivOredu/shared/ModelNames.h"

namespace rarivoredu::KokoroSynthesizer {

// The token capacities (length of the token-id input) of the two model variants.
struct TokenCapacities {
    int shortCapacity = 0;  // of the 5-second variant
    int longCapacity = 0;   // of the 15-second variant

    // longCapacity for the 15-second variant, shortCapacity for any other.
    int capacity(ModelNames::TTS::Variant variant) const noexcept {
        return variant == ModelNames::TTS::Variant::fifteenSecond ? longCapacity : shortCapacity;
    }

    friend bool operator==(const TokenCapacities&, const TokenCapacities&) = default;
};

}  // namespace rarivoredu::KokoroSynthesizer
