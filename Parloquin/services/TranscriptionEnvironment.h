#pragma once

#include <functional>
#include <memory>

#include "Parloquin/services/AlertPresenter.h"
#include "Parloquin/services/RecordingOverlayWindow.h"
#include "Parloquin/services/TranscriptionSink.h"
#include "Platform/audio/AudioHardware.h"
#include "Platform/system/Clock.h"
#include "Platform/system/UserDefaults.h"

namespace parloquin {

// What the dictation service works with besides its recogniser. Every member may be left empty;
// the service then takes the system's own (user defaults, the sound server, the wall clock) or
// does without (no overlay, no alert, nothing stored).
struct TranscriptionEnvironment {
    platform::UserDefaults* defaults = nullptr;
    std::shared_ptr<platform::AudioHardware> audioHardware;
    std::shared_ptr<const platform::Clock> clock;
    // The window shown while recording; the application's.
    RecordingOverlayFactory makeRecordingOverlay;
    // Shows the one-time guidance when no way to paste works in this session.
    std::shared_ptr<AlertPresenter> alerts;
    // Keeps what was transcribed (the history and the statistics); the composition root's stores.
    std::shared_ptr<TranscriptionSink> sink;
};

}  // namespace parloquin
