#include "Platform/ml/MLModelBundle.h"

#include <nlohmann/json.hpp>

#include <fstream>
#include <sstream>

#include "Platform/ml/MLModelError.h"
#include "Platform/ml/TorchScriptRuntime.h"

namespace platform {
namespace {

using nlohmann::json;

const char* typeName(MLFeatureType type) { return name(type); }

MLFeatureType parseType(const std::string& text) {
    for (auto t : {MLFeatureType::int64, MLFeatureType::doubleValue, MLFeatureType::string, MLFeatureType::multiArray}) {
        if (text == name(t)) return t;
    }
    throw MLModelError::ioError("Unknown feature type '" + text + "' in the model description");
}

json featureToJSON(const MLFeatureDescription& f) {
    json j{{"name", f.name}, {"type", typeName(f.type)}};
    if (f.isOptional) j["optional"] = true;
    if (f.multiArrayConstraint) {
        j["dataType"] = name(f.multiArrayConstraint->dataType);
        if (!f.multiArrayConstraint->shape.empty()) j["shape"] = f.multiArrayConstraint->shape;
        if (!f.multiArrayConstraint->sizeRanges.empty()) {
            json ranges = json::array();
            for (auto [lo, hi] : f.multiArrayConstraint->sizeRanges) ranges.push_back({lo, hi});
            j["sizeRanges"] = ranges;
        }
    }
    return j;
}

MLFeatureDescription featureFromJSON(const json& j) {
    MLFeatureDescription f;
    f.name = j.at("name").get<std::string>();
    if (f.name.empty()) throw MLModelError::ioError("A feature of the model description has no name");
    f.type = parseType(j.value("type", std::string("multiArray")));
    f.isOptional = j.value("optional", false);
    if (f.type == MLFeatureType::multiArray && (j.contains("dataType") || j.contains("shape") || j.contains("sizeRanges"))) {
        MLMultiArrayConstraint c;
        const std::string dataType = j.value("dataType", std::string("float32"));
        if (!parseDataType(dataType.c_str(), c.dataType)) {
            throw MLModelError::ioError("Unknown data type '" + dataType + "' for feature '" + f.name + "'");
        }
        if (j.contains("shape")) c.shape = j.at("shape").get<std::vector<std::int64_t>>();
        if (j.contains("sizeRanges")) {
            for (const auto& r : j.at("sizeRanges")) {
                c.sizeRanges.emplace_back(r.at(0).get<std::int64_t>(), r.at(1).get<std::int64_t>());
            }
        }
        f.multiArrayConstraint = c;
    }
    return f;
}

}  // namespace

std::string MLModelBundle::toJSON() const {
    json j{{"format", "rarivoredu-mlmodel"}, {"formatVersion", 1}};
    j["engine"] = engine == Engine::torchScript ? "torchscript" : "in-process";
    if (engine == Engine::inProcess) j["inProcessName"] = inProcessName;
    j["threads"] = threading == ThreadingPreference::blasWide ? "blas" : "torch";
    j["inputs"] = json::array();
    for (const auto& f : description.inputs) j["inputs"].push_back(featureToJSON(f));
    j["outputs"] = json::array();
    for (const auto& f : description.outputs) j["outputs"].push_back(featureToJSON(f));
    if (!description.metadata.empty()) j["metadata"] = description.metadata;
    return j.dump(2);
}

MLModelBundle MLModelBundle::fromJSON(const std::string& text) {
    try {
        const json j = json::parse(text);
        if (!j.is_object() || j.value("format", std::string()) != "rarivoredu-mlmodel") {
            throw MLModelError::ioError("The model description is not in the expected format");
        }
        if (j.value("formatVersion", 0) != 1) {
            throw MLModelError::ioError("The model description has an unsupported format version");
        }
        MLModelBundle bundle;
        const std::string engine = j.value("engine", std::string("torchscript"));
        if (engine == "torchscript") {
            bundle.engine = Engine::torchScript;
        } else if (engine == "in-process") {
            bundle.engine = Engine::inProcess;
            bundle.inProcessName = j.at("inProcessName").get<std::string>();
        } else {
            throw MLModelError::ioError("Unknown model engine '" + engine + "'");
        }
        const std::string threads = j.value("threads", std::string("blas"));
        if (!parseThreadingPreference(threads, bundle.threading)) {
            throw MLModelError::ioError("Unknown thread preference '" + threads + "'");
        }
        for (const auto& f : j.at("inputs")) bundle.description.inputs.push_back(featureFromJSON(f));
        for (const auto& f : j.at("outputs")) bundle.description.outputs.push_back(featureFromJSON(f));
        if (j.contains("metadata")) {
            bundle.description.metadata = j.at("metadata").get<std::map<std::string, std::string>>();
        }
        return bundle;
    } catch (const json::exception& e) {
        throw MLModelError::ioError(std::string("The model description is malformed: ") + e.what());
    }
}

MLModelBundle MLModelBundle::read(const std::filesystem::path& folder) {
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) {
        throw MLModelError::ioError("No compiled model folder at " + folder.string());
    }
    const auto file = folder / descriptionFileName;
    std::ifstream in(file, std::ios::binary);
    if (!in) throw MLModelError::ioError("The compiled model at " + folder.string() + " has no " + descriptionFileName);
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) throw MLModelError::ioError("Could not read " + file.string());
    try {
        return fromJSON(text.str());
    } catch (const NSError& e) {
        throw MLModelError::ioError("Failed to read the compiled model at " + folder.string() + ": " +
                                    e.localizedDescription());
    }
}

void MLModelBundle::write(const std::filesystem::path& folder) const {
    std::filesystem::create_directories(folder);
    std::ofstream out(folder / descriptionFileName, std::ios::binary | std::ios::trunc);
    out << toJSON();
    if (!out) throw MLModelError::ioError("Could not write the model description into " + folder.string());
}

void MLModelBundle::writeTorchScript(const std::filesystem::path& folder, MLModelDescription description,
                                     ThreadingPreference threading, const std::string& source,
                                     std::map<std::string, MLMultiArrayPtr> buffers,
                                     const std::set<std::string>& int8LinearWeights) {
    TorchScriptRuntime::shared().saveScriptModule(folder / torchScriptFileName, source, std::move(buffers),
                                                  int8LinearWeights);
    MLModelBundle bundle;
    bundle.description = std::move(description);
    bundle.engine = Engine::torchScript;
    bundle.threading = threading;
    bundle.write(folder);
}

}  // namespace platform
