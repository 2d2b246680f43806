// The ONNX writer of our encoder (the graph ONNX Runtime runs in the real-size benchmark's peer
// runs) against our TorchScript Encoder on the tiny checkpoint: both written from the same state
// dict, run on the same input through ONNX Runtime (onnxruntime-node, bench/asr/onnx-runtime-peer.js)
// and our runtime, float32 and int8. Skipped where node or onnxruntime-node is not installed.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "Platform/ml/MLDictionaryFeatureProvider.h"
#include "Platform/ml/MLModel.h"
#include "RarivOredu/asr/parakeet/ParakeetNetwork.h"
#include "tests/RarivOredu/asr/parakeet/TinyCheckpoint.h"
#include "tests/support/TemporaryDirectory.h"
#include "tests/support/asr/OnnxEncoderWriter.h"

namespace {

namespace fs = std::filesystem;
using platform::MLMultiArray;
using platform::MLMultiArrayDataType;
using rarivoredu::ParakeetNetwork;

void writeFloats(const fs::path& file, const MLMultiArray& array, float offset = 0) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    for (std::int64_t i = 0; i < array.count(); ++i) {
        const float value = static_cast<float>(array[i]) + (i == array.count() / 2 ? offset : 0.0f);
        out.write(reinterpret_cast<const char*>(&value), sizeof value);
    }
}

struct ScriptRun {
    int status = -1;
    std::string output;
};

// The peer script's check alone (no lengths to time).
ScriptRun checkWithOnnxRuntime(const fs::path& onnx, const fs::path& reference, double tolerance) {
    const std::string command = "node '" PARLOQUIN_SOURCE_DIR "/bench/asr/onnx-runtime-peer.js' '" PARLOQUIN_NPM_MODULES
                                "' '" + onnx.string() + "' test 1 --check '" + reference.string() + "' " +
                                std::to_string(tolerance) + " 2>&1";
    ScriptRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) run.output += buffer;
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

double reportedDifference(const std::string& output) {
    const std::string key = "max |ours - ONNX Runtime| = ";
    const auto at = output.find(key);
    return at == std::string::npos ? -1 : std::atof(output.c_str() + at + key.size());
}

struct PrecisionCase {
    const char* name;
    bool int8;
    double tolerance;  // against our Encoder's largest output of about 4
};
// int8: both quantise the inputs of every linear layer per call; where a rounding falls the other
// way the two drift apart by a few quantisation steps (3.6e-2 at most on this machine).
const PrecisionCase kPrecisions[] = {{"float32", false, 1e-4}, {"int8", true, 1e-1}};

class OnnxEncoderWriterTest : public testing::TestWithParam<PrecisionCase> {};

TEST_P(OnnxEncoderWriterTest, OnnxRuntimeGivesOurEncodersOutputAndTheCheckCatchesADifference) {
    if (std::system("command -v node >/dev/null 2>&1") != 0 ||
        !fs::exists(fs::path(PARLOQUIN_NPM_MODULES) / "onnxruntime-node" / "package.json")) {
        GTEST_SKIP() << "node or onnxruntime-node is not installed (scripts/install-deps.sh tests installs it into "
                     << PARLOQUIN_NPM_MODULES << ")";
    }
    const PrecisionCase& c = GetParam();
    const testsupport::TinyCheckpoint checkpoint;
    const testsupport::TemporaryDirectory folder;
    const ParakeetNetwork network(checkpoint.config());
    ParakeetNetwork::Options options;
    options.int8Encoder = c.int8;
    const fs::path bundle = folder.path() / ParakeetNetwork::bundleName(ParakeetNetwork::Module::encoder);
    network.write(ParakeetNetwork::Module::encoder, bundle, checkpoint.weights(), options);
    testsupport::OnnxEncoderWriter(checkpoint.config()).write(folder.path() / "Encoder.onnx", checkpoint.weights(), c.int8);

    // 3 s of seeded features, every frame valid.
    constexpr std::int64_t frames = 301;
    auto mel = MLMultiArray::create({1, 128, frames}, MLMultiArrayDataType::float32);
    std::uint32_t state = 5;
    for (std::int64_t i = 0; i < mel->count(); ++i) {
        state = state * 1664525u + 1013904223u;
        mel->data<float>()[i] = static_cast<float>(state >> 8) / 16777216.0f * 4.0f - 2.0f;
    }
    auto length = MLMultiArray::create({1}, MLMultiArrayDataType::int32);
    length->data<std::int32_t>()[0] = frames;
    platform::MLDictionaryFeatureProvider::Dictionary inputs;
    inputs.emplace("mel", platform::MLFeatureValue::featureValueWithMultiArray(mel));
    inputs.emplace("mel_length", platform::MLFeatureValue::featureValueWithMultiArray(length));
    const auto model = platform::MLModel::modelWithContentsOfURL(bundle);
    const auto encoded = model->predictionFromFeatures(platform::MLDictionaryFeatureProvider(std::move(inputs)))
                             ->featureValueForName("encoder")
                             ->multiArrayValue();
    ASSERT_EQ(encoded->shape(), (MLMultiArray::Shape{1, checkpoint.config().modelWidth, 38}));

    const fs::path reference = folder.path() / "reference";
    fs::create_directories(reference);
    writeFloats(reference / "mel.f32", *mel);
    writeFloats(reference / "encoder.f32", *encoded);
    const ScriptRun same = checkWithOnnxRuntime(folder.path() / "Encoder.onnx", reference, c.tolerance);
    EXPECT_EQ(same.status, 0) << same.output;
    const double difference = reportedDifference(same.output);
    EXPECT_GE(difference, 0) << same.output;
    EXPECT_LE(difference, c.tolerance) << same.output;

    // One output value off by 1: the check names the difference and fails.
    writeFloats(reference / "encoder.f32", *encoded, 1.0f);
    const ScriptRun differing = checkWithOnnxRuntime(folder.path() / "Encoder.onnx", reference, c.tolerance);
    EXPECT_EQ(differing.status, 1) << differing.output;
    EXPECT_NE(differing.output.find("not timed"), std::string::npos) << differing.output;
}

INSTANTIATE_TEST_SUITE_P(Precisions, OnnxEncoderWriterTest, testing::ValuesIn(kPrecisions),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
