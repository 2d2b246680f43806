#pragma once

#include <cstdint>
#include <optional>

namespace rarivoredu {

// A start or end of speech found by the streaming detector.
struct VadStreamEvent {
    enum class Kind { speechStart, speechEnd };

    Kind kind = Kind::speechStart;
    std::int64_t sampleIndex = 0;  // position in the stream, in samples
    std::optional<double> time;    // the position in seconds, when asked for

    bool isStart() const noexcept { return kind == Kind::speechStart; }
    bool isEnd() const noexcept { return kind == Kind::speechEnd; }

    bool operator==(const VadStreamEvent&) const = default;
};

}  // namespace rarivoredu
