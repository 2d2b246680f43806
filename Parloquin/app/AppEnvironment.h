#pragma once

#include <functional>
#include <memory>
#include <string>

#include "Parloquin/hotkeys/ApplicationActivation.h"
#include "Parloquin/hotkeys/HotkeyEnvironment.h"
#include "Parloquin/services/AlertPresenter.h"
#include "Parloquin/services/TranscriptionSink.h"
#include "Parloquin/services/TranscriptionStores.h"
#include "Platform/desktop/NSPasteboard.h"
#include "Platform/desktop/SMAppService.h"
#include "Platform/desktop/UNUserNotificationCenter.h"
#include "Platform/system/Clock.h"
#include "Platform/system/UserDefaults.h"

namespace parloquin {

class TranscriptionService;

// Everything outside the shell that it talks to.
struct AppEnvironment {
    platform::UserDefaults* defaults = nullptr;
    std::shared_ptr<platform::UNUserNotificationCenter> notifications;
    std::shared_ptr<AlertPresenter> alerts;
    std::shared_ptr<platform::NSPasteboard> pasteboard;
    std::shared_ptr<ApplicationActivation> application;
    std::shared_ptr<const platform::Clock> clock;
    // Starts the program at login; switched on the general page.
    std::shared_ptr<platform::SMAppService> loginItem;
    // Made when the models are ready and the hotkey manager is created.
    std::function<HotkeyEnvironment()> hotkeyEnvironment;
    // Plays a short sound of the desktop's sound theme, by its name. Optional: without it, silence.
    std::function<void(const std::string& soundName)> playSound;
    // Whether the desktop shows tray icons. Optional: without it, a tray is taken to be there.
    std::function<bool()> systemTrayAvailable;
    // Makes the dictation service on the main thread, writing into the sink; its models are not
    // yet loaded.
    std::function<std::unique_ptr<TranscriptionService>(std::shared_ptr<TranscriptionSink> sink)>
        makeTranscriptionService;
    // The history and the statistics, owned here for the life of the process; made from the
    // defaults and the clock on first use when none were given.
    std::shared_ptr<TranscriptionStores> stores;
    TranscriptionStores& transcriptionStores();

    // The desktop's services: the user's defaults, the session's notification service, message
    // boxes, the clipboard, X11 hotkeys, the sound theme, and the dictation service with the
    // recording overlay.
    static AppEnvironment system();
};

}  // namespace parloquin
