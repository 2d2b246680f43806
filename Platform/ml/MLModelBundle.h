#pragma once

#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "Platform/ml/MLModelDescription.h"
#include "Platform/ml/MLMultiArray.h"
#include "Platform/ml/ThreadingPreference.h"

namespace platform {

// A compiled model on disk: a folder "Name.mlmodelc" holding "coremldata.bin" (a JSON document
// that describes the model and names the engine that runs it) and, for TorchScript models,
// "model.pt" whose forward takes the inputs by feature name and returns a dictionary of named
// outputs.
//
//   { "format": "rarivoredu-mlmodel", "formatVersion": 1,
//     "engine": "torchscript" | "in-process", "inProcessName": "...", "threads": "blas" | "torch",
//     "inputs":  [ { "name": "audio_signal", "type": "multiArray", "dataType": "float32",
//                    "shape": [1, 240000], "sizeRanges": [[1, 1], [1, 240000]], "optional": false } ],
//     "outputs": [ ... ], "metadata": { "key": "value" } }
struct MLModelBundle {
    enum class Engine { torchScript, inProcess };

    static constexpr const char* descriptionFileName = "coremldata.bin";
    static constexpr const char* torchScriptFileName = "model.pt";

    MLModelDescription description;
    Engine engine = Engine::torchScript;
    std::string inProcessName;
    ThreadingPreference threading = ThreadingPreference::blasWide;

    // Reads a bundle's description; throws NSError (domain of the model runtime, code io) when
    // the folder or its description file is missing or malformed.
    static MLModelBundle read(const std::filesystem::path& folder);
    // Creates the folder when needed and writes the description file (not the model itself).
    void write(const std::filesystem::path& folder) const;
    // Writes a whole TorchScript bundle: "model.pt" compiled from `source` with its buffers (see
    // TorchScriptRuntime::saveScriptModule), and the description file.
    static void writeTorchScript(const std::filesystem::path& folder, MLModelDescription description,
                                 ThreadingPreference threading, const std::string& source,
                                 std::map<std::string, MLMultiArrayPtr> buffers,
                                 const std::set<std::string>& int8LinearWeights = {});

    std::string toJSON() const;
    static MLModelBundle fromJSON(const std::string& text);  // throws NSError
};

}  // namespace platform
