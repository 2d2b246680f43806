#include "RarivOredu/tts/kokoro/KokoroVoicePack.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include "RarivOredu/checkpoint/CheckpointError.h"
#include "RarivOredu/checkpoint/TorchCheckpoint.h"
#include "RarivOredu/tts/TtsConstants.h"
#include "RarivOredu/tts/TtsResourceDownloader.h"
#include "RarivOredu/tts/VoiceEmbeddings.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TemporaryDirectory.h"

namespace rarivoredu {
namespace {

namespace fs = std::filesystem;

fs::path fixture(const std::string& name) {
    return fs::path(PARLOQUIN_SOURCE_DIR) / "tests" / "fixtures" / "tts" / "kokoro" / name;
}

std::vector<float> rawFloats(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<float> values(bytes.size() / sizeof(float));
    std::memcpy(values.data(), bytes.data(), values.size() * sizeof(float));
    return values;
}

// Kokoro's pipeline voices p phonemes with row p − 1; n ids are p + 2.
int pipelineRow(int ids) { return std::clamp(ids - 2 - 1, 0, 509); }

TEST(KokoroVoicePackTest, TheRowFollowsThePipelinesPhonemeCount) {
    for (const int ids : {0, 2, 3, 4, 60, 124, 249, 512, 513, 1000}) {
        EXPECT_EQ(KokoroVoicePack::rowForTokenCount(ids), pipelineRow(ids)) << ids;
    }
}

// The 54 voices of kokoro-js (installed by scripts/install-deps.sh tests) as our voice files, read
// back by the synthesiser's own loader for every token count a row serves.
TEST(KokoroVoicePackTest, EveryVoiceOfThePackageReadsBackAsItsFloats) {
    const fs::path voices = fs::path(PARLOQUIN_NPM_MODULES) / "kokoro-js" / "voices";
    ASSERT_TRUE(fs::is_directory(voices)) << voices << " is missing: run scripts/install-deps.sh tests";
    testsupport::TemporaryDirectory cache;
    testsupport::ScopedEnvironment environment;
    environment.set("XDG_CACHE_HOME", cache.path().string());
    ASSERT_EQ(TtsConstants::availableVoices().size(), 54u);
    for (const std::string& voice : TtsConstants::availableVoices()) {
        SCOPED_TRACE(voice);
        const fs::path source = voices / (voice + ".bin");
        KokoroVoicePack::fromFloat32File(source).writeJSON(TtsResourceDownloader::voicesDirectory() / (voice + ".json"));
        const std::vector<float> floats = rawFloats(source);
        ASSERT_EQ(floats.size(), 510u * 256u);
        for (int ids = 2; ids <= 520; ++ids) {
            const auto data = KokoroSynthesizer::loadVoiceEmbedding(voice, ids, 256);
            ASSERT_EQ(data.voiceID, voice);
            const auto row = floats.begin() + static_cast<std::ptrdiff_t>(pipelineRow(ids)) * 256;
            ASSERT_TRUE(std::equal(data.vector.begin(), data.vector.end(), row, row + 256)) << ids << " ids";
        }
    }
}

TEST(KokoroVoicePackTest, TheRepositorysTensorFilesAreReadAndOtherSizesRefused) {
    const KokoroVoicePack pack = KokoroVoicePack::fromCheckpoint(TorchCheckpoint::open(fixture("voice-counting.pt")));
    for (const int row : {0, 5, 509}) {
        for (const int column : {0, 7, 255}) {
            EXPECT_EQ(pack.row(row)[column], static_cast<float>(row * 256 + column) / 1000.0f);
        }
    }
    try {
        KokoroVoicePack::fromCheckpoint(TorchCheckpoint::open(fixture("voice-short.pt")));
        ADD_FAILURE() << "a voice of 10 rows was read";
    } catch (const CheckpointError& error) {
        EXPECT_STREQ(error.what(), "voice has shape [10, 1, 256], expected [510, 1, 256]");
    }
    testsupport::TemporaryDirectory folder;
    std::ofstream(folder / "af_cut.bin", std::ios::binary) << std::string(1000, '\0');
    try {
        KokoroVoicePack::fromFloat32File(folder / "af_cut.bin");
        ADD_FAILURE() << "a voice of 1000 bytes was read";
    } catch (const CheckpointError& error) {
        EXPECT_STREQ(error.what(), "Voice file af_cut.bin of 1000 bytes (expected 522240) is malformed");
    }
}

}  // namespace
}  // namespace rarivoredu
