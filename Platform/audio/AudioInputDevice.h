#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// An audio input of the machine as the sound server lists it (monitors of outputs are not inputs).
struct AudioInputDevice {
    std::uint32_t id = 0;   // the server's index of the input; a new one each time it appears
    std::string uid;        // the persistent name of the input, the same across restarts
    std::optional<std::string> name;          // what the user sees
    std::optional<std::string> manufacturer;  // the vendor, when the device reports one

    bool operator==(const AudioInputDevice&) const = default;
};

}  // namespace platform
