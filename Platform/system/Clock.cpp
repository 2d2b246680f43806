#include "Platform/system/Clock.h"

namespace platform {
namespace {

class SystemClock final : public Clock {
public:
    Date now() const override { return Date::now(); }
};

}  // namespace

std::shared_ptr<const Clock> Clock::system() {
    static const auto clock = std::make_shared<const SystemClock>();
    return clock;
}

}  // namespace platform
