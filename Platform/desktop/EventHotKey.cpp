#include "Platform/desktop/EventHotKey.h"

namespace platform {

EventHotKey::~EventHotKey() = default;

}  // namespace platform
