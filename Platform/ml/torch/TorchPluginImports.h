#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "Platform/ml/MLDictionaryFeatureProvider.h"
#include "Platform/ml/MLFeatureValue.h"
#include "Platform/ml/MLModelDescription.h"
#include "Platform/ml/MLMultiArray.h"
#include "Platform/ml/MLPredictionOptions.h"
#include "Platform/system/NSError.h"

namespace platform {

class TorchScriptRuntime;

// The functions of the runtime's own types that the TorchScript plugin calls. The plugin links
// none of our libraries, and programs export nothing of theirs (see the top CMakeLists.txt), so
// the program hands the plugin its own functions when it opens it: every array, feature value
// and error the plugin makes is made by the program's single copy of that code.
struct TorchPluginImports {
    static constexpr int currentVersion = 1;

    int version = currentVersion;
    std::size_t size = sizeof(TorchPluginImports);

    NSError (*makeError)(std::string domain, long code, std::string description);
    MLFeatureType (*featureType)(const MLFeatureValue& value) noexcept;
    const MLMultiArrayPtr& (*multiArrayValue)(const MLFeatureValue& value) noexcept;
    std::int64_t (*int64Value)(const MLFeatureValue& value) noexcept;
    double (*doubleValue)(const MLFeatureValue& value) noexcept;
    const std::string& (*stringValue)(const MLFeatureValue& value) noexcept;
    MLFeatureValue (*featureValueWithMultiArray)(MLMultiArrayPtr array);
    MLFeatureValue (*featureValueWithInt64)(std::int64_t value);
    MLFeatureValue (*featureValueWithDouble)(double value);
    MLFeatureValue (*featureValueWithString)(std::string value);
    MLMultiArrayPtr (*wrapArray)(void* data, const MLMultiArray::Shape& shape, MLMultiArrayDataType dataType,
                                 const MLMultiArray::Shape& strides, MLMultiArray::Deallocator deallocator,
                                 std::shared_ptr<const void> keepAlive, std::size_t capacityBytes);
    const MLFeatureDescription* (*inputDescription)(const MLModelDescription& description,
                                                    const std::string& name) noexcept;
    const MLFeatureDescription* (*outputDescription)(const MLModelDescription& description,
                                                     const std::string& name) noexcept;
    void (*applyOutputBackings)(MLDictionaryFeatureProvider::Dictionary& outputs, const MLPredictionOptions& options);
};

// The plugin's one exported function: its runtime, or null when the plugin was built against
// other imports than the program hands it.
using TorchPluginEntry = TorchScriptRuntime* (*)(const TorchPluginImports* imports);
inline constexpr const char* torchPluginEntryName = "rarivoredu_torch_plugin";

}  // namespace platform
