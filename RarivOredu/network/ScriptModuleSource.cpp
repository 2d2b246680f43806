#include "RarivOredu/network/ScriptModuleSource.h"

#include <stdexcept>

#include "Platform/ml/MLModelBundle.h"
#include "Platform/ml/TorchScriptRuntime.h"

namespace rarivoredu {

ScriptModuleSource::ScriptModuleSource(std::string signature) : source_(std::move(signature) + "\n") {}

void ScriptModuleSource::line(const std::string& statement, int indent) {
    source_.append(4 * (1 + indent), ' ');
    source_ += statement;
    source_ += '\n';
}

void ScriptModuleSource::append(const std::string& text) { source_ += text; }

std::string ScriptModuleSource::tensor(const std::string& name, platform::MLMultiArrayPtr value) {
    if (!buffers_.emplace(name, std::move(value)).second) {
        throw std::logic_error("The module source registers '" + name + "' twice");
    }
    return "self." + name;
}

std::string ScriptModuleSource::linear(const std::string& name, const std::string& input,
                                       platform::MLMultiArrayPtr weight, platform::MLMultiArrayPtr bias, bool int8) {
    const std::string w = tensor(name + "_w", std::move(weight));
    if (int8) {
        int8_.insert(name + "_w");
        const std::string product = "quantized.linear_dynamic(" + input + ", " + w + ", False)";
        return bias ? "(" + product + " + " + tensor(name + "_b", std::move(bias)) + ")" : product;
    }
    return "torch.linear(" + input + ", " + w + (bias ? ", " + tensor(name + "_b", std::move(bias)) : "") + ")";
}

void ScriptModuleSource::save(const std::filesystem::path& path) && {
    platform::TorchScriptRuntime::shared().saveScriptModule(path, source_, std::move(buffers_), int8_);
}

void ScriptModuleSource::writeBundle(const std::filesystem::path& folder, platform::MLModelDescription description,
                                     platform::ThreadingPreference threading) && {
    platform::MLModelBundle::writeTorchScript(folder, std::move(description), threading, source_, std::move(buffers_),
                                              int8_);
}

}  // namespace rarivoredu
