#include "Platform/log/JournalLogReader.h"

#include <systemd/sd-journal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string_view>

#include "Platform/log/OSLogType.h"
#include "Platform/log/RecentLogEntries.h"

namespace platform {
namespace {

// The value of a field of the current entry, or empty.
std::string field(sd_journal* journal, const char* name) {
    const void* data = nullptr;
    std::size_t length = 0;
    if (sd_journal_get_data(journal, name, &data, &length) < 0) return {};
    const std::string_view text(static_cast<const char*>(data), length);
    const std::size_t equals = text.find('=');
    return equals == std::string_view::npos ? std::string() : std::string(text.substr(equals + 1));
}

// The journal's priority back as the type that was logged.
OSLogType typeOfPriority(const std::string& priority) {
    for (int t = 0; t <= static_cast<int>(OSLogType::fault); ++t)
        if (std::to_string(journalPriority(static_cast<OSLogType>(t))) == priority) return static_cast<OSLogType>(t);
    return OSLogType::defaultType;
}

}  // namespace

std::optional<std::vector<std::string>> JournalLogReader::recentLines(const std::vector<std::string>& subsystems,
                                                                      std::size_t count) {
    if (::access("/run/systemd/journal/socket", W_OK) != 0) return std::nullopt;
    sd_journal* journal = nullptr;
    if (sd_journal_open(&journal, SD_JOURNAL_LOCAL_ONLY) < 0) return std::nullopt;
    for (std::size_t i = 0; i < subsystems.size(); ++i) {
        if (i > 0) sd_journal_add_disjunction(journal);
        const std::string match = "SUBSYSTEM=" + subsystems[i];
        sd_journal_add_match(journal, match.c_str(), match.size());
    }
    std::vector<std::string> lines;
    if (sd_journal_seek_tail(journal) >= 0) {
        while (lines.size() < count && sd_journal_previous(journal) > 0) {
            std::uint64_t microseconds = 0;
            sd_journal_get_realtime_usec(journal, &microseconds);
            const LogEntry entry{typeOfPriority(field(journal, "PRIORITY")), field(journal, "SUBSYSTEM"),
                                 field(journal, "CATEGORY"), field(journal, "MESSAGE")};
            const auto time = std::chrono::system_clock::time_point(
                std::chrono::duration_cast<std::chrono::system_clock::duration>(std::chrono::microseconds(microseconds)));
            lines.push_back(RecentLogEntries::line(entry, time));
        }
    }
    sd_journal_close(journal);
    std::reverse(lines.begin(), lines.end());
    return lines;
}

}  // namespace platform
