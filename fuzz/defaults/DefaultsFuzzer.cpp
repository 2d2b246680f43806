// The settings file (defaults.json): read at start, every value looked up, a change written back
// (the file is serialised again with what it held), then the file edited by someone else and read
// again.
#include <cstddef>
#include <cstdint>
#include <string>

#include "Platform/system/UserDefaults.h"
#include "fuzz/support/FuzzInput.h"

using namespace platform;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::quietLogs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzsupport::clearScratch();
    const auto parts = fuzzsupport::split(data, size, 2);
    const auto path = fuzzsupport::writeScratch("Parloquin/defaults.json", parts[0]);
    UserDefaults defaults(path);
    for (const char* key : {"recordingMode", "primaryHotkeyKeyCode", "TranscriptionHistory", "SessionStatistics", ""}) {
        (void)defaults.object(key);
        (void)defaults.boolForKey(key);
        (void)defaults.integerForKey(key);
        (void)defaults.doubleForKey(key);
        (void)defaults.stringForKey(key);
        (void)defaults.dataForKey(key);
    }
    (void)defaults.setBool("pasteInPlaceMode", false);
    (void)defaults.removeObject("recordingMode");
    // Changed behind the store's back: read again (or set aside) and written back when needed.
    fuzzsupport::writeScratch("Parloquin/defaults.json", parts[1]);
    (void)defaults.synchronize();
    (void)defaults.save();
    return 0;
}
