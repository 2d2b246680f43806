#include "Parloquin/services/TranscriptionRecord.h"

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string_view>
#include <vector>

#include "Parloquin/services/RTFWriter.h"
#include "Platform/system/DateFormatter.h"
#include "Platform/text/NumberFormat.h"

namespace parloquin {
namespace {

bool isBlankLine(std::string_view line) {
    return line.find_first_not_of(" \t\r\v\f") == std::string_view::npos;
}

// The text with every line that holds nothing but white space removed.
std::string foldBlankLines(std::string_view text) {
    std::string folded;
    folded.reserve(text.size());
    bool first = true;
    while (true) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        if (!isBlankLine(line)) {
            if (!first) folded += '\n';
            folded += line;
            first = false;
        }
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return folded;
}

void hashCombine(std::size_t& seed, std::size_t value) {
    seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
}

std::size_t hashDouble(double value) { return std::hash<double>{}(value == 0.0 ? 0.0 : value); }

}  // namespace

std::string TranscriptionRecord::srtTimestamp(double seconds) {
    // Whole milliseconds first, then split: 4.3 s is 4300 ms, not 4 s + 0.2999… × 1000 = 299 ms.
    constexpr double kMaxSeconds = 9.0e15;  // its milliseconds still fit in 64 bits
    if (!(seconds > 0)) seconds = 0;
    if (seconds > kMaxSeconds) seconds = kMaxSeconds;
    const auto whole = static_cast<std::int64_t>(seconds);
    std::int64_t milliseconds = static_cast<std::int64_t>(seconds * 1000.0) - whole * 1000;
    if (milliseconds < 0) milliseconds = 0;
    if (milliseconds > 999) milliseconds = 999;  // the product rounded up to the next second
    char text[64];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld,%03lld", static_cast<long long>(whole / 3600),
                  static_cast<long long>(whole % 3600 / 60), static_cast<long long>(whole % 60),
                  static_cast<long long>(milliseconds));
    return text;
}

std::string TranscriptionRecord::toSRT() const {
    return "1\n00:00:00,000 --> " + srtTimestamp(duration) + "\n" + foldBlankLines(text) + "\n";
}

std::optional<platform::Data> TranscriptionRecord::toRTF(const platform::TimeZone& timeZone) const {
    const platform::DateFormatter formatter("de_DE", platform::DateFormatter::Style::longStyle,
                                            platform::DateFormatter::Style::shortStyle, timeZone);
    const auto dateText = formatter.string(timestamp);
    if (!dateText) return std::nullopt;
    const std::string title = "Transkription vom " + *dateText;
    const std::string metadata = "Dauer: " + platform::formatFixed(duration, 1) +
                                 "s | Wörter: " + std::to_string(wordCount) +
                                 " | Zeichen: " + std::to_string(charCount);
    const std::vector<RTFWriter::Run> runs = {
        {title, RTFWriter::Font{14, true, false}},
        {"\n", std::nullopt},
        {metadata, RTFWriter::Font{11, false, true}},
        {"\n\n", std::nullopt},
        {text, RTFWriter::Font{13, false, false}},
    };
    return RTFWriter::document(runs);
}

nlohmann::json TranscriptionRecord::encode(json_coding::DateEncoding dateEncoding) const {
    using namespace json_coding;
    nlohmann::json json = nlohmann::json::object();
    json["id"] = id.uuidString();
    json["text"] = text;
    json["timestamp"] = encodeDate(timestamp, dateEncoding);
    json["duration"] = encodeDouble(duration);
    json["charCount"] = charCount;
    json["wordCount"] = wordCount;
    if (language) json["language"] = *language;
    if (rtf) json["rtf"] = encodeDouble(*rtf);
    if (inferenceTime) json["inferenceTime"] = encodeDouble(*inferenceTime);
    return json;
}

TranscriptionRecord TranscriptionRecord::decode(const nlohmann::json& json) {
    using namespace json_coding;
    const auto fields = reader(json, "a transcription record");
    TranscriptionRecord record;
    record.id = fields.uuid("id");
    record.text = fields.string("text");
    record.timestamp = fields.date("timestamp");
    record.duration = fields.number("duration");
    record.charCount = fields.integer("charCount");
    record.wordCount = fields.integer("wordCount");
    if (auto* value = fields.optionalMember("language")) record.language = fields.string(*value, "language");
    if (auto* value = fields.optionalMember("rtf")) record.rtf = fields.number(*value, "rtf");
    if (auto* value = fields.optionalMember("inferenceTime")) {
        record.inferenceTime = fields.number(*value, "inferenceTime");
    }
    return record;
}

}  // namespace parloquin

std::size_t std::hash<parloquin::TranscriptionRecord>::operator()(
    const parloquin::TranscriptionRecord& record) const noexcept {
    std::size_t seed = 0;
    parloquin::hashCombine(seed, std::hash<platform::UUID>{}(record.id));
    parloquin::hashCombine(seed, std::hash<std::string>{}(record.text));
    parloquin::hashCombine(seed, parloquin::hashDouble(record.timestamp.timeIntervalSinceReferenceDate()));
    parloquin::hashCombine(seed, parloquin::hashDouble(record.duration));
    parloquin::hashCombine(seed, std::hash<std::int64_t>{}(record.charCount));
    parloquin::hashCombine(seed, std::hash<std::int64_t>{}(record.wordCount));
    parloquin::hashCombine(seed, record.language ? 1 : 0);
    if (record.language) parloquin::hashCombine(seed, std::hash<std::string>{}(*record.language));
    parloquin::hashCombine(seed, record.rtf ? 1 : 0);
    if (record.rtf) parloquin::hashCombine(seed, parloquin::hashDouble(*record.rtf));
    parloquin::hashCombine(seed, record.inferenceTime ? 1 : 0);
    if (record.inferenceTime) parloquin::hashCombine(seed, parloquin::hashDouble(*record.inferenceTime));
    return seed;
}
