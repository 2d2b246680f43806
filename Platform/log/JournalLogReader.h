#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// Reads back what JournalLogSink wrote: the newest journal entries of the given subsystems (this
// run's and earlier ones'), oldest first, in the lines of RecentLogEntries. Nothing where no journal
// runs (the entries then went to standard error) or it cannot be opened.
class JournalLogReader {
public:
    static std::optional<std::vector<std::string>> recentLines(const std::vector<std::string>& subsystems,
                                                               std::size_t count);
};

}  // namespace platform
