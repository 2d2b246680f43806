#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Platform/desktop/EventHandler.h"
#include "Platform/desktop/EventHotKey.h"
#include "Platform/desktop/OSStatus.h"

namespace platform {

// The application's target for system-wide hot keys. Handlers installed here receive the press and
// release of every hot key registered here, on the main thread. A hot key held down is reported once:
// key auto-repeat never produces another press.
class EventTarget {
public:
    virtual ~EventTarget() = default;

    // Installs a handler for the given event kinds. On success *outRef owns the installation.
    virtual OSStatus installEventHandler(std::vector<EventTypeSpec> types, EventHandlerProc handler,
                                         std::unique_ptr<EventHandler>* outRef) = 0;

    // Registers keyCode (a virtual key code) with a Carbon modifier mask. The answer is final:
    // a combination already taken is refused here, never reported later.
    virtual OSStatus registerEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers, EventHotKeyID hotKeyID,
                                         std::unique_ptr<EventHotKey>* outRef) = 0;
};

}  // namespace platform
