// The runtime's types are compiled into the program, not into this plugin. Each of their functions
// the plugin calls is defined here by calling the program's own, handed over in TorchPluginImports.
// The plugin is linked with -z defs: a new call into the runtime fails the link until it has its
// line here and in the program's table (TorchScriptRuntime.cpp).
#include "Platform/ml/torch/HostFunctions.h"

#include <utility>

#include "Platform/ml/MultiArrayCopy.h"

namespace platform {
namespace {

const TorchPluginImports* host = nullptr;

}  // namespace

void useHostFunctions(const TorchPluginImports& imports) { host = &imports; }

NSError::NSError(std::string domain, long code, std::string localizedDescription)
    : NSError(host->makeError(std::move(domain), code, std::move(localizedDescription))) {}

MLFeatureType MLFeatureValue::type() const noexcept { return host->featureType(*this); }
const MLMultiArrayPtr& MLFeatureValue::multiArrayValue() const noexcept { return host->multiArrayValue(*this); }
std::int64_t MLFeatureValue::int64Value() const noexcept { return host->int64Value(*this); }
double MLFeatureValue::doubleValue() const noexcept { return host->doubleValue(*this); }
const std::string& MLFeatureValue::stringValue() const noexcept { return host->stringValue(*this); }

MLFeatureValue MLFeatureValue::featureValueWithMultiArray(MLMultiArrayPtr array) {
    return host->featureValueWithMultiArray(std::move(array));
}
MLFeatureValue MLFeatureValue::featureValueWithInt64(std::int64_t value) { return host->featureValueWithInt64(value); }
MLFeatureValue MLFeatureValue::featureValueWithDouble(double value) { return host->featureValueWithDouble(value); }
MLFeatureValue MLFeatureValue::featureValueWithString(std::string value) {
    return host->featureValueWithString(std::move(value));
}

MLMultiArrayPtr MLMultiArray::wrap(void* data, const Shape& shape, MLMultiArrayDataType dataType, const Shape& strides,
                                   Deallocator deallocator, std::shared_ptr<const void> keepAlive,
                                   std::size_t capacityBytes) {
    return host->wrapArray(data, shape, dataType, strides, std::move(deallocator), std::move(keepAlive), capacityBytes);
}

const MLFeatureDescription* MLModelDescription::input(const std::string& name) const noexcept {
    return host->inputDescription(*this, name);
}
const MLFeatureDescription* MLModelDescription::output(const std::string& name) const noexcept {
    return host->outputDescription(*this, name);
}

void applyOutputBackings(MLDictionaryFeatureProvider::Dictionary& outputs, const MLPredictionOptions& options) {
    host->applyOutputBackings(outputs, options);
}

}  // namespace platform
