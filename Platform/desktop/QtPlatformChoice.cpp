#include "Platform/desktop/QtPlatformChoice.h"

#include <cstdlib>

#include "Platform/desktop/wayland/WaylandConnection.h"

namespace platform {
namespace {

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

}  // namespace

std::optional<std::string> QtPlatformChoice::preferred() {
    if (isSet("QT_QPA_PLATFORM") || !isSet("WAYLAND_DISPLAY") || !isSet("DISPLAY")) return std::nullopt;
    const auto connection = WaylandConnection::open();
    if (!connection || connection->version("zwlr_layer_shell_v1") > 0) return std::nullopt;
    return std::string("xcb");
}

}  // namespace platform
