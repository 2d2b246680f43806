#include "RarivOredu/tts/TtSManager.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <map>
#include <stdexcept>
#include <thread>

#include "Platform/log/LogCapture.h"
#include "RarivOredu/tts/KokoroModelCache.h"
#include "RarivOredu/tts/MultiArrayPool.h"
#include "RarivOredu/tts/TTSError.h"
#include "RarivOredu/tts/TtsConstants.h"
#include "tests/RarivOredu/tts/TtsEngineTestSupport.h"
#include "tests/support/FileBytes.h"
#include "tests/support/FolderContents.h"

namespace rarivoredu {
namespace {

namespace fs = std::filesystem;
using Variant = ModelNames::TTS::Variant;
using KokoroSynthesizer::SynthesisResult;
using platform::MLMultiArrayDataType;

// The samples the synthesizer keeps of a chunk the fixture voiced from these ids.
std::size_t chunkLength(const std::vector<std::int32_t>& ids, Variant variant, int samplesPerToken) {
    const std::size_t valid = ids.size() * static_cast<std::size_t>(samplesPerToken);
    return variant == Variant::fiveSecond && valid > 2400 && valid < 108000 ? valid - 2400 : valid;
}

// Several sentences of words from the fixture lexicon.
std::string lexiconText(int words) {
    static const std::vector<std::string> sentence = {"the", "cat", "sat", "on", "the", "mat", "and", "said", "hello", "world", "now"};
    std::string text;
    for (int i = 0; i < words; ++i) {
        const std::string& word = sentence[static_cast<std::size_t>(i) % sentence.size()];
        const bool first = i % static_cast<int>(sentence.size()) == 0;
        const bool last = i % static_cast<int>(sentence.size()) == static_cast<int>(sentence.size()) - 1 || i == words - 1;
        text += first && i > 0 ? " " : (first ? "" : " ");
        text += first ? std::string(1, static_cast<char>(std::toupper(word[0]))) + word.substr(1) : word;
        if (last) text += ".";
    }
    return text;
}

class TtSManagerTest : public ::testing::Test {
protected:
    void initialize(TtSManager& manager) {
        manager.initialize();
        synthesis.models.clearObservations();
    }
    // The lengths of the chunks the models voiced, in chunk order (predictions run in any order).
    std::vector<std::size_t> voicedLengths(const SynthesisResult& result) const {
        auto seen = synthesis.models.idsSeen();
        std::vector<std::size_t> lengths;
        for (const auto& chunk : result.chunks) {
            const auto found = std::find_if(seen.begin(), seen.end(), [&](const auto& ids) {
                return chunkLength(ids, chunk.variant, synthesis.models.options().samplesPerToken) == chunk.samples.size() &&
                       static_cast<int>(ids.size()) == chunk.tokenCount;
            });
            if (found == seen.end()) return {};
            lengths.push_back(chunkLength(*found, chunk.variant, synthesis.models.options().samplesPerToken));
            seen.erase(found);
        }
        return lengths;
    }

