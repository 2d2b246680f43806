#include "RarivOredu/shared/ModelNames.h"
#include "RarivOredu/shared/Repo.h"

#include <gtest/gtest.h>

namespace {

using rarivoredu::ModelNames;
using rarivoredu::Repo;

TEST(RepoTest, NamesFoldersAndHubPathsOfEveryRepository) {
    struct Case {
        Repo repo;
        const char* rawValue;
        const char* name;
        const char* folderName;
    };
    const std::vector<Case> cases{
        {Repo::vad, "ViridErevidaro/silero-vad-coreml", "silero-vad-coreml", "silero-vad-coreml"},
        {Repo::parakeet, "ViridErevidaro/parakeet-tdt-0.6b-v3-coreml", "parakeet-tdt-0.6b-v3-coreml",
         "parakeet-tdt-0.6b-v3-coreml"},
        {Repo::parakeetV2, "ViridErevidaro/parakeet-tdt-0.6b-v2-coreml", "parakeet-tdt-0.6b-v2-coreml",
         "parakeet-tdt-0.6b-v2-coreml"},
        {Repo::diarizer, "ViridErevidaro/speaker-diarization-coreml", "speaker-diarization-coreml",
         "speaker-diarization-coreml"},
        {Repo::kokoro, "ViridErevidaro/kokoro-82m-coreml", "kokoro-82m-coreml", "kokoro"},
    };
    ASSERT_EQ(cases.size(), Repo::allCases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.rawValue);
        EXPECT_EQ(Repo::allCases[i], c.repo);
        EXPECT_EQ(c.repo.rawValue(), c.rawValue);
        EXPECT_EQ(c.repo.remotePath(), c.rawValue);
        EXPECT_EQ(c.repo.name(), c.name);
        EXPECT_EQ(c.repo.folderName(), c.folderName);
        EXPECT_EQ(Repo::fromRawValue(c.rawValue), c.repo);
        EXPECT_EQ(Repo::fromRawValue(c.name), std::nullopt);  // the owner belongs to the id
    }
    EXPECT_EQ(Repo::fromRawValue(""), std::nullopt);
    EXPECT_EQ(Repo::fromRawValue("viriderevidaro/silero-vad-coreml"), std::nullopt);
}

TEST(RepoTest, EachRepositoryRequiresItsEnginesModels) {
    using Set = std::set<std::string>;
    EXPECT_EQ(ModelNames::requiredModels(Repo::vad), Set{"silero-vad-unified-256ms-v6.0.0.mlmodelc"});
    const Set asr{"Preprocessor.mlmodelc", "Encoder.mlmodelc", "Decoder.mlmodelc", "JointDecision.mlmodelc"};
    EXPECT_EQ(ModelNames::requiredModels(Repo::parakeet), asr);
    EXPECT_EQ(ModelNames::requiredModels(Repo::parakeetV2), asr);
    EXPECT_EQ(ModelNames::requiredModels(Repo::diarizer),
              (Set{"pyannote_segmentation.mlmodelc", "wespeaker_v2.mlmodelc"}));
    EXPECT_EQ(ModelNames::requiredModels(Repo::kokoro), (Set{"kokoro_21_5s.mlmodelc", "kokoro_21_15s.mlmodelc"}));
    EXPECT_EQ(asr.count(ModelNames::ASR::vocabulary), 0u);
}

TEST(RepoTest, TextToSpeechVariants) {
    using Variant = ModelNames::TTS::Variant;
    EXPECT_EQ(ModelNames::TTS::allVariants[0], Variant::fiveSecond);
    EXPECT_STREQ(ModelNames::TTS::fileName(Variant::fiveSecond), "kokoro_21_5s.mlmodelc");
    EXPECT_EQ(ModelNames::TTS::maxDurationSeconds(Variant::fiveSecond), 5);
    EXPECT_STREQ(ModelNames::TTS::fileName(Variant::fifteenSecond), "kokoro_21_15s.mlmodelc");
    EXPECT_EQ(ModelNames::TTS::maxDurationSeconds(Variant::fifteenSecond), 15);
    EXPECT_EQ(ModelNames::TTS::defaultVariant, Variant::fifteenSecond);
    EXPECT_EQ(ModelNames::TTS::defaultBundle(), "kokoro_21_15s.mlmodelc");
}

}  // namespace
