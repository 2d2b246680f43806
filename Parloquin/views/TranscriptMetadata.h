#pragma once

#include <string>
#include <vector>

#include "Parloquin/services/TranscriptionRecord.h"
#include "Platform/system/TimeZone.h"

namespace parloquin {

// The label and value lines of the detail sheet of one transcript, without its widgets: date,
// duration, counts, language, speaking speed, time saved against typing, real-time factor and
// inference time. Lines whose value the record lacks are left out.
struct TranscriptMetadata {
    struct Row {
        std::string label;
        std::string value;
        bool operator==(const Row&) const = default;
    };

    // The date in the locale's medium style with a short time ("08.12.2026, 02:52" for de_DE).
    static std::vector<Row> rows(const TranscriptionRecord& record, const std::string& localeIdentifier,
                                 const platform::TimeZone& timeZone);
};

}  // namespace parloquin
