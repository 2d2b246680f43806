#include "RarivOredu/asr/AsrModels.h"

#include <gtest/gtest.h>

#include "Platform/log/LogCapture.h"
#include "RarivOredu/asr/AsrModelsError.h"
#include "tests/support/FolderContents.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TemporaryDirectory.h"

namespace {

namespace fs = std::filesystem;
using platform::MLComputeUnits;
using rarivoredu::AsrModels;
using rarivoredu::AsrModelsError;
using rarivoredu::AsrModelVersion;
using rarivoredu::Repo;
using testsupport::ScopedEnvironment;
using testsupport::TemporaryDirectory;

TEST(AsrModelsErrorTest, Descriptions) {
    EXPECT_STREQ(AsrModelsError::modelNotFound("parakeet_vocab.json", "/m/v3/parakeet_vocab.json").what(),
                 "ASR model 'parakeet_vocab.json' not found at: /m/v3/parakeet_vocab.json");
    EXPECT_STREQ(AsrModelsError::downloadFailed("offline").what(), "Failed to download ASR models: offline");
    EXPECT_STREQ(AsrModelsError::loadingFailed("Vocabulary parsing failed").what(),
                 "Failed to load ASR models: Vocabulary parsing failed");
    EXPECT_STREQ(AsrModelsError::modelCompilationFailed("bad").what(),
                 "Failed to compile ASR models: bad. Try deleting the models and re-downloading.");
}

TEST(AsrModelVersionTest, EachVersionHasItsRepositoryAndFolder) {
    EXPECT_EQ(rarivoredu::repo(AsrModelVersion::v2), Repo::parakeetV2);
    EXPECT_EQ(rarivoredu::repo(AsrModelVersion::v3), Repo::parakeet);
    EXPECT_EQ(rarivoredu::folderName(AsrModelVersion::v2), "parakeet-tdt-0.6b-v2-coreml");
    EXPECT_EQ(rarivoredu::folderName(AsrModelVersion::v3), "parakeet-tdt-0.6b-v3-coreml");
}

TEST(AsrModelsTest, ConfigurationsAndTheDefaultFolder) {
    ScopedEnvironment environment;
    environment.set("XDG_DATA_HOME", "/data");
    EXPECT_EQ(AsrModels::defaultCacheDirectory(AsrModelVersion::v3), "/data/RarivOredu/Models/parakeet-tdt-0.6b-v3-coreml");
    EXPECT_EQ(AsrModels::defaultCacheDirectory(AsrModelVersion::v2), "/data/RarivOredu/Models/parakeet-tdt-0.6b-v2-coreml");

    const auto standard = AsrModels::defaultConfiguration();
    EXPECT_EQ(standard.computeUnits, MLComputeUnits::cpuAndNeuralEngine);
    EXPECT_TRUE(standard.allowLowPrecisionAccumulationOnGPU);
    environment.unset("CI");
    EXPECT_EQ(AsrModels::optimizedConfiguration(false).computeUnits, MLComputeUnits::cpuAndNeuralEngine);
    EXPECT_FALSE(AsrModels::optimizedConfiguration(false).allowLowPrecisionAccumulationOnGPU);
    environment.set("CI", "");
    EXPECT_EQ(AsrModels::optimizedConfiguration(true).computeUnits, MLComputeUnits::cpuOnly);
}

TEST(AsrModelsTest, ModelsExistOnlyWithAllFourModelsAndTheVocabularyInTheVersionFolder) {
    TemporaryDirectory sandbox;
    const fs::path models = sandbox.path() / "Models";
    const fs::path v3 = models / "parakeet-tdt-0.6b-v3-coreml";
    const fs::path v2 = models / "parakeet-tdt-0.6b-v2-coreml";
    auto fill = [](const fs::path& folder, bool vocabulary) {
        for (const auto& name : AsrModels::requiredModels()) fs::create_directories(folder / name);
        if (vocabulary) testsupport::writeFileMakingFolders(folder / "parakeet_vocab.json", "{}");
    };
    EXPECT_FALSE(AsrModels::modelsExist(v3, AsrModelVersion::v3));
    fill(v3, false);
    EXPECT_FALSE(AsrModels::modelsExist(v3, AsrModelVersion::v3));  // no vocabulary
    testsupport::writeFileMakingFolders(v3 / "parakeet_vocab.json", "{}");
    fs::remove_all(v3 / "Decoder.mlmodelc");
    EXPECT_FALSE(AsrModels::modelsExist(v3, AsrModelVersion::v3));
    fill(v3, true);
    fill(v2, true);

    struct Case {
        fs::path directory;
        std::optional<AsrModelVersion> version;
        bool exists;
    };
    const std::vector<Case> cases{
        {v3, AsrModelVersion::v3, true},
        {models / "custom", AsrModelVersion::v3, true},  // the last component gives way to the version folder
        {models / "custom" / "", AsrModelVersion::v3, true},
        {sandbox.path() / "elsewhere" / "custom", AsrModelVersion::v3, false},
        {models / "PARAKEET-TDT-0.6B-V2-COREML", std::nullopt, true},  // the version is read from the path
        {models / "custom", std::nullopt, true},                         // v3 when the path names none
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.directory.string());
        EXPECT_EQ(c.version ? AsrModels::modelsExist(c.directory, *c.version) : AsrModels::modelsExist(c.directory),
                  c.exists);
    }
    fs::remove(v2 / "parakeet_vocab.json");
    EXPECT_FALSE(AsrModels::modelsExist(models / "Parakeet-TDT-0.6b-v2-CoreML"));
}

