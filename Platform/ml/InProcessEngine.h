#pragma once

#include <functional>
#include <memory>
#include <string>

#include "Platform/ml/MLModelConfiguration.h"
#include "Platform/ml/MLModelDescription.h"
#include "Platform/ml/MLModelEngine.h"

namespace platform {

// Runs a model as a C++ callable in this process. Tests script models this way; a bundle whose
// description names the engine "in-process" is served by a factory registered under its name.
class InProcessEngine : public MLModelEngine {
public:
    using Function = std::function<MLDictionaryFeatureProvider::Dictionary(const MLFeatureProvider& inputs)>;
    using Factory = std::function<std::shared_ptr<MLModelEngine>(const MLModelDescription&, const MLModelConfiguration&)>;

    explicit InProcessEngine(Function function);

    MLDictionaryFeatureProvider::Dictionary predict(const MLFeatureProvider& inputs,
                                                    const MLPredictionOptions& options) override;

    // Bundles naming `name` are served by the factory from now on (replacing an earlier one).
    static void registerFactory(const std::string& name, Factory factory);
    static void unregisterFactory(const std::string& name);
    // The engine for a bundle; throws NSError when no factory is registered under the name.
    static std::shared_ptr<MLModelEngine> make(const std::string& name, const MLModelDescription& description,
                                               const MLModelConfiguration& configuration);

private:
    Function function_;
};

}  // namespace platform
