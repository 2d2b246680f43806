#pragma once

#include <memory>

#include "Parloquin/hotkeys/ApplicationActivation.h"
#include "Parloquin/services/AlertPresenter.h"
#include "Platform/desktop/SMAppService.h"
#include "Platform/system/UserDefaults.h"

namespace parloquin {

class HistoryManager;
class HotkeyManager;
class StatisticsManager;
class TranscriptionService;

// What the main window hands to each page it builds: the shared stores and services, and the
// desktop the pages act on. The shell owns all of them for the life of the process.
struct PageContext {
    HistoryManager* historyManager = nullptr;
    StatisticsManager* statisticsManager = nullptr;
    TranscriptionService* transcriptionService = nullptr;
    HotkeyManager* hotkeyManager = nullptr;  // none until the speech models are ready

    platform::UserDefaults* defaults = nullptr;
    std::shared_ptr<AlertPresenter> alerts;
    std::shared_ptr<ApplicationActivation> application;
    std::shared_ptr<platform::SMAppService> loginItem;
};

}  // namespace parloquin
