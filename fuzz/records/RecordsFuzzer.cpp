// The stored history (a JSON array of transcription records) and statistics (a JSON object), as
// the user defaults hold them: decoded, exported (JSON, SubRip, RTF), and a recording added to
// the statistics. Input: the history, then the statistics, cut by the separator.
#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Parloquin/services/JSONCoding.h"
#include "Parloquin/services/SessionStatistics.h"
#include "Parloquin/services/TranscriptionRecord.h"
#include "Platform/system/Calendar.h"
#include "Platform/system/TimeZone.h"
#include "fuzz/support/FuzzInput.h"

using namespace parloquin;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::quietLogs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto parts = fuzzsupport::split(data, size, 2);
    const auto history = nlohmann::json::parse(parts[0], nullptr, false);
    if (history.is_array()) {
        for (const auto& item : history) {
            try {
                const auto record = TranscriptionRecord::decode(item);
                (void)record.toSRT();
                (void)record.toRTF(platform::TimeZone::utc());
                try {
                    (void)record.encode(json_coding::DateEncoding::iso8601).dump();
                    (void)record.encode(json_coding::DateEncoding::secondsSinceReferenceDate).dump();
                } catch (const json_coding::EncodingError&) {
                }
            } catch (const json_coding::DecodingError&) {
            }
        }
    }
    const auto statistics = nlohmann::json::parse(parts[1], nullptr, false);
    try {
        std::vector<std::string> unreadable;
        SessionStatistics s = SessionStatistics::decode(statistics, &unreadable);
        const auto calendar = platform::Calendar(platform::TimeZone::utc());
        const platform::Date now = s.lastUse ? *s.lastUse : platform::Date();
        s.record(1 << 20, 1 << 18, std::string("de"), 0.5, 1.5, 60.0, now, calendar);
        (void)s.languagePercentages();
        (void)s.averageDuration();
        (void)s.averageWords();
        (void)s.wordsPerMinute();
        (void)s.typingTimeSaved();
        (void)s.productivityBoost();
        (void)s.averageRTF();
        (void)s.averageInferenceTime();
        (void)s.daysSinceFirstUse(now, calendar);
        try {
            (void)s.encode(json_coding::DateEncoding::iso8601).dump();
        } catch (const json_coding::EncodingError&) {
        }
    } catch (const json_coding::DecodingError&) {
    }
    return 0;
}
