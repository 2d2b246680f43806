#pragma once

#include <memory>

#include "Platform/system/Date.h"

namespace platform {

// Where "now" comes from. Stores take one so that tests can set the time.
class Clock {
public:
    virtual ~Clock() = default;
    virtual Date now() const = 0;

    // The system's wall clock.
    static std::shared_ptr<const Clock> system();
};

}  // namespace platform
