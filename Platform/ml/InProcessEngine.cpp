#include "Platform/ml/InProcessEngine.h"

#include <map>
#include <mutex>

#include "Platform/ml/MLModelError.h"
#include "Platform/ml/MultiArrayCopy.h"

namespace platform {
namespace {

std::mutex& registryMutex() {
    static std::mutex mutex;
    return mutex;
}

std::map<std::string, InProcessEngine::Factory>& registry() {
    static std::map<std::string, InProcessEngine::Factory> factories;
    return factories;
}

}  // namespace

InProcessEngine::InProcessEngine(Function function) : function_(std::move(function)) {}

MLDictionaryFeatureProvider::Dictionary InProcessEngine::predict(const MLFeatureProvider& inputs,
                                                                 const MLPredictionOptions& options) {
    auto outputs = function_(inputs);
    applyOutputBackings(outputs, options);
    return outputs;
}

void InProcessEngine::registerFactory(const std::string& name, Factory factory) {
    std::lock_guard lock(registryMutex());
    registry()[name] = std::move(factory);
}

void InProcessEngine::unregisterFactory(const std::string& name) {
    std::lock_guard lock(registryMutex());
    registry().erase(name);
}

std::shared_ptr<MLModelEngine> InProcessEngine::make(const std::string& name, const MLModelDescription& description,
                                                     const MLModelConfiguration& configuration) {
    Factory factory;
    {
        std::lock_guard lock(registryMutex());
        const auto it = registry().find(name);
        if (it != registry().end()) factory = it->second;
    }
    if (!factory) throw MLModelError::ioError("No in-process engine is registered under the name '" + name + "'");
    auto engine = factory(description, configuration);
    if (!engine) throw MLModelError::ioError("The in-process engine '" + name + "' could not be created");
    return engine;
}

}  // namespace platform
