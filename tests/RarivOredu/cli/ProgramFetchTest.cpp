// "models fetch" against a loopback model hub.
#include <gtest/gtest.h>

#include "RarivOredu/shared/ModelNames.h"
#include "RarivOredu/shared/Repo.h"
#include "tests/RarivOredu/cli/ProgramRun.h"
#include "tests/support/ModelBundleFiles.h"
#include "tests/support/TestHub.h"
#include "tests/support/vad/VadFixtureModel.h"

namespace {

using testsupport::ProgramRun;

const std::string speech = std::string(PARLOQUIN_SOURCE_DIR) + "/tests/fixtures/vad/speech-en.wav";

// A voice activity model that any process loads: every chunk is speech.
testsupport::FileTree alwaysSpeech() {
    const testsupport::VadFixtureModel shapes(testsupport::VadFixtureModel::Script{});
    return testsupport::ModelBundleFiles::torchScript(
        shapes.model()->modelDescription(),
        "def forward(self, audio_input: Tensor, hidden_state: Tensor, cell_state: Tensor) -> Dict[str, Tensor]:\n"
        "    return {'vad_output': torch.full([1, 1], 0.9), 'new_hidden_state': hidden_state,\n"
        "            'new_cell_state': cell_state}\n");
}

TEST(RarivOreduProgramFetch, ModelsComeFromTheHubAndAMissingRepositoryFails) {
    testsupport::TestHub hub;
    hub.addFiles(std::string(rarivoredu::Repo(rarivoredu::Repo::vad).rawValue()),
                 rarivoredu::ModelNames::VAD::sileroVadFile, alwaysSpeech());
    const testsupport::TemporaryDirectory home;

    const auto fetched = ProgramRun::of({"models", "fetch", "vad"}, home.path(), "C", {}, hub.baseURL());
    ASSERT_EQ(fetched.status, 0) << fetched.err;
    EXPECT_NE(fetched.err.find("vad is installed"), std::string::npos) << fetched.err;
    EXPECT_NE(ProgramRun::of({"models"}, home.path()).out.find("vad          installed"), std::string::npos);
    const auto regions = ProgramRun::of({"vad", speech}, home.path());
    ASSERT_EQ(regions.status, 0) << regions.err;
    EXPECT_EQ(regions.out.rfind("0.000\t", 0), 0u) << regions.out;

    const auto missing = ProgramRun::of({"models", "fetch", "diarization"}, home.path(), "C", {}, hub.baseURL());
    EXPECT_EQ(missing.status, 1) << missing.err;
    EXPECT_NE(missing.err.find("Could not fetch the diarization models"), std::string::npos) << missing.err;
    EXPECT_NE(ProgramRun::of({"models"}, home.path()).out.find("diarization  missing"), std::string::npos);
}

}  // namespace
