// The greedy decoder's own cost per encoder frame, apart from its models. One decode runs over a
// window with tiny in-process Decoder and JointDecision models (a token every fourth frame, blanks
// between, as a dictation gives); the same number of model calls is then made directly, with the
// inputs and backings set up once. The difference is what the decoding loop adds: frame and
// projection copies, bookkeeping, output reading. Heap allocations are counted the same way.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

#include "Platform/ml/InProcessEngine.h"
#include "Platform/ml/MLDictionaryFeatureProvider.h"
#include "Platform/ml/MLModel.h"
#include "RarivOredu/asr/TdtDecoderV3.h"
#include "RarivOredu/shared/ANEOptimizer.h"
#include "RarivOredu/shared/ModelPrediction.h"
#include "bench/asr/AllocationCounter.h"

namespace {

using namespace platform;
using rarivoredu::AppLogger;
using rarivoredu::TdtConfig;
using rarivoredu::TdtDecoderState;
using rarivoredu::TdtDecoderV3;

constexpr int kBlank = 8192;

MLFeatureValue value(const MLMultiArrayPtr& a) { return MLFeatureValue::featureValueWithMultiArray(a); }

// Tiny models: they read one number each and answer with arrays made once.
struct TinyModels {
    int decoderCalls = 0;
    int jointCalls = 0;
    MLMultiArrayPtr projection = MLMultiArray::create({1, 640, 1}, MLMultiArrayDataType::float32);
    MLMultiArrayPtr tokenId = MLMultiArray::create({1, 1, 1}, MLMultiArrayDataType::int32);
    MLMultiArrayPtr tokenProb = MLMultiArray::create({1, 1, 1}, MLMultiArrayDataType::float32);
    MLMultiArrayPtr duration = MLMultiArray::create({1, 1, 1}, MLMultiArrayDataType::int32);
    MLModelPtr decoder;
    MLModelPtr joint;

    TinyModels() {
        tokenProb->data<float>()[0] = 0.9f;
        duration->data<std::int32_t>()[0] = 1;
        decoder = MLModel::withEngine(std::make_shared<InProcessEngine>([this](const MLFeatureProvider& in) {
                                          ++decoderCalls;
                                          const auto targets = in.featureValueForName("targets")->multiArrayValue();
                                          projection->data<float>()[0] = static_cast<float>(targets->data<std::int32_t>()[0]);
                                          return MLDictionaryFeatureProvider::Dictionary{
                                              {"decoder", value(projection)},
                                              {"h_out", *in.featureValueForName("h_in")},
                                              {"c_out", *in.featureValueForName("c_in")}};
                                      }),
                                      {});
        joint = MLModel::withEngine(std::make_shared<InProcessEngine>([this](const MLFeatureProvider& in) {
                                        ++jointCalls;
                                        const auto frame = static_cast<int>(
                                            in.featureValueForName("encoder_step")->multiArrayValue()->data<float>()[0]);
                                        const auto last = static_cast<int>(
                                            in.featureValueForName("decoder_step")->multiArrayValue()->data<float>()[0]);
                                        const int token = 100 + frame;
                                        tokenId->data<std::int32_t>()[0] = frame % 4 == 0 && last != token ? token : kBlank;
                                        return MLDictionaryFeatureProvider::Dictionary{{"token_id", value(tokenId)},
                                                                                       {"token_prob", value(tokenProb)},
                                                                                       {"duration", value(duration)}};
                                    }),
                                    {});
    }
};

// An Encoder output whose frame i holds i in its first feature.
MLMultiArrayPtr encoderOutput(int frames) {
    auto output = MLMultiArray::create({1, 1024, frames}, MLMultiArrayDataType::float32);
    for (int i = 0; i < frames; ++i) output->data<float>()[i] = static_cast<float>(i);
    return output;
}

// The default settings, with room for the tokens of windows longer than the model's 15 s.
TdtConfig longWindowConfig() {
    TdtConfig config;
    config.maxTokensPerChunk = 1000;
    return config;
}

struct Window {
    explicit Window(int frames) : frames(frames), encoder(encoderOutput(frames)) {}

    // One decoding call on a state primed afresh.
    void decode() {
        state.lastToken.reset();
        state.predictorOutput.reset();
        state.timeJump.reset();
        benchmark::DoNotOptimize(decoder.decode(encoder, frames, frames, *models.decoder, *models.joint, state, 0,
                                                false, 0));
    }

    // The model calls one decode makes, made directly.
    void modelCallsOnly(int decoderCalls, int jointCalls) {
        for (int i = 0; i < decoderCalls; ++i) {
            benchmark::DoNotOptimize(rarivoredu::compatPrediction(*models.decoder, decoderInput, decoderOptions));
        }
        for (int i = 0; i < jointCalls; ++i) {
            benchmark::DoNotOptimize(rarivoredu::compatPrediction(*models.joint, jointInput, jointOptions));
        }
    }

