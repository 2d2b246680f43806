#pragma once

#include <cstddef>
#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>

#include "Parloquin/services/JSONCoding.h"
#include "Platform/system/Data.h"
#include "Platform/system/Date.h"
#include "Platform/system/TimeZone.h"
#include "Platform/system/UUID.h"

namespace parloquin {

// One finished transcription, as the history keeps and exports it. A plain value: it is never
// changed once made and may be copied to any thread.
struct TranscriptionRecord {
    platform::UUID id;  // fresh for every record made
    std::string text;
    platform::Date timestamp;
    double duration = 0;          // seconds of audio
    std::int64_t charCount = 0;   // extended grapheme clusters of `text`, as the creator counted
    std::int64_t wordCount = 0;   // as the creator counted
    std::optional<std::string> language;
    std::optional<double> rtf;
    std::optional<double> inferenceTime;  // seconds

    bool operator==(const TranscriptionRecord&) const = default;

    // One SubRip cue from zero to the record's duration:
    // "1\n00:00:00,000 --> 00:00:04,300\n" + text + "\n". Blank lines inside the text would end
    // the cue early for every subtitle reader, so they are left out.
    std::string toSRT() const;
    // An RTF document: a bold title "Transkription vom " + the German long date and short time
    // in the given zone, a grey line of figures, then the text. Nothing when the text is not UTF-8.
    std::optional<platform::Data> toRTF(const platform::TimeZone& timeZone = platform::TimeZone::current()) const;

    // "HH:MM:SS,mmm", every part truncated toward zero. Negative or not-a-number input counts
    // as zero; times beyond the 64-bit range of seconds are held at its end.
    static std::string srtTimestamp(double seconds);

    // The record as a JSON object with the field names as keys; absent optional fields are left
    // out. Throws json_coding::EncodingError for a number that JSON cannot hold.
    nlohmann::json encode(json_coding::DateEncoding dateEncoding) const;
    // Throws json_coding::DecodingError when a required key is missing or a value has the
    // wrong type; dates are read as seconds since 2001.
    static TranscriptionRecord decode(const nlohmann::json& json);
};

}  // namespace parloquin

// Hashes every field in order; an optional field adds a presence flag before its value, and
// 0.0 and -0.0 hash alike.
template <>
struct std::hash<parloquin::TranscriptionRecord> {
    std::size_t operator()(const parloquin::TranscriptionRecord& record) const noexcept;
};
