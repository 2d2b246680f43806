#pragma once

#include <vector>

#include "Parloquin/views/SheetView.h"
#include "Parloquin/views/SystemInfoRow.h"
#include "Platform/system/HostDescription.h"

namespace parloquin {

// The sheet "Systeminformationen": five facts about the machine, as they were when it opened.
class SystemInfoView : public SheetView {
public:
    explicit SystemInfoView(const platform::HostDescription& host, QWidget* parent = nullptr);

    // Device, operating system, processors, memory, uptime.
    static std::vector<SystemInfoRow> rows(const platform::HostDescription& host);
};

}  // namespace parloquin
