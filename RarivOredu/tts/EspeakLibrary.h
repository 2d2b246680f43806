#pragma once

#include <memory>
#include <string>

#include <espeak-ng/espeak_ng.h>

namespace rarivoredu {

// The eSpeak NG library, loaded at run time: a machine without it runs everything else, and
// speech synthesis reports the library as missing instead of the process failing to start.
// Every function of it must be called on one thread at a time (the library keeps global state).
class EspeakLibrary {
public:
    static constexpr const char* defaultFileName = "libespeak-ng.so.1";

    // The library loaded once per process from its default file name; nullptr when missing.
    static const EspeakLibrary* shared();
    // Loads the library from a file name or path; nullptr when it cannot be loaded or lacks one
    // of the functions below.
    static std::unique_ptr<EspeakLibrary> open(const std::string& fileName);

    ~EspeakLibrary();
    EspeakLibrary(const EspeakLibrary&) = delete;
    EspeakLibrary& operator=(const EspeakLibrary&) = delete;

    // The file the library was loaded from.
    const std::string& path() const noexcept { return path_; }

    void (*initializePath)(const char* path) = nullptr;
    const char* (*info)(const char** dataPath) = nullptr;
    espeak_ng_STATUS (*initialize)(espeak_ng_ERROR_CONTEXT* context) = nullptr;
    espeak_ng_STATUS (*initializeOutput)(espeak_ng_OUTPUT_MODE mode, int bufferLength, const char* device) = nullptr;
    void (*clearErrorContext)(espeak_ng_ERROR_CONTEXT* context) = nullptr;
    espeak_ERROR (*setVoiceByName)(const char* name) = nullptr;
    const char* (*textToPhonemes)(const void** text, int textMode, int phonemeMode) = nullptr;
    espeak_ERROR (*terminate)() = nullptr;

private:
    explicit EspeakLibrary(void* handle) : handle_(handle) {}

    void* handle_;
    std::string path_;
};

}  // namespace rarivoredu