    int frames;
    MLMultiArrayPtr encoder;
    TinyModels models;
    TdtDecoderV3 decoder{AppLogger("TDT"), longWindowConfig()};
    TdtDecoderState state;

    MLMultiArrayPtr targets = MLMultiArray::create({1, 1}, MLMultiArrayDataType::int32);
    MLMultiArrayPtr targetLength = MLMultiArray::create({1}, MLMultiArrayDataType::int32);
    MLDictionaryFeatureProvider decoderInput{{{"targets", value(targets)},
                                              {"target_length", value(targetLength)},
                                              {"h_in", value(state.hiddenState)},
                                              {"c_in", value(state.cellState)}}};
    MLPredictionOptions decoderOptions{{{"h_out", state.hiddenState}, {"c_out", state.cellState}}};
    TdtDecoderV3::ReusableJointInput jointInput{
        rarivoredu::ANEOptimizer::createAlignedArray({1, 1024, 1}, MLMultiArrayDataType::float32),
        rarivoredu::ANEOptimizer::createAlignedArray({1, 640, 1}, MLMultiArrayDataType::float32)};
    MLPredictionOptions jointOptions{{{"token_id", MLMultiArray::create({1, 1, 1}, MLMultiArrayDataType::int32)},
                                      {"token_prob", MLMultiArray::create({1, 1, 1}, MLMultiArrayDataType::float32)},
                                      {"duration", MLMultiArray::create({1, 1, 1}, MLMultiArrayDataType::int32)}}};
};

double microsecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
}

// Reports per encoder frame: the whole decode, its model calls alone, and the rest.
void BM_DecoderLoopPerFrame(benchmark::State& st) {
    Window window(static_cast<int>(st.range(0)));
    window.decode();  // warm-up, and the call counts of one decode
    const int decoderCalls = window.models.decoderCalls;
    const int jointCalls = window.models.jointCalls;

    double decodeMicros = 0;
    double modelMicros = 0;
    for (auto _ : st) {
        auto start = std::chrono::steady_clock::now();
        window.decode();
        decodeMicros += microsecondsSince(start);
        start = std::chrono::steady_clock::now();
        window.modelCallsOnly(decoderCalls, jointCalls);
        modelMicros += microsecondsSince(start);
    }
    const double n = static_cast<double>(st.iterations()) * window.frames;
    st.counters["decode_us_per_frame"] = decodeMicros / n;
    st.counters["model_calls_us_per_frame"] = modelMicros / n;
    st.counters["outside_models_us_per_frame"] = (decodeMicros - modelMicros) / n;
    st.counters["outside_share"] = (decodeMicros - modelMicros) / decodeMicros;
    st.counters["joint_calls_per_frame"] = static_cast<double>(jointCalls) / window.frames;
    st.counters["decoder_calls_per_frame"] = static_cast<double>(decoderCalls) / window.frames;
}
BENCHMARK(BM_DecoderLoopPerFrame)->Arg(140)->Arg(188)->Unit(benchmark::kMicrosecond);

// Heap allocations of one decode beyond those its model calls make themselves. They are the
// same for a short and a long window when no decoding step allocates.
void BM_DecoderAllocationsOutsideModelCalls(benchmark::State& st) {
    auto outsideAllocations = [](int frames, int& steps) {
        Window window(frames);
        window.decode();
        window.models.decoderCalls = window.models.jointCalls = 0;
        long before = benchasr::allocationsOnThisThread();
        window.decode();
        const long decodeAllocations = benchasr::allocationsOnThisThread() - before;
        const int decoderCalls = window.models.decoderCalls;
        const int jointCalls = window.models.jointCalls;
        steps = decoderCalls + jointCalls;
        before = benchasr::allocationsOnThisThread();
        window.modelCallsOnly(decoderCalls, jointCalls);
        return decodeAllocations - (benchasr::allocationsOnThisThread() - before);
    };
    int shortSteps = 0;
    int longSteps = 0;
    long shortWindow = 0;
    long longWindow = 0;
    for (auto _ : st) {
        shortWindow = outsideAllocations(50, shortSteps);
        longWindow = outsideAllocations(1000, longSteps);
    }
    st.counters["per_call"] = static_cast<double>(shortWindow);
    st.counters["per_step"] = static_cast<double>(longWindow - shortWindow) / (longSteps - shortSteps);
}
BENCHMARK(BM_DecoderAllocationsOutsideModelCalls)->Iterations(3)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
