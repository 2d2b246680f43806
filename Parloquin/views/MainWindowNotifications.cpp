#include "Parloquin/views/MainWindowNotifications.h"

namespace parloquin {

MainWindowNotifications* MainWindowNotifications::defaultCenter() {
    static MainWindowNotifications center;
    return &center;
}

}  // namespace parloquin
