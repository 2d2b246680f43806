#include "Platform/desktop/EventHandler.h"

namespace platform {

EventHandler::~EventHandler() = default;

}  // namespace platform
