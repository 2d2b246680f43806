#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "Platform/ml/MLModelDescription.h"
#include "Platform/ml/MLModelEngine.h"
#include "Platform/ml/ThreadingPreference.h"

namespace platform {

// Runs a TorchScript module through libtorch. The module's forward takes the model's inputs as
// named arguments (tensors, or int/float for scalar features) and returns a dictionary from
// output name to tensor. Input arrays are handed over without copying, strides included.
class TorchScriptEngine : public MLModelEngine {
public:
    // Loads the module; throws NSError (code io) when it cannot be read or its forward takes an
    // argument the description does not declare.
    TorchScriptEngine(const std::filesystem::path& modulePath, const MLModelDescription& description,
                      ThreadingPreference threading);
    ~TorchScriptEngine() override;

    MLDictionaryFeatureProvider::Dictionary predict(const MLFeatureProvider& inputs,
                                                    const MLPredictionOptions& options) override;

    // Compiles TorchScript source (methods of one module, `forward` among them) and saves the
    // module to `path`. Each buffer becomes a tensor attribute of the module under its name, so
    // the source can use `self.<name>`; `int8LinearWeights` names the buffers stored as int8
    // dynamic linear weights instead (see TorchScriptRuntime). Throws NSError when the source
    // does not compile.
    static void saveScriptModule(const std::filesystem::path& path, const std::string& source,
                                 const std::map<std::string, MLMultiArrayPtr>& buffers = {},
                                 const std::set<std::string>& int8LinearWeights = {});

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace platform