    ttstest::SynthesisSandbox synthesis{{}, {"af_heart", "bf_emma"}};
    platform::LogCapture log;
};

TEST_F(TtSManagerTest, SpeaksATextAsAWavFileFromModelsFetchedOnceThenFoundInTheCache) {
    TtSManager manager;
    initialize(manager);
    const SynthesisResult result = manager.synthesizeDetailed("Hello world.");

    ASSERT_EQ(result.chunks.size(), 1u);
    ASSERT_EQ(synthesis.models.idsSeen().size(), 1u);
    const std::vector<std::int32_t> ids = synthesis.models.idsSeen()[0];
    EXPECT_EQ(ids.front(), 0);
    EXPECT_EQ(ids.back(), 0);
    const auto& chunk = result.chunks[0];
    EXPECT_EQ(chunk.variant, Variant::fiveSecond);
    EXPECT_EQ(chunk.index, 0);
    EXPECT_EQ(chunk.words, (std::vector<std::string>{"Hello", "world"}));
    EXPECT_EQ(chunk.wordCount, 2);
    EXPECT_EQ(chunk.tokenCount, static_cast<int>(ids.size()));
    // The model's audio less the 5 s model's tail, divided by its peak.
    const std::vector<float> voiced = synthesis.models.audioFor(ids);
    const std::size_t length = voiced.size() - 2400;
    ASSERT_EQ(chunk.samples.size(), length);
    float peak = 0;
    for (std::size_t i = 0; i < length; ++i) peak = std::max(peak, std::fabs(voiced[i]));
    for (std::size_t i = 0; i < length; i += 997) EXPECT_FLOAT_EQ(chunk.samples[i], voiced[i] / peak) << "sample " << i;

    const ttstest::WavFile wav = ttstest::WavFile::parse(result.audio);
    EXPECT_EQ(wav.riff, "RIFF");
    EXPECT_EQ(wav.wave, "WAVE");
    EXPECT_EQ(wav.fmt, "fmt ");
    EXPECT_EQ(wav.data, "data");
    EXPECT_EQ(wav.fmtSize, 16u);
    EXPECT_EQ(wav.format, 1);
    EXPECT_EQ(wav.channels, 1);
    EXPECT_EQ(wav.sampleRate, 24000u);
    EXPECT_EQ(wav.byteRate, 48000u);
    EXPECT_EQ(wav.blockAlign, 2);
    EXPECT_EQ(wav.bitsPerSample, 16);
    EXPECT_EQ(wav.dataSize, 2 * length);
    EXPECT_EQ(wav.riffSize, 36 + 2 * length);
    ASSERT_EQ(wav.samples.size(), length);
    for (std::size_t i = 0; i < length; i += 997) EXPECT_NEAR(wav.samples[i], chunk.samples[i] * 32767.0f, 1.0);

    ASSERT_TRUE(result.diagnostics);
    EXPECT_EQ(result.diagnostics->audioSampleBytes, static_cast<std::int64_t>(4 * length));
    EXPECT_EQ(result.diagnostics->outputWavBytes, static_cast<std::int64_t>(result.audio.size()));
    EXPECT_EQ(result.diagnostics->lexiconEntryCount, 17);
    ASSERT_EQ(result.diagnostics->variantFootprints.size(), 1u);
    EXPECT_GT(result.diagnostics->variantFootprints.at(Variant::fiveSecond), 0);

    // Every file came from the hub once and is on disk now.
    std::map<std::string, int> fetches;
    for (const auto& target : synthesis.hub().requests()) ++fetches[target];
    for (const char* file : {"vocab_index.json", "us_lexicon_cache.json", "voices/af_heart.json",
                             "kokoro_21_5s.mlmodelc/coremldata.bin", "kokoro_21_15s.mlmodelc/coremldata.bin"}) {
        EXPECT_EQ(fetches[ttstest::SynthesisSandbox::filePath(file)], 1) << file;
        EXPECT_TRUE(fs::exists(synthesis.kokoroFolder() / file)) << file;
    }
    for (const auto& [target, count] : fetches) EXPECT_EQ(count, 1) << target;
    // A new manager with a cache of its own fetches nothing.
    synthesis.hub().clearRequests();
    TtSManager second("af_heart", 0, std::make_shared<KokoroModelCache>());
    second.initialize();
    EXPECT_EQ(second.synthesize("Hello world."), result.audio);
    EXPECT_TRUE(synthesis.hub().requests().empty());
}

TEST_F(TtSManagerTest, ChunksTakeTheVariantTheirTokensNeedAndJoinWithCrossFades) {
    TtSManager manager;
    initialize(manager);
    // Two full chunks and a short one.
    const std::string text = lexiconText(97) + " Hello world.";
    const SynthesisResult result = manager.synthesizeDetailed(text);

    ASSERT_EQ(result.chunks.size(), 3u);
    const std::vector<std::size_t> lengths = voicedLengths(result);
    ASSERT_EQ(lengths.size(), result.chunks.size());
    std::set<Variant> variants;
    std::size_t total = 0;
    for (std::size_t i = 0; i < result.chunks.size(); ++i) {
        const auto& chunk = result.chunks[i];
        EXPECT_EQ(chunk.index, static_cast<int>(i));
        EXPECT_EQ(chunk.variant, chunk.tokenCount <= 71 ? Variant::fiveSecond : Variant::fifteenSecond) << i;
        EXPECT_EQ(chunk.wordCount, static_cast<int>(chunk.words.size()));
        EXPECT_FALSE(chunk.text.empty());
        variants.insert(chunk.variant);
        total += lengths[i];
    }
    EXPECT_EQ(variants.size(), 2u) << "the text should need both variants";
    const std::size_t expected = total - 192 * (result.chunks.size() - 1);
    EXPECT_EQ(ttstest::WavFile::parse(result.audio).samples.size(), expected);
    EXPECT_EQ(result.diagnostics->audioSampleBytes, static_cast<std::int64_t>(4 * expected));
    EXPECT_EQ(result.diagnostics->variantFootprints.size(), 2u);
    EXPECT_TRUE(log.contains("Text split into " + std::to_string(result.chunks.size()) + " chunks", "KokoroSynthesizer"));
}

TEST_F(TtSManagerTest, SpeedChangesTheLengthByItsFactor) {
    TtSManager manager;
    initialize(manager);
    const std::string text = lexiconText(60);
    const SynthesisResult normal = manager.synthesizeDetailed(text);
    std::size_t voiced = 0;
    for (const auto& chunk : normal.chunks) voiced += chunk.samples.size();
    for (const float speed : {0.75f, 1.5f, 2.0f}) {
        SCOPED_TRACE(testing::Message() << "speed " << speed);
        const SynthesisResult changed = manager.synthesizeDetailed(text, std::nullopt, 0, speed);
        ASSERT_EQ(changed.chunks.size(), normal.chunks.size());
        for (std::size_t i = 0; i < normal.chunks.size(); ++i) {
            EXPECT_EQ(changed.chunks[i].samples.size(),
                      static_cast<std::size_t>(std::llround(normal.chunks[i].samples.size() / static_cast<double>(speed))));
        }
        const double samples = static_cast<double>(ttstest::WavFile::parse(changed.audio).samples.size());
        EXPECT_NEAR(samples, voiced / speed, voiced / speed * 0.02);
        EXPECT_EQ(changed.diagnostics->outputWavBytes, static_cast<std::int64_t>(changed.audio.size()));
    }
    EXPECT_EQ(ttstest::failureOf([&] { manager.synthesize(text, std::nullopt, 0, std::nanf("")); }),
              "Processing failed: Speed must be a finite number");
    // A speed the stretcher does not reach is refused, not voiced at another one.
    EXPECT_EQ(ttstest::failureOf([&] { manager.synthesize(text, std::nullopt, 0, 3.7f); }),
              "Processing failed: Speed 3.7 is outside the supported range 0.5 to 2");
}

TEST_F(TtSManagerTest, SynthesisToAFileReplacesItOnlyWhenItSucceeds) {
    const fs::path file = synthesis.sandbox.root() / "out" / "speech.wav";
    fs::create_directories(file.parent_path());
    testsupport::writeFile(file, "the old recording");

    TtSManager uninitialised;
    EXPECT_EQ(ttstest::failureOf([&] { uninitialised.synthesizeToFile("Hello world.", file); }),
              "Model Kokoro model not initialized not found");
    EXPECT_EQ(testsupport::readBytes(file), "the old recording");

    TtSManager manager;
    initialize(manager);
    synthesis.models.setPredictionHook([](auto, const auto&) { throw std::runtime_error("the model broke"); });
    EXPECT_NE(ttstest::failureOf([&] { manager.synthesizeToFile("Hello world.", file); }).find("the model broke"), std::string::npos);
    EXPECT_EQ(testsupport::readBytes(file), "the old recording");
    EXPECT_EQ(testsupport::folderContents(file.parent_path()), std::set<std::string>{"speech.wav"});

    synthesis.models.setPredictionHook({});
    manager.synthesizeToFile("Hello world.", file);
    const std::string written = testsupport::readBytes(file);
    EXPECT_EQ(written, std::string(reinterpret_cast<const char*>(manager.synthesize("Hello world.").data()), written.size()));
    EXPECT_EQ(testsupport::folderContents(file.parent_path()), std::set<std::string>{"speech.wav"});
    EXPECT_TRUE(log.contains("Saved synthesized audio to: speech.wav", "TtSManager"));
}

TEST_F(TtSManagerTest, BadVoiceIdsAreRefusedBeforeAnyNetworkOrFileAccess) {
    TtSManager manager;
    initialize(manager);
    synthesis.hub().clearRequests();
    const auto before = testsupport::folderContents(synthesis.sandbox.root());
    for (const std::string voice : {"../x", "a/b", "..", "af_heart.json"}) {
        EXPECT_EQ(ttstest::failureOf([&] { manager.synthesize("Hello world.", voice); }),
                  "Processing failed: Invalid voice id '" + voice + "': use only letters, digits, \"_\" and \"-\"");
        EXPECT_EQ(ttstest::failureOf([&] { manager.setDefaultVoice(voice); }),
                  "Processing failed: Invalid voice id '" + voice + "': use only letters, digits, \"_\" and \"-\"");
    }
    EXPECT_EQ(manager.defaultVoice(), "af_heart");
    EXPECT_TRUE(synthesis.hub().requests().empty());
    EXPECT_EQ(testsupport::folderContents(synthesis.sandbox.root()), before);
    EXPECT_TRUE(synthesis.models.idsSeen().empty());
}

TEST_F(TtSManagerTest, TheVoiceComesFromTheCallTheDefaultsOrTheSpeakerNumber) {
    TtSManager manager("  bf_emma \n", 7);
    EXPECT_EQ(manager.defaultVoice(), "bf_emma");
    const auto& voices = TtsConstants::availableVoices();
    struct Case {
        std::optional<std::string> voice;
        std::int64_t speaker;
        std::string expected;
    };
    for (const Case& c : {Case{" am_adam ", 7, "am_adam"}, Case{"  ", 7, "bf_emma"}, Case{std::nullopt, 7, "bf_emma"},
                          Case{std::nullopt, 55, voices[1]}, Case{std::nullopt, -1, voices[1]},
                          Case{std::nullopt, 54, voices[0]},
                          Case{std::nullopt, std::numeric_limits<std::int64_t>::min(),
                               voices[static_cast<std::size_t>((std::uint64_t{1} << 63) % 54)]}}) {
        EXPECT_EQ(manager.resolveVoice(c.voice, c.speaker), c.expected) << c.speaker;
    }
    EXPECT_EQ(TtSManager::normalizedVoice(" \t"), "af_heart");
    EXPECT_EQ(TtSManager("").defaultVoice(), "af_heart");

    manager.setDefaultVoice("   ", 3);
    EXPECT_EQ(manager.defaultVoice(), "af_heart");
    EXPECT_EQ(manager.resolveVoice(std::nullopt, 3), "af_heart");
    EXPECT_TRUE(fs::exists(synthesis.kokoroFolder() / "voices" / "af_heart.json"));
}

TEST_F(TtSManagerTest, SynthesisNeedsAnInitialisedManager) {
    TtSManager manager;
    EXPECT_EQ(ttstest::failureOf([&] { manager.synthesize("Hello world."); }), "Model Kokoro model not initialized not found");
    initialize(manager);
    EXPECT_TRUE(manager.isInitialized());
    EXPECT_TRUE(log.contains("TtSManager initialized with provided models", "TtSManager"));
    EXPECT_EQ(ttstest::failureOf([&] { manager.synthesize("  ( ) "); }),
              "Processing failed: Input text is empty after stripping parentheses");
    manager.cleanup();
    EXPECT_FALSE(manager.isInitialized());
    EXPECT_EQ(ttstest::failureOf([&] { manager.synthesize("Hello world."); }), "Model Kokoro model not initialized not found");
    EXPECT_EQ(manager.defaultVoice(), "af_heart");
}

TEST_F(TtSManagerTest, ModelsAtHandAreUsedAsTheyAre) {
    TtsModels onlyShort;
    onlyShort.kokoroModels[Variant::fiveSecond] = synthesis.models.model(Variant::fiveSecond);
    auto cache = std::make_shared<KokoroModelCache>();
    TtSManager manager("af_heart", 0, cache);
    manager.initializeWithModels(onlyShort, std::set<std::string>{"bf_emma"});
    EXPECT_EQ(synthesis.hub().requestCount(".mlmodelc"), 0);
    EXPECT_TRUE(fs::exists(synthesis.kokoroFolder() / "voices" / "bf_emma.json"));
    const SynthesisResult result = manager.synthesizeDetailed("Hello world.", "bf_emma", 0, 1.0f, Variant::fiveSecond);
    EXPECT_EQ(result.chunks.at(0).variant, Variant::fiveSecond);
    EXPECT_EQ(synthesis.hub().requestCount(".mlmodelc"), 0);
    EXPECT_EQ(synthesis.models.styleStartsSeen().back(), synthesis.models.voiceVector("bf_emma")[0]);

    // The long model is fetched into the folder beside the voices, which stay.
    const std::string repo = testsupport::KokoroFixtureModels::repoId;
    const auto longRequest = manager.synthesizeDetailed(lexiconText(40), "bf_emma");
    EXPECT_EQ(longRequest.chunks.at(0).variant, Variant::fifteenSecond);
    EXPECT_EQ(synthesis.hub().requestCount(testsupport::TestHub::listingPath(repo, "kokoro_21_15s.mlmodelc")), 1);
    const auto requests = synthesis.hub().requests();
    EXPECT_EQ(std::count(requests.begin(), requests.end(), testsupport::TestHub::listingPath(repo)), 0);
    EXPECT_EQ(synthesis.hub().requestCount("kokoro_21_5s.mlmodelc"), 0);
    EXPECT_TRUE(fs::exists(synthesis.kokoroFolder() / "voices" / "bf_emma.json"));
    EXPECT_TRUE(fs::exists(synthesis.kokoroFolder() / "kokoro_21_15s.mlmodelc" / "coremldata.bin"));
}

TEST_F(TtSManagerTest, BracketsThatJoinWordsKeepPronunciationsOnTheirWords) {
    TtSManager manager;
    initialize(manager);
    manager.synthesize("Say(now)hello the [cat](/ðə/).");
    EXPECT_FALSE(log.contains("Unused phonetic overrides"));
    EXPECT_FALSE(log.contains("Skipping stale phonetic override"));
    ASSERT_EQ(synthesis.models.idsSeen().size(), 1u);
    const std::vector<std::int32_t> ids = synthesis.models.idsSeen()[0];
    // ð ə then "." close the chunk: the override's symbols, not those of "cat".
    EXPECT_EQ(std::vector<std::int32_t>(ids.end() - 4, ids.end()), (std::vector<std::int32_t>{44, 34, 3, 0}));
}

TEST_F(TtSManagerTest, AFailedChunkFailsTheRequestStopsTheRestAndLeavesTheEngineUsable) {
    TtSManager manager;
    initialize(manager);
    const std::string text = lexiconText(400);
    int calls = 0;
    std::mutex lock;
    synthesis.models.setPredictionHook([&](auto, const auto&) {
        const std::lock_guard<std::mutex> guard(lock);
        if (++calls == 2) throw std::runtime_error("chunk two broke");
    });
    EXPECT_NE(ttstest::failureOf([&] { manager.synthesize(text); }).find("chunk two broke"), std::string::npos);
    const std::size_t tried = synthesis.models.idsSeen().size();
    synthesis.models.setPredictionHook({});
    synthesis.models.clearObservations();
    const SynthesisResult result = manager.synthesizeDetailed(text);
    EXPECT_LT(tried, result.chunks.size());
    EXPECT_EQ(synthesis.models.idsSeen().size(), result.chunks.size());
}

TEST(TtSManagerLongTextTest, AFiveThousandWordRequestRunsWithinThePoolsBound) {
    ttstest::SynthesisSandbox synthesis({124, 249, 256, 24});
    TtSManager manager;
    manager.initialize();
    synthesis.models.clearObservations();
    // Slow predictions, so that as many run at once as the engine lets.
    synthesis.models.setPredictionHook([](auto, const auto&) { std::this_thread::sleep_for(std::chrono::milliseconds(1)); });
    const SynthesisResult result = manager.synthesizeDetailed(lexiconText(5000));

    // Four predictions at a time, and the pool holds what four of them use: two id arrays of each
    // length, a style and a phase array each. Far fewer than one set per chunk.
    constexpr std::size_t mostAtOnce = 4;
    EXPECT_GT(result.chunks.size(), 100u);
    EXPECT_EQ(synthesis.models.idsSeen().size(), result.chunks.size());
    EXPECT_LE(static_cast<std::size_t>(synthesis.models.mostPredictionsAtOnce()), mostAtOnce);
    auto& pool = KokoroSynthesizer::multiArrayPool();
    const std::size_t shortIds = pool.availableCount({1, 124}, MLMultiArrayDataType::int32);
    const std::size_t longIds = pool.availableCount({1, 249}, MLMultiArrayDataType::int32);
    const std::size_t styles = pool.availableCount({1, 256}, MLMultiArrayDataType::float32);
    const std::size_t phases = pool.availableCount({1, 9}, MLMultiArrayDataType::float32);
    EXPECT_LE(shortIds, 2 * mostAtOnce);
    EXPECT_LE(longIds, 2 * mostAtOnce);
    EXPECT_LE(styles, mostAtOnce);
    EXPECT_LE(phases, mostAtOnce);
    EXPECT_LT(shortIds + longIds + styles + phases, result.chunks.size() / 4);
    // Every input array went back to the pool.
    EXPECT_GE(longIds, 2u);
}

}  // namespace
}  // namespace rarivoredu
