// The program's help, its misuses and failures, each with its exit status.
#include <gtest/gtest.h>

#include "tests/RarivOredu/cli/ProgramRun.h"

namespace {

using testsupport::ProgramRun;
namespace fs = std::filesystem;

const std::string fixtures = std::string(PARLOQUIN_SOURCE_DIR) + "/tests/fixtures/";
const std::string speech = fixtures + "vad/speech-en.wav";

TEST(RarivOreduProgram, HelpListsCommandsAndExitStatusesInTheLocalesLanguage) {
    const testsupport::TemporaryDirectory home;
    const auto english = ProgramRun::of({"--help"}, home.path());
    EXPECT_EQ(english.status, 0);
    for (const std::string& part : std::vector<std::string>{"transcribe FILE...", "vad FILE", "diarize FILE", "speak TEXT|-", "models fetch",
                                   "Exit status:", "  4  the models"}) {
        EXPECT_NE(english.out.find(part), std::string::npos) << part;
    }
    const auto german = ProgramRun::of({"transcribe", "--help"}, home.path(), "de_DE.UTF-8");
    EXPECT_EQ(german.status, 0);
    EXPECT_NE(german.out.find("Rückgabewert:"), std::string::npos);
    EXPECT_NE(german.out.find("  3  eine Eingabedatei fehlt"), std::string::npos);

    const auto version = ProgramRun::of({"--version"}, home.path());
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "rarivoredu 0.1.0\n");
}

struct Failure {
    std::vector<std::string> arguments;
    int status;
    std::string message;  // part of standard error
};

TEST(RarivOreduProgram, MisusesMissingFilesAndMissingModelsEndWithTheirStatus) {
    const testsupport::TemporaryDirectory home;
    const std::string out = (home / "out.wav").string();
    const std::vector<Failure> failures{
        {{}, 2, "Usage: rarivoredu"},
        {{"frobnicate"}, 2, "Unknown command: frobnicate"},
        {{"transcribe"}, 2, "Missing argument: FILE"},
        {{"transcribe", "--bogus", "x", speech}, 2, "Unknown option: --bogus"},
        {{"transcribe", "--format", "docx", speech}, 2, "Bad value: --format docx"},
        {{"transcribe", speech, "--model"}, 2, "The option --model needs a value"},
        {{"transcribe", "--model=v4", speech}, 2, "Bad value: --model v4"},
        {{"vad", speech, speech}, 2, "Too many arguments"},
        {{"diarize", speech, "--speakers", "0"}, 2, "Bad value: --speakers 0"},
        {{"diarize", speech, "--format", "srt"}, 2, "Bad value: --format srt"},
        {{"speak", "hello"}, 2, "Missing argument: -o FILE"},
        {{"speak", "hello", "-o", out, "--speed", "fast"}, 2, "Bad value: --speed fast"},
        {{"speak", "hello", "-o", out, "--speed", "-1"}, 2, "Bad value: --speed -1"},
        {{"speak", "hello", "-o", out, "--voice", "nobody"}, 2, "Bad value: --voice nobody"},
        {{"speak", "  ", "-o", out}, 2, "Missing argument: TEXT"},
        {{"models", "sell"}, 2, "Bad value: models sell"},
        {{"models", "fetch", "everything"}, 2, "Bad value: everything"},
        {{"models", "import", speech}, 2, "Cannot tell what to import"},
        {{"transcribe", "/nonexistent/a.wav"}, 3, "No such file: /nonexistent/a.wav"},
        {{"transcribe", speech, "/nonexistent/b.wav"}, 3, "No such file: /nonexistent/b.wav"},
        {{"vad", "/nonexistent/a.wav"}, 3, "No such file"},
        {{"diarize", "/nonexistent/a.wav"}, 3, "No such file"},
        {{"models", "import", "/nonexistent/model.nemo"}, 3, "No such file"},
        {{"transcribe", fixtures + "asr/FORMAT.md"}, 4, "speech recognition models are not installed"},
        {{"transcribe", speech}, 4, "rarivoredu models fetch"},
        {{"transcribe", "--model", "v2", speech}, 4, "v2 speech recognition models are not installed"},
        {{"vad", speech}, 4, "voice activity model is not installed"},
        {{"diarize", speech}, 4, "diarization models are not installed"},
        {{"speak", "hello", "-o", out}, 4, "speech synthesis models are not installed"},
    };
    for (const Failure& failure : failures) {
        std::string line;
        for (const auto& argument : failure.arguments) line += argument + " ";
        const auto run = ProgramRun::of(failure.arguments, home.path());
        EXPECT_EQ(run.status, failure.status) << line << "\n" << run.err;
        EXPECT_NE(run.err.find(failure.message), std::string::npos) << line << "\n" << run.err;
        EXPECT_TRUE(run.out.empty()) << line << "\n" << run.out;
    }
    EXPECT_FALSE(fs::exists(out));
}

