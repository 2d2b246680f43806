#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace parloquin {

// One audio input of the machine, as the audio settings list it.
struct AudioDevice {
    std::uint32_t id = 0;  // the sound server's index of the input; identity in lists
    std::string name;
    std::string manufacturer;  // "Unknown" when the device names none
    bool isDefault = false;    // the system's default input when the list was made
    std::string uid;           // the persistent identifier, kept to restore the choice

    bool operator==(const AudioDevice&) const = default;
};

}  // namespace parloquin

// Hashes every field in order.
template <>
struct std::hash<parloquin::AudioDevice> {
    std::size_t operator()(const parloquin::AudioDevice& device) const noexcept;
};
