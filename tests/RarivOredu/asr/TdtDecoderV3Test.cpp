#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "Platform/log/LogCapture.h"
#include "Platform/ml/InProcessEngine.h"
#include "Platform/ml/MLModel.h"
#include "RarivOredu/asr/ASRError.h"
#include "RarivOredu/asr/TdtDecoderV3.h"
#include "tests/support/asr/AsrFixtureAudio.h"
#include "tests/support/asr/AsrFixtureModels.h"

namespace rarivoredu {
namespace {

using platform::MLFeatureProvider;
using platform::MLFeatureValue;
using platform::MLMultiArray;
using platform::MLMultiArrayDataType;
using platform::MLMultiArrayPtr;
using testsupport::AsrFixtureModels;
using testsupport::AsrFixtureScript;
using testsupport::ScriptedToken;

constexpr int kBlank = 8192;

// Decodes marked encoder outputs with the fixture Decoder and joint on one state.
struct Decoding {
    explicit Decoding(AsrFixtureScript script, TdtConfig config = TdtConfig::defaultConfig())
        : models(std::move(script)), decoder(AppLogger("TDT"), config) {}

    // Decodes recording frames [firstFrame, firstFrame + frames) given as one encoder output.
    TdtHypothesis run(int frames, int firstFrame = 0, int adjustment = 0, bool isLastChunk = false,
                      std::optional<int> audioFrames = std::nullopt, bool timeMajor = false) {
        return decoder.decode(testsupport::markedEncoderOutput(frames, firstFrame, timeMajor), frames,
                              audioFrames.value_or(frames), *models.decoder(), *models.joint(), state, adjustment,
                              isLastChunk, firstFrame);
    }

