#pragma once

#include <cstdint>

namespace platform {

// Identifies a registered hot key in the events it produces: a four-character signature and a number.
struct EventHotKeyID {
    std::uint32_t signature = 0;
    std::uint32_t id = 0;

    friend bool operator==(const EventHotKeyID&, const EventHotKeyID&) = default;
};

// Builds a four-character code such as 'SSPK' without a multi-character literal.
constexpr std::uint32_t fourCharCode(const char (&code)[5]) {
    return (std::uint32_t(std::uint8_t(code[0])) << 24) | (std::uint32_t(std::uint8_t(code[1])) << 16) |
           (std::uint32_t(std::uint8_t(code[2])) << 8) | std::uint32_t(std::uint8_t(code[3]));
}

// Carbon modifier mask bits, the form in which hot keys are stored.
inline constexpr std::uint32_t cmdKey = 0x100;
inline constexpr std::uint32_t shiftKey = 0x200;
inline constexpr std::uint32_t optionKey = 0x800;
inline constexpr std::uint32_t controlKey = 0x1000;

// A registered system-wide hot key. Destroying it releases the registration.
class EventHotKey {
public:
    virtual ~EventHotKey();
    virtual EventHotKeyID hotKeyID() const = 0;

protected:
    EventHotKey() = default;
    EventHotKey(const EventHotKey&) = delete;
    EventHotKey& operator=(const EventHotKey&) = delete;
};

}  // namespace platform
