#pragma once

#include <cstdint>
#include <functional>

#include "Platform/desktop/EventHotKey.h"
#include "Platform/desktop/OSStatus.h"

namespace platform {

inline constexpr std::uint32_t kEventClassKeyboard = fourCharCode("keyb");
inline constexpr std::uint32_t kEventHotKeyPressed = 5;
inline constexpr std::uint32_t kEventHotKeyReleased = 6;

// One kind of event a handler wants: class and kind.
struct EventTypeSpec {
    std::uint32_t eventClass = 0;
    std::uint32_t eventKind = 0;
};

// A hot key went down (kEventHotKeyPressed) or up (kEventHotKeyReleased).
struct HotKeyEvent {
    std::uint32_t eventKind = 0;
    EventHotKeyID hotKeyID;
};

using EventHandlerProc = std::function<OSStatus(const HotKeyEvent&)>;

// An installed event handler. Destroying it removes the handler.
class EventHandler {
public:
    virtual ~EventHandler();

protected:
    EventHandler() = default;
    EventHandler(const EventHandler&) = delete;
    EventHandler& operator=(const EventHandler&) = delete;
};

}  // namespace platform
