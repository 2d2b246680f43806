#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Platform/log/LogCapture.h"
#include "Platform/system/NSError.h"
#include "tests/support/HubSandbox.h"

namespace hubtest {

const std::string vadId = "ViridErevidaro/silero-vad-coreml";
const std::string vadModel = "silero-vad-unified-256ms-v6.0.0.mlmodelc";

// The error a call throws; fails the test when it throws none.
template <typename Call>
platform::NSError errorOf(Call&& call) {
    try {
        call();
    } catch (const platform::NSError& error) {
        return error;
    }
    ADD_FAILURE() << "no error";
    return platform::NSError("", 0, "");
}

// A loopback hub holding the speech detector's repository: one compiled model, a config file
// and a file in a folder whose name needs percent-encoding; the log is captured.
class VadHubTest : public ::testing::Test {
protected:
    void SetUp() override {
        sandbox.addBundle(vadId, vadModel);
        sandbox.hub.addFile(vadId, "config.json", R"({"sample_rate": 16000})");
        sandbox.hub.addFile(vadId, "my folder/notes #1.txt", "notes");
    }

    testsupport::HubSandbox sandbox;
    platform::LogCapture log;
};

}  // namespace hubtest
