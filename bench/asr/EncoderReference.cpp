// Our Encoder's output on a seeded input, for the check of ONNX Runtime's peer run against it:
//   bench_asr_encoder_reference <model set folder> <output folder> <mel frames>
// Loads <model set folder>/<version folder>/Encoder.mlmodelc as the recogniser does, runs it on
// "mel" [1, 128, frames] of seeded numbers spread as normalised features (every frame valid), and
// writes mel.f32 and encoder.f32 (raw float32, the arrays' row-major order) into the output folder.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "Platform/ml/MLDictionaryFeatureProvider.h"
#include "Platform/ml/MLModel.h"
#include "RarivOredu/asr/AsrModelVersion.h"

namespace {

using platform::MLMultiArray;
using platform::MLMultiArrayDataType;

void writeFloats(const std::filesystem::path& file, const MLMultiArray& array) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    for (std::int64_t i = 0; i < array.count(); ++i) {
        const float value = static_cast<float>(array[i]);
        out.write(reinterpret_cast<const char*>(&value), sizeof value);
    }
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

}  // namespace

int main(int argc, char** argv) {
    const long frames = argc == 4 ? std::atol(argv[3]) : 0;
    if (frames < 9) {
        std::fprintf(stderr, "usage: %s <model set folder> <output folder> <mel frames, at least 9>\n", argv[0]);
        return 2;
    }
    try {
        const auto bundle = std::filesystem::path(argv[1]) / std::string(folderName(rarivoredu::AsrModelVersion::v3)) /
                            "Encoder.mlmodelc";
        const auto model = platform::MLModel::modelWithContentsOfURL(bundle);
        constexpr std::int64_t mels = 128;
        auto mel = MLMultiArray::create({1, mels, frames}, MLMultiArrayDataType::float32);
        std::uint32_t state = 20261211;
        for (std::int64_t i = 0; i < mel->count(); ++i) {
            double sum = 0;  // the sum of four uniforms, about normal, unit spread
            for (int k = 0; k < 4; ++k) {
                state = state * 1664525u + 1013904223u;
                sum += static_cast<double>(state >> 8) / 16777216.0 - 0.5;
            }
            mel->data<float>()[i] = static_cast<float>(sum * 1.732);
        }
        auto length = MLMultiArray::create({1}, MLMultiArrayDataType::int32);
        length->data<std::int32_t>()[0] = static_cast<std::int32_t>(frames);
        platform::MLDictionaryFeatureProvider::Dictionary inputs;
        inputs.emplace("mel", platform::MLFeatureValue::featureValueWithMultiArray(mel));
        inputs.emplace("mel_length", platform::MLFeatureValue::featureValueWithMultiArray(length));
        const auto result = model->predictionFromFeatures(platform::MLDictionaryFeatureProvider(std::move(inputs)));
        const auto encoded = result->featureValueForName("encoder")->multiArrayValue();
        const std::filesystem::path out = argv[2];
        std::filesystem::create_directories(out);
        writeFloats(out / "mel.f32", *mel);
        writeFloats(out / "encoder.f32", *encoded);
        std::printf("encoder reference: mel [1, %lld, %ld] → encoder [1, %lld, %lld] in %s\n",
                    static_cast<long long>(mels), frames, static_cast<long long>(encoded->shape()[1]),
                    static_cast<long long>(encoded->shape()[2]), out.c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
        return 1;
    }
    return 0;
}
