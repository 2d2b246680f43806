#include "Platform/ml/TorchScriptRuntime.h"

#include <dlfcn.h>

#include <cstdlib>
#include <system_error>

#include "Platform/ml/MLModelError.h"
#include "Platform/ml/MultiArrayCopy.h"
#include "Platform/ml/torch/TorchPluginImports.h"

namespace platform {
namespace {

constexpr TorchPluginImports imports{
    .makeError = [](std::string domain, long code, std::string description) {
        return NSError(std::move(domain), code, std::move(description));
    },
    .featureType = [](const MLFeatureValue& value) noexcept { return value.type(); },
    .multiArrayValue = [](const MLFeatureValue& value) noexcept -> const MLMultiArrayPtr& {
        return value.multiArrayValue();
    },
    .int64Value = [](const MLFeatureValue& value) noexcept { return value.int64Value(); },
    .doubleValue = [](const MLFeatureValue& value) noexcept { return value.doubleValue(); },
    .stringValue = [](const MLFeatureValue& value) noexcept -> const std::string& { return value.stringValue(); },
    .featureValueWithMultiArray = &MLFeatureValue::featureValueWithMultiArray,
    .featureValueWithInt64 = &MLFeatureValue::featureValueWithInt64,
    .featureValueWithDouble = &MLFeatureValue::featureValueWithDouble,
    .featureValueWithString = &MLFeatureValue::featureValueWithString,
    .wrapArray = &MLMultiArray::wrap,
    .inputDescription = [](const MLModelDescription& description, const std::string& name) noexcept {
        return description.input(name);
    },
    .outputDescription = [](const MLModelDescription& description, const std::string& name) noexcept {
        return description.output(name);
    },
    .applyOutputBackings = &applyOutputBackings,
};

std::string loaderError() {
    const char* reason = dlerror();
    return reason ? reason : "unknown reason";
}

// The plugin stays open until the program ends: engines and the tensors they return live in it.
// libtorch's OpenMP (libgomp) reads how its idle threads wait once, when the plugin maps it. By
// default they spin at every barrier of the many small parallel steps, and on a busy machine the
// spinning threads take the cores that the work itself needs: with builds running (load 20-26 on
// 8 cores) 15 s of audio took 17.3 s on the int8 set with 4 spinning threads, 3.3 s with 4 that
// sleep. The user's own choice (OMP_WAIT_POLICY, GOMP_SPINCOUNT) stands; ours is taken out of the
// environment again once libgomp has read it, so that programs started later do not inherit it.
void* openWithSleepingOpenMPThreads(const char* path) {
    const bool chosen = std::getenv("OMP_WAIT_POLICY") != nullptr || std::getenv("GOMP_SPINCOUNT") != nullptr;
    if (!chosen) setenv("OMP_WAIT_POLICY", "PASSIVE", 0);
    void* plugin = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!chosen) unsetenv("OMP_WAIT_POLICY");
    return plugin;
}

TorchScriptRuntime& openPlugin() {
    const auto path = TorchScriptRuntime::pluginPath();
    void* plugin = openWithSleepingOpenMPThreads(path.c_str());
    if (plugin == nullptr) {
        throw MLModelError::ioError("Could not load the TorchScript runtime " + path.string() + ": " + loaderError());
    }
    const auto entry = reinterpret_cast<TorchPluginEntry>(dlsym(plugin, torchPluginEntryName));
    if (entry == nullptr) {
        throw MLModelError::ioError("The TorchScript runtime " + path.string() + " is not usable: " + loaderError());
    }
    TorchScriptRuntime* runtime = entry(&imports);
    if (runtime == nullptr) {
        throw MLModelError::ioError("The TorchScript runtime " + path.string() +
                                    " was built for another version of this program");
    }
    return *runtime;
}

}  // namespace

TorchScriptRuntime& TorchScriptRuntime::shared() {
    // A throwing initialiser leaves the variable uninitialised, so a later call tries again.
    static TorchScriptRuntime& runtime = openPlugin();
    return runtime;
}

std::filesystem::path TorchScriptRuntime::pluginPath() {
    if (const char* path = std::getenv("RARIVOREDU_TORCH_PLUGIN"); path != nullptr && *path != '\0') return path;
    std::error_code error;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        const auto installed = (program.parent_path() / RARIVOREDU_TORCH_PLUGIN_INSTALLED).lexically_normal();
        if (std::filesystem::is_regular_file(installed, error)) return installed;
    }
    // Linked into the speech library's shared library, the installed plugin lies beside that.
    Dl_info library{};
    if (dladdr(reinterpret_cast<const void*>(&TorchScriptRuntime::pluginPath), &library) != 0 &&
        library.dli_fname != nullptr && *library.dli_fname != '\0') {
        const auto installed =
            (std::filesystem::path(library.dli_fname).parent_path() / RARIVOREDU_TORCH_PLUGIN_BESIDE_LIBRARY)
                .lexically_normal();
        if (std::filesystem::is_regular_file(installed, error)) return installed;
    }
    return RARIVOREDU_TORCH_PLUGIN_BUILT;
}

}  // namespace platform
