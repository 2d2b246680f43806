#include "Platform/system/CancellationToken.h"

#include "Platform/system/CocoaError.h"

namespace platform {
namespace {

thread_local const std::atomic<bool>* currentFlag = nullptr;

}  // namespace

CancellationToken::CancellationToken() : cancelled_(std::make_shared<std::atomic<bool>>(false)) {}

bool CancellationToken::currentIsCancelled() noexcept {
    return currentFlag != nullptr && currentFlag->load(std::memory_order_acquire);
}

void CancellationToken::checkCancellation() {
    if (currentIsCancelled()) throw CocoaError::make(CocoaError::userCancelled, "The operation was cancelled.");
}

CancellationToken::Scope::Scope(CancellationToken token) noexcept : token_(std::move(token)), previous_(currentFlag) {
    currentFlag = token_.cancelled_.get();
}

CancellationToken::Scope::~Scope() { currentFlag = previous_; }

}  // namespace platform