TEST(RarivOreduProgram, CheckpointsImportedMakeTheirModelsAndAudioThatCannotBeDecodedIsAMissingInput) {
    const testsupport::TemporaryDirectory home;
    const auto imported =
        ProgramRun::of({"models", "import", fixtures + "asr/tiny-parakeet-tdt.nemo"}, home.path());
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_NE(imported.err.find("Imported parakeet-v3"), std::string::npos) << imported.err;
    const auto diarizer = ProgramRun::of(
        {"models", "import", fixtures + "diarization/segmentation.bin", fixtures + "diarization/embedding.bin"},
        home.path());
    ASSERT_EQ(diarizer.status, 0) << diarizer.err;
    const std::string list = ProgramRun::of({"models", "list"}, home.path()).out;
    EXPECT_NE(list.find("parakeet-v3  installed"), std::string::npos) << list;
    EXPECT_NE(list.find("diarization  installed"), std::string::npos) << list;
    const auto run = ProgramRun::of({"transcribe", fixtures + "asr/FORMAT.md"}, home.path());
    EXPECT_EQ(run.status, 3) << run.err;
    EXPECT_NE(run.err.find("Could not read audio from"), std::string::npos) << run.err;
}

TEST(RarivOreduProgram, MessagesAreGermanInAGermanLocale) {
    const testsupport::TemporaryDirectory home;
    const auto option = ProgramRun::of({"vad", "--bogus", "1", speech}, home.path(), "de_AT.UTF-8");
    EXPECT_EQ(option.status, 2);
    EXPECT_NE(option.err.find("Unbekannte Option: --bogus"), std::string::npos) << option.err;
    const auto file = ProgramRun::of({"diarize", "/nonexistent/talk.wav"}, home.path(), "de_CH.UTF-8");
    EXPECT_EQ(file.status, 3);
    EXPECT_NE(file.err.find("Datei nicht gefunden: /nonexistent/talk.wav"), std::string::npos) << file.err;
    const auto models = ProgramRun::of({"vad", speech}, home.path(), "de_DE.UTF-8");
    EXPECT_EQ(models.status, 4);
    EXPECT_NE(models.err.find("Die Modelle sind nicht installiert"), std::string::npos) << models.err;
    EXPECT_NE(models.err.find("„rarivoredu models fetch“"), std::string::npos) << models.err;
}

TEST(RarivOreduProgram, ModelsListShowsTheApplicationsFolders) {
    const testsupport::TemporaryDirectory home;
    const auto run = ProgramRun::of({"models"}, home.path());
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string models = (home / "data" / "RarivOredu" / "Models").string();
    for (const std::string& line : std::vector<std::string>{"parakeet-v3  missing     " + models + "/parakeet-tdt-0.6b-v3-coreml\n",
                                   "parakeet-v2  missing     " + models + "/parakeet-tdt-0.6b-v2-coreml\n",
                                   "vad          missing     " + models + "/silero-vad-coreml\n",
                                   "diarization  missing     " + models + "/speaker-diarization-coreml\n",
                                   "tts          missing     " + (home / "cache").string() + "/rarivoredu/Models/kokoro\n"}) {
        EXPECT_NE(run.out.find(line), std::string::npos) << run.out;
    }
}

}  // namespace
