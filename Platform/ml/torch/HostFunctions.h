#pragma once

#include "Platform/ml/torch/TorchPluginImports.h"

namespace platform {

// Makes the runtime functions the plugin calls (HostFunctions.cpp) go to the program's own.
// Called once, when the program opens the plugin, before anything else of the plugin runs.
void useHostFunctions(const TorchPluginImports& imports);

}  // namespace platform
