// The recogniser's results on a model set with the real network do not depend on how the runtime
// runs it: which thread pool is wide, and whether a run gets fresh memory or memory that an earlier
// run of other audio left behind.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "Platform/ml/MLModelBundle.h"
#include "RarivOredu/asr/AsrManager.h"
#include "RarivOredu/asr/AsrModels.h"
#include "tests/support/TemporaryDirectory.h"
#include "tests/support/asr/AsrNetworkModels.h"

namespace {

using platform::MLModelBundle;
using platform::ThreadingPreference;
using rarivoredu::ASRResult;
using rarivoredu::AsrManager;
using rarivoredu::AsrModels;
using testsupport::AsrNetworkModels;
namespace fs = std::filesystem;

// Voiced syllables whose pitch depends on `seed`.
std::vector<float> syllables(double seconds, double seed) {
    std::vector<float> samples(static_cast<std::size_t>(seconds * 16000));
    double phase = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double t = static_cast<double>(i) / 16000.0;
        phase += 2 * M_PI * (120 + 20 * seed + 30 * std::sin(2 * M_PI * 0.4 * t)) / 16000.0;
        const double envelope = std::pow(std::sin(2 * M_PI * (1.5 + 0.3 * seed) * t), 2.0);
        samples[i] = static_cast<float>(0.2 * envelope * (std::sin(phase) + 0.5 * std::sin(3 * phase)));
    }
    return samples;
}

// The models' thread preference, rewritten in place (the next load reads it).
void setThreading(const fs::path& set, ThreadingPreference threading) {
    for (const auto& entry : fs::directory_iterator(set)) {
        if (entry.path().extension() != ".mlmodelc") continue;
        MLModelBundle bundle = MLModelBundle::read(entry.path());
        bundle.threading = threading;
        bundle.write(entry.path());
    }
}

struct Transcripts {
    ASRResult shortAudio, longAudio, shortAgain;
};

Transcripts transcribe(const fs::path& set) {
    AsrManager manager;
    manager.initialize(AsrModels::load(set));
    Transcripts t;
    t.shortAudio = manager.transcribe(syllables(2.0, 0));
    t.longAudio = manager.transcribe(syllables(20.0, 1));  // two windows
    t.shortAgain = manager.transcribe(syllables(2.0, 0));
    return t;
}

// Text, tokens and their times exactly; confidences to rounding, since a matrix product split
// over another number of threads may sum in another order.
void expectSame(const ASRResult& expected, const ASRResult& actual, const std::string& what) {
    SCOPED_TRACE(what);
    EXPECT_EQ(expected.text, actual.text);
    EXPECT_NEAR(expected.confidence, actual.confidence, 1e-5);
    ASSERT_EQ(expected.tokenTimings.has_value(), actual.tokenTimings.has_value());
    if (!expected.tokenTimings) return;
    ASSERT_EQ(expected.tokenTimings->size(), actual.tokenTimings->size());
    for (std::size_t i = 0; i < expected.tokenTimings->size(); ++i) {
        const auto& e = (*expected.tokenTimings)[i];
        const auto& a = (*actual.tokenTimings)[i];
        EXPECT_EQ(e.tokenId, a.tokenId) << "token " << i;
        EXPECT_EQ(e.token, a.token) << "token " << i;
        EXPECT_EQ(e.startTime, a.startTime) << "token " << i;
        EXPECT_EQ(e.endTime, a.endTime) << "token " << i;
        EXPECT_NEAR(e.confidence, a.confidence, 1e-5) << "token " << i;
    }
}

struct Case {
    const char* name;
    AsrNetworkModels::Precision precision;
};

class AsrNetworkResultsTest : public testing::TestWithParam<Case> {};

TEST_P(AsrNetworkResultsTest, TranscriptsDoNotDependOnThreadsOrReusedMemory) {
    testsupport::TemporaryDirectory folder;
    const fs::path set = folder / std::string(folderName(rarivoredu::AsrModelVersion::v3));
    AsrNetworkModels models;
    models.shape = testsupport::AsrNetworkShape::tiny();
    models.precision = GetParam().precision;
    models.write(set);

    setThreading(set, ThreadingPreference::blasWide);
    const Transcripts blasWide = transcribe(set);
    setThreading(set, ThreadingPreference::torchWide);
    const Transcripts torchWide = transcribe(set);

    // A network with random weights still says something: a comparison of nothing proves nothing.
    ASSERT_TRUE(blasWide.longAudio.tokenTimings);
    EXPECT_GE(blasWide.longAudio.tokenTimings->size(), 5u);
    ASSERT_TRUE(blasWide.shortAudio.tokenTimings);
    EXPECT_FALSE(blasWide.shortAudio.tokenTimings->empty());

    expectSame(blasWide.shortAudio, blasWide.shortAgain, "after other audio, BLAS wide");
    expectSame(torchWide.shortAudio, torchWide.shortAgain, "after other audio, libtorch wide");
    expectSame(blasWide.shortAudio, torchWide.shortAudio, "short audio, BLAS wide and libtorch wide");
    expectSame(blasWide.longAudio, torchWide.longAudio, "long audio, BLAS wide and libtorch wide");
}

INSTANTIATE_TEST_SUITE_P(Precisions, AsrNetworkResultsTest,
                         testing::Values(Case{"float32", AsrNetworkModels::Precision::float32},
                                         Case{"int8", AsrNetworkModels::Precision::int8}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
