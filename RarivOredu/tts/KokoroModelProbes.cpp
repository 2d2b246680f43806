#include "RarivOredu/tts/KokoroModelProbes.h"

#include <limits>

namespace rarivoredu::KokoroSynthesizer {
namespace {

int lastDimension(const platform::MLModel& model, const char* input, int fallback) noexcept {
    const auto* description = model.modelDescription().input(input);
    if (description == nullptr || !description->multiArrayConstraint) return fallback;
    const auto& shape = description->multiArrayConstraint->shape;
    if (shape.size() < 2) return fallback;
    const std::int64_t last = shape.back();
    if (last <= 0 || last > std::numeric_limits<int>::max()) return fallback;
    return static_cast<int>(last);
}

}  // namespace

int inputIdsCapacity(const platform::MLModel& model) noexcept { return lastDimension(model, "input_ids", 124); }

int refSDimension(const platform::MLModel& model) noexcept { return lastDimension(model, "ref_s", 256); }

}  // namespace rarivoredu::KokoroSynthesizer
