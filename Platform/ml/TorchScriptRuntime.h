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

// libtorch, and the few hundred libraries it pulls in, live in a plugin (Platform/ml/torch) that
// is opened the first time a program loads or builds a TorchScript model; programs that never do
// never map them. This is what the plugin offers.
class TorchScriptRuntime {
public:
    // The plugin, opened on first use. Throws NSError (code io) naming the plugin's path and the
    // loader's reason when it cannot be opened; the next call tries again.
    static TorchScriptRuntime& shared();

    // Where the plugin is looked for: $RARIVOREDU_TORCH_PLUGIN when set; otherwise where an
    // installation puts it beside the program, or beside the shared library that holds this code,
    // when it is there; otherwise the build tree.
    static std::filesystem::path pluginPath();

    // Loads a TorchScript module (see TorchScriptEngine).
    virtual std::shared_ptr<MLModelEngine> makeEngine(const std::filesystem::path& modulePath,
                                                      const MLModelDescription& description,
                                                      ThreadingPreference threading) = 0;

    // Compiles TorchScript source (methods of one module, `forward` among them) and saves the
    // module to `path`. Each buffer becomes a tensor attribute of the module under its name, so
    // the source can use `self.<name>`; the buffers are read, not copied, while the module is
    // written. The buffers named in `int8LinearWeights` (float32 [out, in] linear weights) are
    // stored instead as int8 weights per output channel for `quantized.linear_dynamic(x,
    // self.<name>, False)`, which quantises its input on the fly; each is let go once packed, so
    // a caller that hands over its only reference frees the float copies as the int8 ones are
    // made. Throws NSError when the source does not compile.
    virtual void saveScriptModule(const std::filesystem::path& path, const std::string& source,
                                  std::map<std::string, MLMultiArrayPtr> buffers = {},
                                  const std::set<std::string>& int8LinearWeights = {}) = 0;

    // The thread pools the models run on (see ThreadingPreference).
    virtual void applyThreadPools(ThreadingPreference preference) = 0;
    virtual int wideWidth() = 0;
    virtual int torchThreads() = 0;
    virtual int blasThreads() = 0;
    virtual bool blasIsOpenBLAS() = 0;
    // "OpenBLAS <config>" when OpenBLAS serves BLAS calls, otherwise a short description.
    virtual std::string blasDescription() = 0;

protected:
    ~TorchScriptRuntime() = default;
};

}  // namespace platform
