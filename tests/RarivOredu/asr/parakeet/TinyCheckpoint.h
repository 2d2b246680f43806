#pragma once

#include <filesystem>
#include <map>
#include <string>

#include "RarivOredu/asr/parakeet/ParakeetNetwork.h"
#include "RarivOredu/checkpoint/StateDict.h"

namespace testsupport {

// The tiny checkpoint of the fixtures: its configuration and its state dict.
class TinyCheckpoint {
public:
    TinyCheckpoint();

    static std::filesystem::path fixtureFolder();
    static std::filesystem::path nemoFile();

    const rarivoredu::ParakeetConfig& config() const { return config_; }
    const std::map<std::string, platform::MLMultiArrayPtr>& stateDict() const { return stateDict_; }
    rarivoredu::StateDict weights() const { return rarivoredu::StateDict(stateDict_); }

private:
    rarivoredu::ParakeetConfig config_;
    std::map<std::string, platform::MLMultiArrayPtr> stateDict_;
};

}  // namespace testsupport