    AsrFixtureModels models;
    TdtDecoderV3 decoder;
    TdtDecoderState state;
};

AsrFixtureScript script(std::vector<ScriptedToken> tokens) { return AsrFixtureScript::of(std::move(tokens)); }

std::vector<int> repeated(int value, int count) { return std::vector<int>(static_cast<std::size_t>(count), value); }

TEST(TdtDecoderV3Test, EmitsScriptedTokensAtTheirFramesAndHandsTheStateOver) {
    Decoding d(script({{2, 101, "", 1, 0.5f}, {5, 102, "", 2, 0.75f}}));
    const auto h = d.run(10);

    EXPECT_EQ(h.ySequence, (std::vector<int>{101, 102}));
    EXPECT_EQ(h.timestamps, (std::vector<int>{2, 5}));
    EXPECT_EQ(h.tokenConfidences, (std::vector<float>{0.5f, 0.75f}));
    EXPECT_FLOAT_EQ(h.score, 1.25f);
    EXPECT_TRUE(h.tokenDurations.empty());
    EXPECT_EQ(h.lastToken, 102);
    // Priming on the blank, then one Decoder run per emitted token.
    EXPECT_EQ(d.models.fedTokens(), (std::vector<int>{kBlank, 101, 102}));
    EXPECT_EQ(d.state.lastToken, 102);
    ASSERT_TRUE(d.state.predictorOutput);
    EXPECT_EQ((*d.state.predictorOutput)[0], 102);  // the projection of the last token
    EXPECT_EQ(d.state.timeJump, 0);
    EXPECT_EQ((*d.state.hiddenState)[0], 2);  // the LSTM state has seen both tokens
}

TEST(TdtDecoderV3Test, TokenWhoseDurationRunsPastTheLastFrameIsStillEmitted) {
    // The token at the last usable frame jumps 4 frames, beyond the end: it belongs to the text.
    Decoding d(script({{3, 101}, {9, 102, "", 4}}));
    const auto h = d.run(10);
    EXPECT_EQ(h.ySequence, (std::vector<int>{101, 102}));
    EXPECT_EQ(h.timestamps, (std::vector<int>{3, 9}));
    EXPECT_EQ(d.state.lastToken, 102);
    EXPECT_EQ(d.state.timeJump, 3);
}

TEST(TdtDecoderV3Test, FollowingCallContinuesFromTheHandedOverProjectionWithoutFeedingTheTokenAgain) {
    struct Case {
        const char* name;
        int firstToken;
    };
    for (const Case c : {Case{"ordinary token", 101}, Case{"reset token", 7883}}) {
        SCOPED_TRACE(c.name);
        Decoding d(script({{4, c.firstToken}, {14, 102}}));
        const auto first = d.run(10);
        ASSERT_EQ(first.ySequence, (std::vector<int>{c.firstToken}));
        ASSERT_TRUE(d.state.predictorOutput);

        // The next window holds frames 5..19 and decodes on from frame 10, where the first one
        // stopped: 10 − 5 = 5 frames into it.
        const auto second = d.run(15, 5, 5);
        EXPECT_EQ(second.ySequence, (std::vector<int>{102}));
        EXPECT_EQ(second.timestamps, (std::vector<int>{14}));
        EXPECT_EQ(d.models.fedTokens(), (std::vector<int>{kBlank, c.firstToken, 102}));
        EXPECT_EQ((*d.state.hiddenState)[0], 2);
    }
}

TEST(TdtDecoderV3Test, MaxSymbolsPerStepForcesTheFramePointerOnAndEndsTheLoopAtTheLastFrame) {
    struct Case {
        const char* name;
        int frame;
        std::vector<int> expectedTimestamps;
    };
    const Case cases[] = {
        // After ten tokens in a row at frame 3 decoding moves on; the token at frame 6 follows.
        {"inner frame", 3, [] { auto v = repeated(3, 10); v.push_back(6); return v; }()},
        // At the last frame there is no frame to move on to: the loop ends after ten.
        {"last frame", 9, repeated(9, 10)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<ScriptedToken> tokens;
        for (int i = 0; i < 12; ++i) tokens.push_back({c.frame, 200 + i, "", 0});
        if (c.frame < 6) tokens.push_back({6, 300});
        Decoding d(script(tokens));
        const auto h = d.run(10);
        EXPECT_EQ(h.timestamps, c.expectedTimestamps);
        EXPECT_GE(*d.state.timeJump, 0);
    }
}

TEST(TdtDecoderV3Test, ReachingMaxTokensPerChunkIsLoggedAndTheNextCallResumesAtTheTokenNotEmitted) {
    TdtConfig config;
    config.maxTokensPerChunk = 3;
    Decoding d(script({{1, 101}, {2, 102}, {3, 103}, {4, 104}, {5, 105}}), config);
    platform::LogCapture log;
    const auto first = d.run(10);
    EXPECT_EQ(first.ySequence, (std::vector<int>{101, 102, 103}));
    EXPECT_TRUE(log.contains("Stopped decoding at frame 4 of 10: maxTokensPerChunk (3) reached", "TDT"));
    EXPECT_EQ(d.state.timeJump, 4 - 10);

    // The next window (frames 2..11) picks up at frame 4: 10 − 2 = 8 frames, minus the 6 not decoded.
    const auto second = d.run(10, 2, 8);
    EXPECT_EQ(second.ySequence, (std::vector<int>{104, 105}));
    EXPECT_EQ(second.timestamps, (std::vector<int>{4, 5}));
}

TEST(TdtDecoderV3Test, DurationsMoveTheFramePointer) {
    struct Case {
        const char* name;
        int blankBin;
        int expectedJointRuns;
    };
    // Twenty frames of blanks: bins 0 and 1 step one frame, bin 4 steps four.
    for (const Case c : {Case{"bin 0", 0, 20}, Case{"bin 1", 1, 20}, Case{"bin 4", 4, 5}}) {
        SCOPED_TRACE(c.name);
        auto s = script({});
        s.blankDurationBin = c.blankBin;
        Decoding d(s);
        d.run(20);
        EXPECT_EQ(d.models.jointRuns(), c.expectedJointRuns);
        EXPECT_EQ(d.models.decoderRuns(), 1);  // the priming run only: blanks need no Decoder run
    }
    // A token with bin 0 stays on its frame, so the next token can come at the same frame.
    Decoding d(script({{2, 101, "", 0}, {2, 102, "", 3}, {5, 103}}));
    EXPECT_EQ(d.run(10).timestamps, (std::vector<int>{2, 2, 5}));
}

TEST(TdtDecoderV3Test, ConfidenceIsTheProbabilityClampedToTheUnitInterval) {
    struct Case {
        float probability;
        float expected;
    };
    const Case cases[] = {{std::numeric_limits<float>::quiet_NaN(), 0.0f},
                          {std::numeric_limits<float>::infinity(), 0.0f},
                          {1.7f, 1.0f},
                          {-0.2f, 0.0f},
                          {0.4f, 0.4f}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.probability);
        Decoding d(script({{1, 101, "", 1, c.probability}}));
        const auto h = d.run(5);
        ASSERT_EQ(h.tokenConfidences.size(), 1u);
        EXPECT_EQ(h.tokenConfidences[0], c.expected);
    }
}

TEST(TdtDecoderV3Test, StartFrameComesFromTheOverrunAndTheAdjustment) {
    struct Case {
        std::optional<int> timeJump;
        int adjustment;
        int expected;
    };
    const Case cases[] = {{0, 0, 20}, {3, -5, 0}, {std::nullopt, 7, 7}, {std::nullopt, -3, 0}, {2, 40, 42}, {-6, 8, 2}};
    for (const auto& c : cases) {
        EXPECT_EQ(TdtDecoderV3::startFrame(c.timeJump, c.adjustment), c.expected)
            << "timeJump " << c.timeJump.value_or(-999) << ", adjustment " << c.adjustment;
    }
}

TEST(TdtDecoderV3Test, NothingToDecodeLeavesTheStateAsItWas) {
    struct Case {
        const char* name;
        int encoderLength;
        int adjustment;
    };
    for (const Case c : {Case{"start beyond the usable frames", 10, 12}, Case{"one encoder frame", 1, 0}}) {
        SCOPED_TRACE(c.name);
        Decoding d(script({{0, 101}}));
        d.state.lastToken = 55;
        d.state.timeJump = 0;
        const auto h = d.decoder.decode(testsupport::markedEncoderOutput(10), c.encoderLength, 10, *d.models.decoder(),
                                        *d.models.joint(), d.state, c.adjustment, false, 0);
        EXPECT_TRUE(h.ySequence.empty());
        EXPECT_FALSE(h.lastToken);
        EXPECT_EQ(d.state.lastToken, 55);
        EXPECT_EQ(d.state.timeJump, 0);
        EXPECT_EQ(d.models.decoderRuns() + d.models.jointRuns(), 0);
    }
}

TEST(TdtDecoderV3Test, LastChunkRunsFinishingStepsUntilEnoughBlanksInARow) {
    TdtConfig config;
    config.maxTokensPerChunk = 2;
    // The main loop stops at its token cap; the finishing steps pick up the third token, then
    // stop after five blanks.
    Decoding d(script({{1, 101}, {2, 102}, {8, 103}}), config);
    const auto h = d.run(10, 0, 0, true);
    EXPECT_EQ(h.ySequence, (std::vector<int>{101, 102, 103}));
    EXPECT_EQ(h.timestamps.back(), 8);
    EXPECT_FALSE(d.state.timeJump);
    const int mainLoopJointRuns = 8 + 1;  // frames 0..7, then the capped token at frame 8
    EXPECT_EQ(d.models.jointRuns(), mainLoopJointRuns + 1 + 5);
}

TEST(TdtDecoderV3Test, EncoderAndProjectionLayoutsGiveTheSameTokens) {
    struct Case {
        const char* name;
        bool timeMajor;
        bool featureLast;
        bool padded;
    };
    const Case cases[] = {{"[1, 1024, T] and [1, 640, 1]", false, false, false},
                          {"[1, T, 1024]", true, false, false},
                          {"[1, 1, 640]", false, true, false},
                          {"padded [1, 640, 1]", false, false, true},
                          {"padded [1, 1, 640]", false, true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto s = script({{2, 101}, {2, 102, "", 0}, {6, 103}});
        s.tokens[0].durationBin = 0;
        s.timeMajorEncoder = c.timeMajor;
        s.featureLastProjection = c.featureLast;
        s.paddedProjection = c.padded;
        Decoding d(s);
        const auto h = d.run(10, 0, 0, false, std::nullopt, c.timeMajor);
        EXPECT_EQ(h.ySequence, (std::vector<int>{101, 102, 103}));
        EXPECT_EQ(h.timestamps, (std::vector<int>{2, 2, 6}));
    }
}

// ---------------------------------------------------------------------------------------------
// Error texts

platform::MLModelPtr model(platform::InProcessEngine::Function function) {
    return platform::MLModel::withEngine(std::make_shared<platform::InProcessEngine>(std::move(function)), {});
}

MLMultiArrayPtr array(MLMultiArray::Shape shape, MLMultiArrayDataType type = MLMultiArrayDataType::float32) {
    return MLMultiArray::create(shape, type);
}

struct ErrorCase {
    const char* expected;
    std::function<MLMultiArrayPtr()> encoder = [] { return testsupport::markedEncoderOutput(5); };
    int encoderLength = 5;
    // The Decoder's "decoder" output; none when it returns null.
    std::function<MLMultiArrayPtr()> projection = [] { return array({1, 640, 1}); };
    std::string missingJointOutput{};
    int durationBin = 1;
};

TEST(TdtDecoderV3Test, MalformedModelOutputsFailWithTheirTexts) {
    const ErrorCase cases[] = {
        {.expected = "Invalid encoder output shape: [1, 1024]", .encoder = [] { return array({1, 1024}); }},
        {.expected = "Unsupported batch dimension: 2", .encoder = [] { return array({2, 1024, 5}); }},
        {.expected = "Encoder hidden size mismatch: [1, 512, 5]", .encoder = [] { return array({1, 512, 5}); }},
        {.expected = "Encoder output has no frames", .encoder = [] { return array({1, 1024, 0}); }},
        {.expected = "Unsupported encoder output type: float16",
         .encoder = [] { return array({1, 1024, 5}, MLMultiArrayDataType::float16); }},
        {.expected = "Invalid hidden stride: 0",
         .encoder =
             [] {
                 auto memory = array({5});
                 return MLMultiArray::wrap(memory->dataPointer(), {1, 1024, 5}, MLMultiArrayDataType::float32,
                                           {5, 0, 1}, {}, memory);
             }},
        {.expected = "Encoder frame index out of range: 5", .encoderLength = 8},
        {.expected = "Invalid decoder output", .projection = [] { return MLMultiArrayPtr(); }},
        {.expected = "Invalid decoder projection rank: [1, 640]", .projection = [] { return array({1, 640}); }},
        {.expected = "Unsupported decoder batch dimension: 2", .projection = [] { return array({2, 640, 1}); }},
        {.expected = "Unsupported decoder projection type: float16",
         .projection = [] { return array({1, 640, 1}, MLMultiArrayDataType::float16); }},
        {.expected = "Decoder projection hidden size mismatch: [1, 512, 1]",
         .projection = [] { return array({1, 512, 1}); }},
        {.expected = "Decoder projection time axis must be 1: [1, 640, 2]",
         .projection = [] { return array({1, 640, 2}); }},
        {.expected = "Joint decision output missing token_id", .missingJointOutput = "token_id"},
        {.expected = "Joint decision output missing token_prob", .missingJointOutput = "token_prob"},
        {.expected = "Joint decision output missing duration", .missingJointOutput = "duration"},
        {.expected = "Duration bin index out of range: 5", .durationBin = 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        auto decoderModel = model([&](const MLFeatureProvider& in) {
            platform::MLDictionaryFeatureProvider::Dictionary out{
                {"h_out", in.featureValueForName("h_in").value()}, {"c_out", in.featureValueForName("c_in").value()}};
            if (auto p = c.projection()) out["decoder"] = MLFeatureValue::featureValueWithMultiArray(p);
            return out;
        });
        auto jointModel = model([&](const MLFeatureProvider&) {
            platform::MLDictionaryFeatureProvider::Dictionary out;
            auto token = array({1, 1, 1}, MLMultiArrayDataType::int32);
            token->setValue(0, kBlank);
            auto duration = array({1, 1, 1}, MLMultiArrayDataType::int32);
            duration->setValue(0, c.durationBin);
            out["token_id"] = MLFeatureValue::featureValueWithMultiArray(token);
            out["token_prob"] = MLFeatureValue::featureValueWithMultiArray(array({1, 1, 1}));
            out["duration"] = MLFeatureValue::featureValueWithMultiArray(duration);
            out.erase(c.missingJointOutput);
            return out;
        });
        TdtDecoderV3 decoder(AppLogger("TDT"), TdtConfig::defaultConfig());
        TdtDecoderState state;
        try {
            decoder.decode(c.encoder(), c.encoderLength, 8, *decoderModel, *jointModel, state, 0, false, 0);
            ADD_FAILURE() << "no error";
        } catch (const ASRError& e) {
            EXPECT_EQ(e.kind(), ASRError::Kind::processingFailed);
            EXPECT_EQ(e.message(), c.expected);
            EXPECT_EQ(std::string(e.what()), std::string("ASR processing failed: ") + c.expected);
        }
    }
}

TEST(TdtDecoderV3Test, HelpersFailWithTheirTexts) {
    const TdtDecoderV3 decoder(AppLogger("TDT"), TdtConfig::defaultConfig());
    // The step's width is the model's: a projection of another width does not fit it.
    try {
        TdtDecoderV3::prepareDecoderProjection(*array({1, 640, 1}), *array({1, 512, 1}));
        ADD_FAILURE();
    } catch (const ASRError& e) {
        EXPECT_EQ(e.message(), "Decoder projection hidden size mismatch: [1, 640, 1]");
    }
    try {
        TdtDecoderV3::prepareDecoderProjection(*array({1, 512, 1}), *array({1, 512, 2}));
        ADD_FAILURE();
    } catch (const ASRError& e) {
        EXPECT_EQ(e.message(), "Prepared decoder step shape mismatch: 1x512x2");
    }
    for (const int bin : {-1, 5}) {
        try {
            decoder.durationForBin(bin);
            ADD_FAILURE();
        } catch (const ASRError& e) {
            EXPECT_EQ(e.message(), "Duration bin index out of range: " + std::to_string(bin));
        }
    }
    EXPECT_EQ(decoder.durationForBin(4), 4);
    EXPECT_EQ(TdtDecoderV3::shapeDescription(*array({1, 640, 1})), "1x640x1");
}

TEST(TdtDecoderV3Test, ConfigurationThatWouldStallDecodingIsRejected) {
    struct Case {
        const char* name;
        std::function<void(TdtConfig&)> change;
    };
    const Case cases[] = {{"negative duration bin", [](TdtConfig& c) { c.durationBins = {0, -1, 2}; }},
                          {"no duration bins", [](TdtConfig& c) { c.durationBins.clear(); }},
                          {"negative token cap", [](TdtConfig& c) { c.maxTokensPerChunk = -1; }}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TdtConfig config;
        c.change(config);
        EXPECT_THROW(TdtDecoderV3(AppLogger("TDT"), config), std::invalid_argument);
    }
}

}  // namespace
}  // namespace rarivoredu
