// The plugin's entry point: the TorchScript runtime a program reaches through
// TorchScriptRuntime::shared(). Nothing else of the plugin is exported (exports.map).
#include "Platform/ml/TorchScriptRuntime.h"
#include "Platform/ml/torch/HostFunctions.h"
#include "Platform/ml/torch/ThreadPools.h"
#include "Platform/ml/torch/TorchPluginImports.h"
#include "Platform/ml/torch/TorchScriptEngine.h"

namespace platform {
namespace {

class TorchScriptPlugin final : public TorchScriptRuntime {
public:
    std::shared_ptr<MLModelEngine> makeEngine(const std::filesystem::path& modulePath,
                                              const MLModelDescription& description,
                                              ThreadingPreference threading) override {
        return std::make_shared<TorchScriptEngine>(modulePath, description, threading);
    }
    void saveScriptModule(const std::filesystem::path& path, const std::string& source,
                          const std::map<std::string, MLMultiArrayPtr>& buffers,
                          const std::set<std::string>& int8LinearWeights) override {
        TorchScriptEngine::saveScriptModule(path, source, buffers, int8LinearWeights);
    }
    void applyThreadPools(ThreadingPreference preference) override { ThreadPools::applyForCurrentThread(preference); }
    int wideWidth() override { return ThreadPools::wideWidth(); }
    int torchThreads() override { return ThreadPools::torchThreads(); }
    int blasThreads() override { return ThreadPools::blasThreads(); }
    bool blasIsOpenBLAS() override { return ThreadPools::blasIsOpenBLAS(); }
    std::string blasDescription() override { return ThreadPools::blasDescription(); }
};

}  // namespace
}  // namespace platform

extern "C" platform::TorchScriptRuntime* rarivoredu_torch_plugin(const platform::TorchPluginImports* imports) {
    if (imports == nullptr || imports->version != platform::TorchPluginImports::currentVersion ||
        imports->size != sizeof(platform::TorchPluginImports)) {
        return nullptr;
    }
    platform::useHostFunctions(*imports);
    static platform::TorchScriptPlugin runtime;
    return &runtime;
}
