#pragma once

#include <string>

namespace platform {

// Where a model may run. The raw values are part of stored and logged forms; a value outside
// the four named ones can still be carried. On this platform every choice runs on the CPU.
enum class MLComputeUnits : int { cpuOnly = 0, cpuAndGPU = 1, all = 2, cpuAndNeuralEngine = 3 };

// "cpuOnly", "cpuAndGPU", "all", "cpuAndNeuralEngine", or "unknown(<raw value>)".
std::string name(MLComputeUnits units);

}  // namespace platform
