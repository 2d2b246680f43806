#include "RarivOredu/shared/ModelLoadProgress.h"

namespace rarivoredu {
namespace {

thread_local const ModelLoadProgress::Handler* current = nullptr;

}  // namespace

ModelLoadProgress::Scope::Scope(Handler handler) : handler_(std::move(handler)), previous_(current) {
    current = &handler_;
}

ModelLoadProgress::Scope::~Scope() { current = previous_; }

void ModelLoadProgress::report(const ModelLoadProgress& progress) {
    if (current != nullptr && *current) (*current)(progress);
}

}  // namespace rarivoredu
