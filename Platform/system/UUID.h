#pragma once

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// A 128-bit universally unique identifier.
class UUID {
public:
    using Bytes = std::array<std::uint8_t, 16>;

    // A fresh random (version 4) identifier.
    UUID();
    explicit UUID(const Bytes& bytes) : bytes_(bytes) {}

    // Reads the canonical text, 32 hexadecimal digits in groups 8-4-4-4-12, in either case.
    static std::optional<UUID> fromString(std::string_view text);

    // The canonical text in upper case: "E621E1F8-C36C-495A-93FC-0C247A3E6E5F".
    std::string uuidString() const;
    const Bytes& bytes() const { return bytes_; }

    auto operator<=>(const UUID&) const = default;

private:
    Bytes bytes_;
};

}  // namespace platform

template <>
struct std::hash<platform::UUID> {
    std::size_t operator()(const platform::UUID& uuid) const noexcept;
};
