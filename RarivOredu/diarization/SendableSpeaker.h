#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Platform/system/Date.h"
#include "RarivOredu/diarization/Speaker.h"

namespace rarivoredu {

// An immutable snapshot of a speaker, free to hand to other threads.
struct SendableSpeaker {
    const std::int64_t id;
    const std::string name;
    const float duration;
    const std::vector<float> mainEmbedding;
    const platform::Date createdAt;
    const platform::Date updatedAt;

    SendableSpeaker(std::int64_t id, std::string name, float duration, std::vector<float> mainEmbedding,
                    platform::Date createdAt, platform::Date updatedAt);
    // Reads the speaker without a lock: the caller keeps others from changing it meanwhile. A
    // decimal id ("7", "+7", "-7") becomes that number; any other id the absolute value of the
    // text's hash (stable within one process only).
    explicit SendableSpeaker(const Speaker& speaker);

    // The name, or "Speaker #<id>" when it is empty.
    std::string displayName() const;

    bool operator==(const SendableSpeaker& other) const noexcept { return id == other.id && name == other.name; }
};

}  // namespace rarivoredu

template <>
struct std::hash<rarivoredu::SendableSpeaker> {
    std::size_t operator()(const rarivoredu::SendableSpeaker& speaker) const noexcept {
        return std::hash<std::int64_t>()(speaker.id);
    }
};
