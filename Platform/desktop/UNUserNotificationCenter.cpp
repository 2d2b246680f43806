#include "Platform/desktop/UNUserNotificationCenter.h"

#include "Platform/desktop/FreedesktopNotificationCenter.h"

namespace platform {

std::shared_ptr<UNUserNotificationCenter> UNUserNotificationCenter::current() {
    static std::shared_ptr<UNUserNotificationCenter> center = std::make_shared<FreedesktopNotificationCenter>();
    return center;
}

}  // namespace platform
