#pragma once

#include <optional>

#include "RarivOredu/shared/ModelLoadProgress.h"
#include "rarivoredu/Progress.h"

namespace rarivoredu::api {

// While it lives, the model setup's progress on this thread goes to a public handler.
class ProgressRelay {
public:
    explicit ProgressRelay(const ProgressHandler& handler);

private:
    std::optional<ModelLoadProgress::Scope> scope_;
};

}  // namespace rarivoredu::api
