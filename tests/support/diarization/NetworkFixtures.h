#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "Platform/ml/MLMultiArray.h"
#include "RarivOredu/checkpoint/TorchCheckpoint.h"
#include "tests/support/FileBytes.h"

namespace testsupport {

// The files of tests/fixtures/diarization (see its README).
inline std::filesystem::path diarizationFixture(const std::string& name) {
    return std::filesystem::path(PARLOQUIN_SOURCE_DIR) / "tests" / "fixtures" / "diarization" / name;
}

// A file of little-endian float32 values.
inline std::vector<float> readFloats(const std::filesystem::path& file) {
    const std::string bytes = readBytes(file);
    std::vector<float> values(bytes.size() / sizeof(float));
    std::memcpy(values.data(), bytes.data(), values.size() * sizeof(float));
    return values;
}

// The samples of a canonical 16-bit mono WAV file, / 32768.
inline std::vector<float> readWavSamples(const std::filesystem::path& file) {
    const std::string bytes = readBytes(file);
    std::vector<float> samples((bytes.size() - 44) / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        std::int16_t value;
        std::memcpy(&value, bytes.data() + 44 + 2 * i, 2);
        samples[i] = static_cast<float>(value) / 32768.0f;
    }
    return samples;
}

// Every tensor of a Lightning checkpoint's state dict as float32, by module name.
inline std::map<std::string, platform::MLMultiArrayPtr> stateDict(const std::filesystem::path& file) {
    const auto checkpoint = rarivoredu::TorchCheckpoint::open(file);
    std::map<std::string, platform::MLMultiArrayPtr> weights;
    for (const auto& [name, record] : checkpoint.tensors()) {
        if (name.rfind("state_dict.", 0) != 0) continue;
        if (record.dtype == rarivoredu::TensorRecord::DType::int64) continue;  // batch counters
        weights[name.substr(11)] = record.toFloat32();
    }
    return weights;
}

inline float largestDifference(const platform::MLMultiArray& array, const std::vector<float>& expected) {
    float largest = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        largest = std::max(largest, std::abs(static_cast<float>(array[static_cast<std::int64_t>(i)]) - expected[i]));
    }
    return largest;
}

}  // namespace testsupport
