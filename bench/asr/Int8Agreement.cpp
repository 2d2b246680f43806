// How far an int8 Encoder moves the recogniser's decisions from the float one on the same
// checkpoint (two folders written by ParakeetImporter, without and with int8Encoder):
//   bench_asr_int8_agreement <fp32 version folder> <int8 version folder> [seconds]
// Runs the Preprocessor and both Encoders on speech-like audio, then the JointDecision on every
// frame of both outputs with the Decoder's output after the blank and after a few tokens, and
// prints the encoder output's relative error and how often the joint's best token and best
// duration agree.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Platform/ml/MLDictionaryFeatureProvider.h"
#include "Platform/ml/MLModel.h"

namespace {

using platform::MLModel;
using platform::MLMultiArray;
using platform::MLMultiArrayDataType;
using platform::MLMultiArrayPtr;

MLMultiArrayPtr run(const MLModel& model, const std::map<std::string, MLMultiArrayPtr>& inputs, const std::string& name,
                    std::shared_ptr<platform::MLFeatureProvider>* all = nullptr) {
    platform::MLDictionaryFeatureProvider::Dictionary values;
    for (const auto& [key, array] : inputs) values.emplace(key, platform::MLFeatureValue::featureValueWithMultiArray(array));
    auto result = model.predictionFromFeatures(platform::MLDictionaryFeatureProvider(std::move(values)));
    if (all) *all = result;
    return result->featureValueForName(name)->multiArrayValue();
}

MLMultiArrayPtr ints(MLMultiArray::Shape shape, int value) {
    auto a = MLMultiArray::create(shape, MLMultiArrayDataType::int32);
    a->fill(value);
    return a;
}

// Voiced syllables: a pitch that wanders, under an envelope of about two syllables a second.
MLMultiArrayPtr speechLike(int samples) {
    auto audio = MLMultiArray::create({1, samples}, MLMultiArrayDataType::float32);
    double phase = 0;
    for (int i = 0; i < samples; ++i) {
        const double t = i / 16000.0;
        phase += 2 * M_PI * (140 + 30 * std::sin(2 * M_PI * 0.4 * t)) / 16000.0;
        const double envelope = std::pow(std::sin(2 * M_PI * 1.7 * t), 2.0);
        audio->data<float>()[i] =
            static_cast<float>(0.3 * envelope * (std::sin(phase) + 0.5 * std::sin(2 * phase) + 0.25 * std::sin(3 * phase)));
    }
    return audio;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: %s <fp32 version folder> <int8 version folder> [seconds]\n", argv[0]);
        return 2;
    }
    const std::filesystem::path fp32 = argv[1], int8 = argv[2];
    const int seconds = argc == 4 ? std::atoi(argv[3]) : 15;
    const auto preprocessor = MLModel::modelWithContentsOfURL(fp32 / "Preprocessor.mlmodelc");
    const auto encoderFloat = MLModel::modelWithContentsOfURL(fp32 / "Encoder.mlmodelc");
    const auto encoderInt8 = MLModel::modelWithContentsOfURL(int8 / "Encoder.mlmodelc");
    const auto decoder = MLModel::modelWithContentsOfURL(fp32 / "Decoder.mlmodelc");
    const auto joint = MLModel::modelWithContentsOfURL(fp32 / "JointDecision.mlmodelc");

    std::shared_ptr<platform::MLFeatureProvider> mel;
    run(*preprocessor, {{"audio_signal", speechLike(seconds * 16000)}, {"audio_length", ints({1}, seconds * 16000)}},
        "mel", &mel);
    const std::map<std::string, MLMultiArrayPtr> melInputs{
        {"mel", mel->featureValueForName("mel")->multiArrayValue()},
        {"mel_length", mel->featureValueForName("mel_length")->multiArrayValue()}};
    std::shared_ptr<platform::MLFeatureProvider> encoded;
    const auto a = run(*encoderFloat, melInputs, "encoder", &encoded);
    const auto b = run(*encoderInt8, melInputs, "encoder");
    const int frames = static_cast<int>((*encoded->featureValueForName("encoder_length")->multiArrayValue())[0]);
    const auto width = a->shape()[1];

    double error = 0, norm = 0, worst = 0;
    for (std::int64_t d = 0; d < width; ++d) {
        for (int t = 0; t < frames; ++t) {
            const double x = a->valueAt({0, d, t}), y = b->valueAt({0, d, t});
            error += (x - y) * (x - y);
            norm += x * x;
            worst = std::max(worst, std::abs(x - y));
        }
    }

    const auto hiddenShape = decoder->modelDescription().input("h_in")->multiArrayConstraint->shape;
    auto zeros = MLMultiArray::create(hiddenShape, MLMultiArrayDataType::float32);
    // The blank's id is the number of pieces.
    std::ifstream vocabularyFile(fp32 / "parakeet_vocab.json");
    const int blank = static_cast<int>(nlohmann::json::parse(vocabularyFile).size());
    int steps = 0, sameToken = 0, sameDuration = 0, sameBoth = 0, tokenSteps = 0, sameNonBlank = 0;
    // The Decoder's output after the blank (the start) and after four tokens.
    for (const int token : {blank, 7, 130, 1999, 5021}) {
        const auto step = run(*decoder,
                              {{"targets", ints({1, 1}, std::min(token, blank))},
                               {"target_length", ints({1}, 1)},
                               {"h_in", zeros},
                               {"c_in", zeros}},
                              "decoder");
        auto frameA = MLMultiArray::create({1, width, 1}, MLMultiArrayDataType::float32);
        auto frameB = MLMultiArray::create({1, width, 1}, MLMultiArrayDataType::float32);
        for (int t = 0; t < frames; ++t) {
            for (std::int64_t d = 0; d < width; ++d) {
                frameA->data<float>()[d] = static_cast<float>(a->valueAt({0, d, t}));
                frameB->data<float>()[d] = static_cast<float>(b->valueAt({0, d, t}));
            }
            std::shared_ptr<platform::MLFeatureProvider> ra, rb;
            run(*joint, {{"encoder_step", frameA}, {"decoder_step", step}}, "token_id", &ra);
            run(*joint, {{"encoder_step", frameB}, {"decoder_step", step}}, "token_id", &rb);
            const double floatToken = (*ra->featureValueForName("token_id")->multiArrayValue())[0];
            const bool token = floatToken == (*rb->featureValueForName("token_id")->multiArrayValue())[0];
            if (floatToken != blank) {
                ++tokenSteps;
                sameNonBlank += token;
            }
            const bool duration = (*ra->featureValueForName("duration")->multiArrayValue())[0] ==
                                  (*rb->featureValueForName("duration")->multiArrayValue())[0];
            ++steps;
            sameToken += token;
            sameDuration += duration;
            sameBoth += token && duration;
        }
    }
    std::printf("%d s of audio, %d encoder frames of width %lld\n", seconds, frames, static_cast<long long>(width));
    std::printf("encoder output, int8 against float32: relative error %.4f (RMS of the difference / RMS of the "
                "output), largest difference %.4f\n",
                std::sqrt(error / norm), worst);
    std::printf("joint decisions over %d frame and decoder-state pairs: token agrees %.1f %%, duration %.1f %%, "
                "both %.1f %%\n",
                steps, 100.0 * sameToken / steps, 100.0 * sameDuration / steps, 100.0 * sameBoth / steps);
    std::printf("of these, %d where float32 picks a token rather than the blank: int8 picks the same token in %.1f %%\n",
                tokenSteps, tokenSteps ? 100.0 * sameNonBlank / tokenSteps : 0.0);
    return 0;
}