TEST(AsrModelsTest, VocabularyIsAnObjectOfTokenTextsByDecimalId) {
    struct Case {
        const char* name;
        std::optional<std::string> file;  // nothing: no file
        AsrModels::Vocabulary expected;
        std::optional<std::string> error;
    };
    const std::vector<Case> cases{
        {"plain", R"({"0": "▁a", "1": "b", "x": "c"})", {{0, "▁a"}, {1, "b"}}, std::nullopt},
        {"signs and zeros", R"({"+5": "p", "-3": "m", "07": "z", "1.5": "f", " 2": "s", "": "e"})",
         {{5, "p"}, {-3, "m"}, {7, "z"}}, std::nullopt},
        {"beyond 64 bits", R"({"99999999999999999999": "big", "9223372036854775807": "max"})",
         {{9223372036854775807LL, "max"}}, std::nullopt},
        {"a number among the values", R"({"0": "a", "1": 5})", {}, "Failed to load ASR models: Vocabulary has an unexpected format"},
        {"an array", R"(["a", "b"])", {}, "Failed to load ASR models: Vocabulary has an unexpected format"},
        {"no token id at all", R"({"x": "a"})", {}, "Failed to load ASR models: Vocabulary holds no tokens"},
        {"not JSON", "not json", {}, "Failed to load ASR models: Vocabulary parsing failed"},
        {"a bare number", "42", {}, "Failed to load ASR models: Vocabulary parsing failed"},
        {"empty file", "", {}, "Failed to load ASR models: Vocabulary parsing failed"},
        {"missing", std::nullopt, {}, "ASR model 'parakeet_vocab.json' not found at: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryDirectory sandbox;
        const fs::path folder = sandbox.path() / "parakeet-tdt-0.6b-v3-coreml";
        fs::create_directories(folder);
        if (c.file) testsupport::writeFileMakingFolders(folder / "parakeet_vocab.json", *c.file);
        platform::LogCapture log;
        try {
            EXPECT_EQ(AsrModels::loadVocabulary(folder, AsrModelVersion::v3), c.expected);
            EXPECT_FALSE(c.error.has_value());
            EXPECT_TRUE(log.contains("Loaded vocabulary with " + std::to_string(c.expected.size()) + " tokens from " +
                                         (folder / "parakeet_vocab.json").string(),
                                     "AsrModels"));
        } catch (const AsrModelsError& error) {
            ASSERT_TRUE(c.error.has_value()) << error.what();
            EXPECT_EQ(std::string(error.what()).rfind(*c.error, 0), 0u) << error.what();
        }
    }
}

}  // namespace
