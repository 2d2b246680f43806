#include "RarivOredu/tts/ChunkInference.h"

#include <gtest/gtest.h>

#include <numeric>
#include <stdexcept>

#include "Platform/log/LogCapture.h"
#include "Platform/ml/InProcessEngine.h"
#include "Platform/ml/MLDictionaryFeatureProvider.h"
#include "RarivOredu/tts/ChunkAudioAssembly.h"
#include "RarivOredu/tts/KokoroModelCache.h"
#include "RarivOredu/tts/MultiArrayPool.h"
#include "RarivOredu/tts/TTSError.h"
#include "tests/RarivOredu/tts/TtsEngineTestSupport.h"
#include "tests/support/FixtureFeatures.h"
#include "tests/support/tts/KokoroFixtureModels.h"

namespace rarivoredu::KokoroSynthesizer {
namespace {

using platform::MLDictionaryFeatureProvider;
using platform::MLFeatureValue;
using platform::MLMultiArray;
using platform::MLMultiArrayDataType;
using Variant = ModelNames::TTS::Variant;

TEST(ChunkInferenceTest, PhonemesBecomeIdsBetweenTwoZerosAndUnknownOnesAreSkipped) {
    platform::LogCapture log;
    const KokoroVocabulary::Map vocabulary{{"h", 16}, {"ə", 34}, {" ", 1}};
    EXPECT_EQ(phonemeIds({"h", "ə", "?", " ", "h"}, vocabulary), (std::vector<std::int32_t>{0, 16, 34, 1, 16, 0}));
    EXPECT_TRUE(log.contains("Missing phoneme in vocab: '?'", "KokoroSynthesizer"));
    EXPECT_EQ(phonemeIds({"x", "y"}, vocabulary), (std::vector<std::int32_t>{0, 0}));
}

TEST(ChunkInferenceTest, TheVariantFollowsThePreferenceAndTheCapacities) {
    const TokenCapacities capacities{124, 249};
    struct Case {
        std::size_t ids;
        std::optional<Variant> preference;
        std::variant<Variant, std::string> expected;
    };
    const Case cases[] = {
        {71, std::nullopt, Variant::fiveSecond},
        {72, std::nullopt, Variant::fifteenSecond},
        {249, std::nullopt, Variant::fifteenSecond},
        {250, std::nullopt, "Processing failed: Chunk token count 250 exceeds supported capacities (short=124, long=249)"},
        {100, Variant::fiveSecond, Variant::fiveSecond},
        {125, Variant::fiveSecond, "Processing failed: Chunk token count 125 exceeds 5s capacity 124"},
        {3, Variant::fifteenSecond, Variant::fifteenSecond},
        {250, Variant::fifteenSecond, "Processing failed: Chunk token count 250 exceeds 15s capacity 249"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.ids << " ids");
        if (const auto* variant = std::get_if<Variant>(&c.expected)) {
            EXPECT_EQ(selectVariant(c.ids, c.preference, capacities), *variant);
        } else {
            EXPECT_EQ(ttstest::failureOf([&] { selectVariant(c.ids, c.preference, capacities); }), std::get<std::string>(c.expected));
        }
    }
    platform::LogCapture log;
    selectVariant(72, std::nullopt, capacities);
    EXPECT_TRUE(log.contains("Promoting chunk to Kokoro 15s variant: token count 72 exceeds short threshold=71 "
                             "(short capacity=124, long capacity=249)"));
    // A small 5 s model sets the threshold itself.
    EXPECT_EQ(selectVariant(41, std::nullopt, TokenCapacities{40, 249}), Variant::fifteenSecond);
}

TEST(ChunkInferenceTest, EntriesPlanEachChunkWithItsVariantAndCapacity) {
    const KokoroVocabulary::Map vocabulary{{"a", 11}, {" ", 1}};
    TextChunk shortChunk{{"a"}, {"a"}, {"a"}, 0.0f, 0, "a"};
    TextChunk longChunk;
    longChunk.words = {"a", "a"};
    longChunk.atoms = longChunk.words;
    longChunk.phonemes.assign(80, "a");
    longChunk.text = "a a";
    const auto entries = buildChunkEntries({shortChunk, longChunk}, vocabulary, std::nullopt, TokenCapacities{124, 249});
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].inputIds, (std::vector<std::int32_t>{0, 11, 0}));
    EXPECT_EQ(entries[0].chunkTemplate, (ChunkInfoTemplate{0, "a", 1, {"a"}, {"a"}, 0, 3, Variant::fiveSecond, 124}));
    EXPECT_EQ(entries[1].chunkTemplate.variant, Variant::fifteenSecond);
    EXPECT_EQ(entries[1].chunkTemplate.targetTokens, 249);
    EXPECT_EQ(entries[1].chunkTemplate.tokenCount, 82);
    EXPECT_EQ(entries[1].chunkTemplate.index, 1);
}

