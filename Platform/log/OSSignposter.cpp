#include "Platform/log/OSSignposter.h"

namespace platform {

std::atomic<OSSignpostID> OSSignposter::nextId_{1};

OSSignposter::OSSignposter(std::string subsystem, std::string category)
    : logger_(std::move(subsystem), std::move(category)) {}

OSSignpostID OSSignposter::makeSignpostID() noexcept { return nextId_.fetch_add(1, std::memory_order_relaxed); }

void OSSignposter::beginInterval(std::string_view name, OSSignpostID id) const { mark(name, "begin", id); }

void OSSignposter::endInterval(std::string_view name, OSSignpostID id) const { mark(name, "end", id); }

void OSSignposter::mark(std::string_view name, std::string_view edge, OSSignpostID id) const {
    if (!isEnabled()) return;
    std::string text(name);
    text += ' ';
    text += edge;
    text += " id=";
    text += std::to_string(id);
    logger_.log(OSLogType::debug, text);
}

}  // namespace platform
