#pragma once

#include <cstdint>

namespace platform {

// Result code of the hot-key and event services: 0 is success, negative values are errors.
using OSStatus = std::int32_t;

inline constexpr OSStatus noErr = 0;
inline constexpr OSStatus paramErr = -50;                 // a key code or modifier that cannot be grabbed
inline constexpr OSStatus eventInternalErr = -9868;       // no X server to talk to
inline constexpr OSStatus eventHotKeyExistsErr = -9878;   // the combination is taken (here or by another client)
inline constexpr OSStatus eventHotKeyInvalidErr = -9879;  // the server refused the grab for another reason

}  // namespace platform
