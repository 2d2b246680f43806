#pragma once

#include <map>
#include <string>
#include <vector>

#include "Platform/ml/MLModel.h"
#include "Platform/ml/MLModelDescription.h"

namespace testsupport {

// Files by relative path ("weights/weight.bin") with their bytes.
using FileTree = std::map<std::string, std::string>;

// The files of tiny compiled model folders, made with the model runtime itself, for fixture
// repositories and model folders on disk.
class ModelBundleFiles {
public:
    ModelBundleFiles() = delete;

    // "coremldata.bin" and "model.pt" compiled from TorchScript source (methods of one module,
    // `forward` among them).
    static FileTree torchScript(const platform::MLModelDescription& description, const std::string& source);
    // "coremldata.bin" naming an in-process engine registered under `engineName`.
    static FileTree inProcess(const platform::MLModelDescription& description, const std::string& engineName);

    // A small TorchScript model (input "x", float32 [1, 4]; output "y" = 2·x) with the nested
    // folders a compiled model has besides its two files ("weights/weight.bin",
    // "analytics/coremldata.bin"). Built once per process.
    static const FileTree& tiny();
    static const platform::MLModelDescription& tinyDescription();

    // Runs a model made from tiny() on [1, 2, 3, 4] and returns its "y".
    static std::vector<double> runTiny(const platform::MLModel& model);

    // Writes the files below `folder`, creating folders as needed.
    static void write(const FileTree& files, const std::string& folder);
};

}  // namespace testsupport
