#include "RarivOredu/tts/EspeakLibrary.h"

#include <dlfcn.h>
#include <link.h>

namespace rarivoredu {
namespace {

template <typename Function>
bool bind(void* handle, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(handle, name));
    return function != nullptr;
}

}  // namespace

const EspeakLibrary* EspeakLibrary::shared() {
    // Never unloaded: the library's state lives as long as the process.
    static const EspeakLibrary* const library = open(defaultFileName).release();
    return library;
}

std::unique_ptr<EspeakLibrary> EspeakLibrary::open(const std::string& fileName) {
    void* handle = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return nullptr;
    std::unique_ptr<EspeakLibrary> library(new EspeakLibrary(handle));
    const bool complete = bind(handle, "espeak_ng_InitializePath", library->initializePath) &&
                          bind(handle, "espeak_Info", library->info) &&
                          bind(handle, "espeak_ng_Initialize", library->initialize) &&
                          bind(handle, "espeak_ng_InitializeOutput", library->initializeOutput) &&
                          bind(handle, "espeak_ng_ClearErrorContext", library->clearErrorContext) &&
                          bind(handle, "espeak_SetVoiceByName", library->setVoiceByName) &&
                          bind(handle, "espeak_TextToPhonemes", library->textToPhonemes) &&
                          bind(handle, "espeak_Terminate", library->terminate);
    if (!complete) return nullptr;
    link_map* map = nullptr;
    library->path_ = (dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name) ? map->l_name : fileName;
    return library;
}

EspeakLibrary::~EspeakLibrary() { dlclose(handle_); }

}  // namespace rarivoredu
