#include "Platform/system/Progress.h"

namespace platform {
namespace {

thread_local const Progress::Handler* currentHandler = nullptr;

}  // namespace

void Progress::report(std::int64_t completedUnitCount, std::int64_t totalUnitCount) {
    if (currentHandler != nullptr && *currentHandler) (*currentHandler)(completedUnitCount, totalUnitCount);
}

Progress::Scope::Scope(Handler handler) : handler_(std::move(handler)), previous_(currentHandler) {
    currentHandler = &handler_;
}

Progress::Scope::~Scope() { currentHandler = previous_; }

}  // namespace platform
