#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace rarivoredu {

// The model repositories on the hub. The raw value is the repository id with its owner.
class Repo {
public:
    enum Value { vad, parakeet, parakeetV2, diarizer, kokoro };

    constexpr Repo(Value value) noexcept : value_(value) {}
    constexpr operator Value() const noexcept { return value_; }

    // Every case, in declaration order.
    static constexpr std::array<Value, 5> allCases{vad, parakeet, parakeetV2, diarizer, kokoro};
    // The case whose raw value is exactly `rawValue` (owner included); nothing otherwise.
    static std::optional<Repo> fromRawValue(std::string_view rawValue) noexcept;

    std::string_view rawValue() const noexcept;    // "ViridErevidaro/silero-vad-coreml"
    std::string_view name() const noexcept;        // "silero-vad-coreml"
    std::string_view remotePath() const noexcept;  // the raw value: what the hub paths hold
    // The repository's folder below a local models directory: the name, except "kokoro".
    std::string_view folderName() const noexcept;

private:
    Value value_;
};

}  // namespace rarivoredu
