#include "tests/support/ModelBundleFiles.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "Platform/ml/MLDictionaryFeatureProvider.h"
#include "Platform/ml/MLModelBundle.h"
#include "Platform/ml/MLMultiArray.h"
#include "Platform/ml/TorchScriptRuntime.h"
#include "tests/support/FixtureFeatures.h"

namespace testsupport {
namespace fs = std::filesystem;
namespace {

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

}  // namespace

FileTree ModelBundleFiles::torchScript(const platform::MLModelDescription& description, const std::string& source) {
    std::string pattern = (fs::temp_directory_path() / "bundle-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a scratch folder");
    const fs::path scratch = pattern;
    const fs::path module = scratch / platform::MLModelBundle::torchScriptFileName;
    platform::TorchScriptRuntime::shared().saveScriptModule(module, source);
    FileTree files;
    files[platform::MLModelBundle::torchScriptFileName] = readFile(module);
    fs::remove_all(scratch);
    platform::MLModelBundle bundle;
    bundle.description = description;
    bundle.engine = platform::MLModelBundle::Engine::torchScript;
    files[platform::MLModelBundle::descriptionFileName] = bundle.toJSON();
    return files;
}

FileTree ModelBundleFiles::inProcess(const platform::MLModelDescription& description, const std::string& engineName) {
    platform::MLModelBundle bundle;
    bundle.description = description;
    bundle.engine = platform::MLModelBundle::Engine::inProcess;
    bundle.inProcessName = engineName;
    return {{platform::MLModelBundle::descriptionFileName, bundle.toJSON()}};
}

const platform::MLModelDescription& ModelBundleFiles::tinyDescription() {
    static const platform::MLModelDescription description = [] {
        platform::MLModelDescription d;
        d.inputs.push_back(arrayFeature("x", {1, 4}));
        d.outputs.push_back(arrayFeature("y", {1, 4}));
        return d;
    }();
    return description;
}

const FileTree& ModelBundleFiles::tiny() {
    static const FileTree files = [] {
        FileTree tree = torchScript(tinyDescription(),
                                    "def forward(self, x: Tensor) -> Dict[str, Tensor]:\n"
                                    "    return {'y': x * 2.0}\n");
        tree["weights/weight.bin"] = std::string(4096, '\x5a');
        tree["analytics/coremldata.bin"] = "analytics";
        return tree;
    }();
    return files;
}

std::vector<double> ModelBundleFiles::runTiny(const platform::MLModel& model) {
    auto x = platform::MLMultiArray::create({1, 4}, platform::MLMultiArrayDataType::float32);
    for (int i = 0; i < 4; ++i) x->setValue(i, i + 1);
    platform::MLDictionaryFeatureProvider input({{"x", platform::MLFeatureValue::featureValueWithMultiArray(x)}});
    const auto output = model.predictionFromFeatures(input);
    const auto y = output->featureValueForName("y");
    if (!y || !y->multiArrayValue()) throw std::runtime_error("the model gave no y");
    std::vector<double> values;
    for (std::int64_t i = 0; i < y->multiArrayValue()->count(); ++i) values.push_back((*y->multiArrayValue())[i]);
    return values;
}

void ModelBundleFiles::write(const FileTree& files, const std::string& folder) {
    for (const auto& [path, bytes] : files) {
        const fs::path target = fs::path(folder) / path;
        fs::create_directories(target.parent_path());
        std::ofstream out(target, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) throw std::runtime_error("cannot write " + target.string());
    }
}

}  // namespace testsupport
