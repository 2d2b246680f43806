#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "Platform/log/Logger.h"

namespace platform {

using OSSignpostID = std::uint64_t;

// Marks intervals of work for profiling. There is no signpost facility in the Linux system log,
// so an interval's begin and end become debug entries of the signposter's subsystem and category
// ("<name> begin id=<n>", "<name> end id=<n>"). With debug entries off nothing is built or written.
class OSSignposter {
public:
    OSSignposter(std::string subsystem, std::string category);

    // A new identifier, unique in the process.
    OSSignpostID makeSignpostID() noexcept;
    bool isEnabled() const noexcept { return Logger::isEnabled(OSLogType::debug); }

    void beginInterval(std::string_view name, OSSignpostID id) const;
    void endInterval(std::string_view name, OSSignpostID id) const;

private:
    void mark(std::string_view name, std::string_view edge, OSSignpostID id) const;

    Logger logger_;
    static std::atomic<OSSignpostID> nextId_;
};

}  // namespace platform
