// Audio files through the dictation service: formats, refusals, errors, records and their progress.
#include "Parloquin/services/TranscriptionService.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Parloquin/services/TranscriptionError.h"
#include "Platform/log/LogCapture.h"
#include "RarivOredu/asr/ASRError.h"
#include "tests/Parloquin/services/PasteFakes.h"
#include "tests/Parloquin/services/ServiceFixtures.h"
#include "tests/support/AudioSignals.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TemporaryDirectory.h"

namespace parloquin {
namespace {

using parloquin_test::ServiceHarness;
using parloquin_test::waitUntil;
using State = RecordingState;

struct Outcome {
    bool done = false;
    std::optional<TranscriptionRecord> record;
    std::exception_ptr error;
    std::optional<std::string> warning;
};

Outcome transcribe(TranscriptionService& service, const std::filesystem::path& url) {
    Outcome outcome;
    service.transcribeFile(url, [&](std::optional<TranscriptionRecord> record, std::exception_ptr error,
                                    std::optional<std::string> warning) {
        outcome = {true, std::move(record), error, std::move(warning)};
    });
    waitUntil([&] { return outcome.done; });
    return outcome;
}

template <typename Error>
std::optional<Error> errorOf(const Outcome& outcome) {
    try {
        if (outcome.error) std::rethrow_exception(outcome.error);
    } catch (const Error& error) {
        return error;
    } catch (...) {
    }
    return std::nullopt;
}

class TranscriptionServiceFileTest : public ::testing::Test {
protected:
    parloquin_test::FakeDesktop desktop;
    ServiceHarness harness;
    testsupport::TemporaryDirectory folder;
};

TEST_F(TranscriptionServiceFileTest, TranscribesEveryFormat) {
    TranscriptionService& service = harness.make();
    struct Case {
        std::string file;
        double seconds;
        double tolerance;  // compressed formats carry some encoder padding
        bool stereo = false;
        std::optional<std::string> warning = std::nullopt;
    };
    const Case cases[] = {
        {"long440.wav", 1.25, 0.002}, {"long440.aiff", 1.25, 0.002, true}, {"long440.caf", 1.25, 0.002},
        {"long440.mp3", 1.25, 0.06, true},  {"long440.m4a", 1.25, 0.06, true},
        // Cut off behind its index: it states 6 s and holds less than 3.
        {"cut440.m4a", 2.75, 0.06, false,
         "Die Datei endet vorzeitig: Nur 2.8 s von 6.0 s ließen sich lesen, die Transkription umfasst nur diesen "
         "Teil. Die Datei ist vermutlich unvollständig oder beschädigt."},
    };
    std::size_t call = 0;
    for (const Case& c : cases) {
        harness.states.clear();
        const Outcome outcome = transcribe(service, testsupport::audioFixture(c.file));
        ASSERT_FALSE(outcome.error) << c.file;
        ASSERT_TRUE(outcome.record) << c.file;
        EXPECT_EQ(outcome.warning, c.warning) << c.file;
        EXPECT_EQ(outcome.record->text, harness.recognizer->text()) << c.file;
        EXPECT_EQ(outcome.record->language, "de") << c.file;
        EXPECT_EQ(harness.states, (std::vector<State>{State::processing, State::idle})) << c.file;

        const std::vector<float> samples = harness.recognizer->calls().at(call++);
        EXPECT_NEAR(samples.size() / 16000.0, c.seconds, c.tolerance) << c.file;
        EXPECT_NEAR(outcome.record->duration, samples.size() / 16000.0, 1e-9) << c.file;
        // The stereo files carry 1 kHz on the right channel: both channels are heard.
        const auto steady = testsupport::middle(samples, 800);
        EXPECT_GT(testsupport::toneAmplitude(steady, 16000, 440), 0.05) << c.file;
        if (c.stereo) {
            EXPECT_GT(testsupport::toneAmplitude(steady, 16000, 1000), 0.05) << c.file;
        }
    }
    EXPECT_EQ(harness.history().records().size(), 6u);
    EXPECT_EQ(service.lastTranscription(), harness.recognizer->text());
}

TEST_F(TranscriptionServiceFileTest, FailuresLeaveTheServiceIdleAndStoreNothing) {
    TranscriptionService& service = harness.make();
    const auto missing = folder / "fehlt.wav";
    const auto damaged = testsupport::writeFile(folder / "kaputt.wav", "RIFF....WAVEfmt nonsense");
    const auto directory = folder / "ordner.wav";
    std::filesystem::create_directory(directory);
    struct Case {
        std::string name;
        std::filesystem::path url;
        std::exception_ptr recognizerError;
        std::function<bool(const Outcome&)> expected;
    };
    const std::vector<Case> cases = {
        {"under one second", testsupport::audioFixture("tone440.wav"), nullptr,
         [](const Outcome& o) {
             auto e = errorOf<TranscriptionError>(o);
             return e && e->kind() == TranscriptionError::Kind::audioTooShort;
         }},
        {"missing file", missing, nullptr,
         [](const Outcome& o) {
             auto e = errorOf<TranscriptionError>(o);
             return e && std::string(e->what()) == "Datei-Lesefehler: „fehlt.wav“ ist nicht vorhanden";
         }},
        {"damaged file", damaged, nullptr,
         [](const Outcome& o) {
             auto e = errorOf<TranscriptionError>(o);
             return e && std::string(e->what()) ==
                             "Datei-Lesefehler: „kaputt.wav“ ist leer, beschädigt oder in keinem lesbaren Audioformat";
         }},
        {"a folder", directory, nullptr,
         [](const Outcome& o) {
             auto e = errorOf<TranscriptionError>(o);
             return e && std::string(e->what()) == "Datei-Lesefehler: „ordner.wav“ lässt sich nicht öffnen";
         }},
        {"recogniser error", testsupport::audioFixture("long440.wav"),
         std::make_exception_ptr(rarivoredu::ASRError::processingFailed("kaputt")),
         [](const Outcome& o) { return errorOf<rarivoredu::ASRError>(o).has_value(); }},
    };
    for (const Case& c : cases) {
        harness.states.clear();
        harness.recognizer->failWith(c.recognizerError);
        platform::LogCapture log;
        const Outcome outcome = transcribe(service, c.url);
        EXPECT_FALSE(log.contains("❌")) << c.name;
        EXPECT_FALSE(outcome.record) << c.name;
        EXPECT_TRUE(c.expected(outcome)) << c.name;
        EXPECT_EQ(harness.states, (std::vector<State>{State::processing, State::idle})) << c.name;
        EXPECT_FALSE(service.isProcessing()) << c.name;
    }
    EXPECT_TRUE(harness.history().records().empty());
    EXPECT_EQ(service.lastTranscription(), "");
}

TEST_F(TranscriptionServiceFileTest, AFileWaitsForNoDictationAndNoOtherFile) {
    TranscriptionService& service = harness.make();
    const auto file = testsupport::audioFixture("long440.wav");

    service.startRecording();
    harness.states.clear();
    Outcome whileRecording = transcribe(service, file);
    EXPECT_EQ(errorOf<TranscriptionError>(whileRecording)->kind(), TranscriptionError::Kind::busy);
    EXPECT_TRUE(harness.states.empty());
    EXPECT_TRUE(service.isRecording());
    service.stopRecording();
    harness.waitForIdle();

    // A second file while the first is being recognised.
    std::atomic<bool> release{false};
    harness.recognizer->during([&] {
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    Outcome first;
    service.transcribeFile(file, [&](std::optional<TranscriptionRecord> r, std::exception_ptr e, std::optional<std::string> w) {
        first = {true, std::move(r), e, std::move(w)};
    });
    Outcome second = transcribe(service, file);
    EXPECT_EQ(errorOf<TranscriptionError>(second)->kind(), TranscriptionError::Kind::busy);
    EXPECT_EQ(std::string(errorOf<TranscriptionError>(second)->what()),
              "Es läuft bereits eine Aufnahme oder Transkription");
    release = true;
    ASSERT_TRUE(waitUntil([&] { return first.done; }));
    EXPECT_TRUE(first.record);
    EXPECT_EQ(harness.recognizer->calls().size(), 2u);  // the dictation and the first file
}

TEST_F(TranscriptionServiceFileTest, PrivacyEmptyTextAndSpokenCommands) {
    TranscriptionService& service = harness.make();
    const auto file = testsupport::audioFixture("long440.wav");

    harness.recognizer->setText("Erste Zeile neue Zeile zweite Zeile, alles in einer deutschen Datei.");
    Outcome spoken = transcribe(service, file);
    ASSERT_TRUE(spoken.record);
    EXPECT_EQ(spoken.record->text, "Erste Zeile neue Zeile zweite Zeile, alles in einer deutschen Datei.");

    harness.store.defaults().setBool("privacyModeEnabled", true);
    harness.recognizer->setText("Ein vertraulicher Text, der nirgends gespeichert werden soll.");
    Outcome secret = transcribe(service, file);
    ASSERT_TRUE(secret.record);
    EXPECT_EQ(secret.record->language, "de");
    EXPECT_EQ(harness.history().records().size(), 1u);
    EXPECT_EQ(harness.statistics().statistics().totalRecordings, 1);
    EXPECT_EQ(service.lastTranscription(), secret.record->text);

    harness.recognizer->setText("");
    Outcome empty = transcribe(service, file);
    EXPECT_TRUE(empty.done);
    EXPECT_FALSE(empty.record);
    EXPECT_FALSE(empty.error);
    EXPECT_EQ(service.lastTranscription(), secret.record->text);
}

}  // namespace
}  // namespace parloquin