TEST(ChunkInferenceTest, IdsArePaddedWithZerosOrCutToTheTarget) {
    platform::LogCapture log;
    std::vector<std::int32_t> ids(60);
    std::iota(ids.begin(), ids.end(), 1);
    std::vector<std::int32_t> target(124, -1);
    fitInputIds(ids, target, "chunk");
    EXPECT_TRUE(std::equal(ids.begin(), ids.end(), target.begin()));
    EXPECT_TRUE(std::all_of(target.begin() + 60, target.end(), [](auto id) { return id == 0; }));
    std::vector<std::int32_t> shorter(10);
    fitInputIds(ids, shorter, "chunk");
    EXPECT_EQ(shorter, (std::vector<std::int32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_TRUE(log.contains("input_ids length (60) exceeds targetTokens=10 for chunk 'chunk' — truncating"));
}

MLFeatureValue floats(std::int64_t count) {
    auto array = MLMultiArray::create({1, count}, MLMultiArrayDataType::float32);
    for (std::int64_t i = 0; i < count; ++i) array->setValue(i, static_cast<double>(i % 100) / 100.0);
    return MLFeatureValue::featureValueWithMultiArray(array);
}

TEST(ChunkInferenceTest, AudioIsTheValidPartLessTheShortModelsTail) {
    struct Case {
        const char* name;
        std::int64_t elements;
        std::optional<MLFeatureValue> length;
        Variant variant;
        std::size_t expected;
    };
    const auto intArray = [](double value) {
        auto array = MLMultiArray::create({1}, MLMultiArrayDataType::int32);
        array->setValue(0, value);
        return MLFeatureValue::featureValueWithMultiArray(array);
    };
    const Case cases[] = {
        {"5 s, 50000 valid", 120000, intArray(50000), Variant::fiveSecond, 47600},
        {"5 s, 108000 valid", 120000, intArray(108000), Variant::fiveSecond, 108000},
        {"5 s, 2400 valid", 120000, intArray(2400), Variant::fiveSecond, 2400},
        {"15 s is never trimmed", 360000, intArray(50000), Variant::fifteenSecond, 50000},
        {"no valid length", 3000, std::nullopt, Variant::fifteenSecond, 3000},
        {"zero length means all", 3000, intArray(0), Variant::fifteenSecond, 3000},
        {"negative length means all", 3000, MLFeatureValue::featureValueWithInt64(-5), Variant::fifteenSecond, 3000},
        {"more than there is", 3000, MLFeatureValue::featureValueWithInt64(9000), Variant::fifteenSecond, 3000},
        {"a double, truncated", 3000, MLFeatureValue::featureValueWithDouble(1000.9), Variant::fifteenSecond, 1000},
        {"a double that is no number", 3000, MLFeatureValue::featureValueWithDouble(std::nan("")), Variant::fifteenSecond, 3000},
        {"a string", 3000, MLFeatureValue::featureValueWithString("7"), Variant::fifteenSecond, 3000},
    };
    for (const Case& c : cases) {
        MLDictionaryFeatureProvider::Dictionary outputs{{"audio", floats(c.elements)}};
        if (c.length) outputs.emplace("audio_length_samples", *c.length);
        const auto samples = extractAudio(MLDictionaryFeatureProvider(outputs), c.variant);
        ASSERT_EQ(samples.size(), c.expected) << c.name;
        EXPECT_FLOAT_EQ(samples[99], 0.99f) << c.name;
    }
    // Other element types are read element by element.
    auto doubles = MLMultiArray::create({3}, MLMultiArrayDataType::float64);
    doubles->setValue(1, 0.25);
    EXPECT_EQ(extractAudio(MLDictionaryFeatureProvider({{"audio", MLFeatureValue::featureValueWithMultiArray(doubles)}}),
                           Variant::fiveSecond),
              (std::vector<float>{0.0f, 0.25f, 0.0f}));
}

TEST(ChunkInferenceTest, OutputWithoutAudioFailsAndNamesWhatThereIs) {
    const MLDictionaryFeatureProvider noAudio({{"other", MLFeatureValue::featureValueWithInt64(1)}});
    EXPECT_EQ(ttstest::failureOf([&] { extractAudio(noAudio, Variant::fiveSecond); }),
              "Processing failed: Failed to extract 'audio' output. Features: [\"other\"]");
    const MLDictionaryFeatureProvider emptyAudio({{"audio", floats(0)}});
    EXPECT_EQ(ttstest::failureOf([&] { extractAudio(emptyAudio, Variant::fiveSecond); }),
              "Processing failed: Failed to extract 'audio' output. Features: [\"audio\"]");
    platform::LogCapture log;
    auto constant = MLMultiArray::create({4}, MLMultiArrayDataType::float32);
    constant->fill(0.5);
    EXPECT_EQ(extractAudio(MLDictionaryFeatureProvider({{"audio", MLFeatureValue::featureValueWithMultiArray(constant)}}),
                           Variant::fifteenSecond)
                  .size(),
              4u);
    EXPECT_TRUE(log.contains("Prediction produced constant signal (min=max=0.5)."));
}

TEST(ChunkInferenceTest, APredictionSeesTheFittedInputsAndGivesItsArraysBack) {
    testsupport::KokoroFixtureModels fixture;
    auto cache = std::make_shared<KokoroModelCache>();
    cache->registerPreloadedModels(fixture.ttsModels());
    const SynthesizerContext context = SynthesizerContext{}.withModelCache(cache);
    std::vector<std::int32_t> ids(60, 11);
    ids.front() = ids.back() = 0;
    const std::vector<float> embedding(256, 0.75f);
    const TextChunk chunk{{"a"}, {"a"}, {"a"}, 0.0f, 0, "a"};

    const ChunkPrediction prediction = predictChunk(context, chunk, ids, Variant::fiveSecond, 124, embedding);
    ASSERT_EQ(fixture.idsSeen().size(), 1u);
    EXPECT_EQ(fixture.idsSeen()[0], ids);  // the 60 attended ids; the 64 after them masked
    EXPECT_EQ(fixture.styleStartsSeen(), (std::vector<float>{0.75f}));
    const auto audio = fixture.audioFor(ids);
    EXPECT_EQ(prediction.samples, std::vector<float>(audio.begin(), audio.end() - 2400));
    EXPECT_GE(prediction.predictionTime, 0.0);

    // A failing prediction returns its inputs too, so the next one finds them in the pool.
    MultiArrayPool& pool = multiArrayPool();
    const std::size_t before = pool.availableCount({1, 124}, MLMultiArrayDataType::int32);
    fixture.setPredictionHook([](auto, const auto&) { throw std::runtime_error("model failed"); });
    EXPECT_THROW(predictChunk(context, chunk, ids, Variant::fiveSecond, 124, embedding), std::exception);
    EXPECT_EQ(pool.availableCount({1, 124}, MLMultiArrayDataType::int32), before);
    EXPECT_EQ(ttstest::failureOf([&] { predictChunk(context, chunk, {}, Variant::fiveSecond, 124, embedding); }),
              "Processing failed: No input IDs generated for chunk: a");
    EXPECT_EQ(ttstest::failureOf([&] { predictChunk(SynthesizerContext{}, chunk, ids, Variant::fiveSecond, 124, embedding); }),
              "Processing failed: KokoroSynthesizer requires a model cache context. Use TtSManager or "
              "withModelCache(_:operation:).");
}

TEST(ChunkInferenceTest, ChunksJoinWithACrossFadeOrAfterAPause) {
    struct Case {
        const char* name;
        std::size_t first, second;
        int pause;
        std::size_t expected;
    };
    for (const Case c : {Case{"cross-fade", 5000, 3000, 0, 5000 + 3000 - 192}, Case{"pause", 5000, 3000, 250, 5000 + 6000 + 3000},
                         Case{"empty chunk", 5000, 0, 0, 5000}, Case{"short chunk", 5000, 10, 0, 5000},
                         Case{"one-sample fade", 1, 1, 0, 1}}) {
        const std::vector<float> a(c.first, 1.0f);
        const std::vector<float> b(c.second, -1.0f);
        JoinedAudio joined;
        joined.append(a, true, 0);
        joined.append(b, false, c.pause);
        EXPECT_EQ(joined.sampleCount(), c.expected) << c.name;
        EXPECT_EQ(joined.samples().size(), c.expected) << c.name;
    }
    // Over the seam the first chunk fades out while the second fades in, evenly.
    const std::vector<float> ones(500, 1.0f);
    const std::vector<float> zeros(500, 0.0f);
    JoinedAudio faded;
    faded.append(ones, true, 0);
    faded.append(zeros, false, 0);
    const std::vector<float> output = faded.samples();
    ASSERT_EQ(output.size(), 808u);
    EXPECT_FLOAT_EQ(output[308], 1.0f);
    EXPECT_NEAR(output[308 + 96], 1.0f - 96.0f / 191.0f, 1e-6);
    EXPECT_FLOAT_EQ(output[499], 0.0f);
    EXPECT_FLOAT_EQ(faded.peakMagnitude(), 1.0f);
    // Chunks shorter than a seam fade into what came before them, seams included.
    const std::vector<float> tiny{0.5f, 0.5f};
    JoinedAudio shortOnes;
    shortOnes.append(ones, true, 0);
    shortOnes.append(tiny, false, 0);
    shortOnes.append(tiny, false, 0);
    std::vector<float> expected(499, 1.0f);
    expected.push_back(0.5f);
    EXPECT_EQ(shortOnes.samples(), expected);
    // The pause comes after the chunk that asks for it, as silence.
    const std::vector<float> one{1.0f};
    JoinedAudio paused;
    paused.append(one, true, 0);
    paused.append(one, false, 1);
    EXPECT_EQ(paused.samples(), (std::vector<float>{1.0f, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1.0f}));
}

}  // namespace
}  // namespace rarivoredu::KokoroSynthesizer
