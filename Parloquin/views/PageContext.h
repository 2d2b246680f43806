#pragma once

#include <memory>

#include "Parloquin/hotkeys/ApplicationActivation.h"
#include "Parloquin/services/AlertPresenter.h"
#include "Parloquin/views/FileChooser.h"
#include "Platform/desktop/ApplicationFocus.h"
#include "Platform/desktop/SMAppService.h"
#include "Platform/system/Clock.h"
#include "Platform/system/UserDefaults.h"

namespace platform {
class AudioHardware;
class NSWorkspace;
}  // namespace platform

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
    // Those a page takes from the desktop when none is given: the sound server (the dictation
    // service's), the desktop's programs for addresses and folders, its file dialogs; the other
    // applications' windows.
    std::shared_ptr<platform::AudioHardware> audioHardware;
    std::shared_ptr<platform::NSWorkspace> workspace;
    std::shared_ptr<FileChooser> files;
    std::shared_ptr<platform::ApplicationFocus> applicationFocus;
    // Where "now" comes from for texts such as "vor 2 Minuten"; none: the system's clock.
    std::shared_ptr<const platform::Clock> clock;
};

}  // namespace parloquin
