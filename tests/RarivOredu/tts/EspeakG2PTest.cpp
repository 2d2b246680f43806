#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Platform/log/LogCapture.h"
#include "Platform/text/UnicodeScalar.h"
#include "RarivOredu/tts/EspeakG2P.h"
#include "RarivOredu/tts/EspeakLibrary.h"
#include "RarivOredu/tts/PhonemeTokenFitting.h"
#include "tests/RarivOredu/tts/TtsTestSupport.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TemporaryDirectory.h"

namespace rarivoredu {
namespace {

namespace fs = std::filesystem;

using ttstest::joined;

std::vector<std::string> phonemes(const std::string& word) {
    const auto tokens = EspeakG2P::shared().phonemize(word, "en-us");
    return tokens.value_or(std::vector<std::string>{"<none>"});
}

// Words of every kind, as the chunker asks for them (cleaned). The phonemes are the library's
// and change with its data (eSpeak NG 1.51 on Debian 12, 1.52 on Debian 13): the tests check
// what this code makes of them.
const std::vector<std::string>& words() {
    static const std::vector<std::string> all = {
        "hello", "the", "café", "quixotic", "supercalifragilistic", "42", "1990",
        "80's",  "b2b", "mp3",  "3d",       "nasa",                 "usb", "don't",
    };
    return all;
}

// The library's own answer for a word, asked on the queue after the voice is set.
std::string libraryAnswer(const std::string& word) {
    EspeakG2P& g2p = EspeakG2P::shared();
    phonemes("the");
    return g2p.queue().sync([&] {
        const void* text = word.c_str();
        const char* answer = EspeakLibrary::shared()->textToPhonemes(&text, 0, 2);  // automatic text, IPA
        return std::string(answer != nullptr ? answer : "");
    });
}

std::vector<std::string> wordsOf(const std::string& text) {
    std::vector<std::string> parts;
    std::istringstream stream(text);
    for (std::string part; stream >> part;) parts.push_back(part);
    return parts;
}

TEST(EspeakG2PTest, GivesTheLibrarysPhonemesOneScalarPerToken) {
    for (const std::string& word : words()) {
        SCOPED_TRACE(word);
        const std::vector<std::string> tokens = phonemes(word);
        const std::string answer = libraryAnswer(word);
        ASSERT_FALSE(wordsOf(answer).empty());
        // The answer's words in order, one space token between two words and none around them.
        EXPECT_EQ(joined(tokens), joined(wordsOf(answer), " "));
        EXPECT_NE(tokens.front(), " ");
        EXPECT_NE(tokens.back(), " ");
        for (std::size_t i = 0; i < tokens.size(); ++i) {
            std::size_t end = 0;
            platform::nextScalar(tokens[i], end);
            EXPECT_EQ(end, tokens[i].size()) << "token " << i << " '" << tokens[i] << "'";
            if (i > 0 && tokens[i] == " ") {
                EXPECT_NE(tokens[i - 1], " ") << i;
            }
        }
    }
    // Numbers and initialisms are read as several words, a space token between them.
    for (const char* word : {"42", "b2b", "3d"}) {
        const auto tokens = phonemes(word);
        EXPECT_NE(std::find(tokens.begin(), tokens.end(), " "), tokens.end()) << word;
    }
}

// A reading of several words keeps every word, a space token between them.
TEST(EspeakG2PTest, ReadingsOfSeveralWordsFitTheVocabularyWhole) {
    const PhonemeSet symbols = ttstest::fixtureSymbols();
    const std::vector<std::pair<std::string, std::string>> fitted = {
        {"hello", "h|ə|l|ˈ|o|ʊ"},
        {"80's", "ˈ|e|ɪ|t|i| |z"},
        {"mp3", "ˌ|ɛ|m|p|ˈ|i| |θ|r|ˈ|i"},
        {"b2b", "b|ˈ|i| |t|ˈ|u| |b|ˈ|i"},
        {"3d", "θ|r|ˈ|i| |d|ˈ|i"},
    };
    for (const auto& [word, symbolsExpected] : fitted) {
        EXPECT_EQ(joined(mergeLexiconTokens(phonemes(word), symbols), "|"), symbolsExpected) << word;
    }
}

TEST(EspeakG2PTest, EightThreadsAtOnceGetWhatOneThreadGets) {
    std::vector<std::vector<std::string>> alone;
    for (const std::string& word : words()) alone.push_back(phonemes(word));

    constexpr int kThreads = 8;
    constexpr int kRounds = 25;
    std::vector<int> mismatches(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < kRounds; ++round) {
                // Each thread walks the words from another starting point.
                for (std::size_t i = 0; i < words().size(); ++i) {
                    const std::size_t at = (i + static_cast<std::size_t>(t)) % words().size();
                    if (phonemes(words()[at]) != alone[at]) ++mismatches[static_cast<std::size_t>(t)];
                }
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(mismatches, std::vector<int>(kThreads, 0));
}

TEST(EspeakG2PTest, RunsEveryCallOnItsQueue) {
    EspeakG2P& g2p = EspeakG2P::shared();
    EXPECT_EQ(g2p.queue().label(), "com.rarivoredu.tts.espeak.g2p");
    // Called from a block on the queue, as the chunker calls it, it does not wait for itself.
    const auto tokens = g2p.queue().sync([&] { return g2p.phonemize("hello", "en-us"); });
    ASSERT_TRUE(tokens.has_value());
    EXPECT_EQ(joined(*tokens), "həlˈoʊ");
}

TEST(EspeakG2PTest, ReportsAMissingLibraryInsteadOfFailingToStart) {
    EXPECT_EQ(EspeakLibrary::open("libespeak-ng-not-installed.so.1"), nullptr);
    const auto library = EspeakLibrary::open(EspeakLibrary::defaultFileName);
    ASSERT_NE(library, nullptr);
    EXPECT_TRUE(library->path().ends_with("libespeak-ng.so.1")) << library->path();
}

class EspeakDataDirectoryTest : public ::testing::Test {
protected:
    // A data folder that the library would accept: a copy of the installed one's essentials.
    fs::path installedData() {
        environment.unset("ESPEAK_DATA_PATH");
        return EspeakG2P::dataDirectory();
    }

    testsupport::ScopedEnvironment environment;
    testsupport::TemporaryDirectory folder;
};

TEST_F(EspeakDataDirectoryTest, FindsTheInstalledDataOrTheOneTheUserNames) {
    const fs::path installed = installedData();
    EXPECT_TRUE(fs::is_directory(installed / "voices")) << installed;
    EXPECT_EQ(installed.filename(), "espeak-ng-data");

    // ESPEAK_DATA_PATH may name the data folder itself or the folder holding it.
    environment.set("ESPEAK_DATA_PATH", installed.string());
    EXPECT_EQ(EspeakG2P::dataDirectory(), installed);
    environment.set("ESPEAK_DATA_PATH", installed.parent_path().string());
    EXPECT_EQ(EspeakG2P::dataDirectory(), installed);
}

TEST_F(EspeakDataDirectoryTest, AMissingDataPathIsReportedNotReplaced) {
    platform::LogCapture log;
    const fs::path nowhere = folder / "nowhere";
    environment.set("ESPEAK_DATA_PATH", nowhere.string());
    try {
        EspeakG2P::dataDirectory();
        FAIL() << "no error";
    } catch (const EspeakG2PError& error) {
        EXPECT_EQ(error.kind(), EspeakG2PError::Kind::dataBundleMissing);
        EXPECT_STREQ(error.what(), "espeak-ng-data.bundle is missing from the ESpeakNG framework resources.");
    }
    EXPECT_TRUE(log.contains("espeak-ng-data.bundle missing from ESpeakNG.framework resources at " + nowhere.string(),
                             "EspeakG2P"));
}

TEST_F(EspeakDataDirectoryTest, DataWithoutVoicesIsReportedAsSuch) {
    platform::LogCapture log;
    fs::create_directories(folder / "espeak-ng-data");
    environment.set("ESPEAK_DATA_PATH", folder.path().string());
    try {
        EspeakG2P::dataDirectory();
        FAIL() << "no error";
    } catch (const EspeakG2PError& error) {
        EXPECT_EQ(error.kind(), EspeakG2PError::Kind::voicesDirectoryMissing);
        EXPECT_STREQ(error.what(), "eSpeak NG voices directory is missing inside espeak-ng-data.bundle.");
    }
    const fs::path voices = folder / "espeak-ng-data" / "voices";
    EXPECT_TRUE(log.contains("espeak-ng-data.bundle found but voices directory missing at " + voices.string()));
}

// The library keeps its state for the whole process, so each of these starts in a fresh one and
// must carry on to its end after the failure.
class EspeakStartTest : public EspeakDataDirectoryTest {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(EspeakStartTest, DataWithoutVoicesFailsTheWordAndTheProcessGoesOn) {
    fs::create_directories(folder / "espeak-ng-data");
    const std::string path = folder.path().string();
    EXPECT_EXIT(
        {
            ::setenv("ESPEAK_DATA_PATH", path.c_str(), 1);
            try {
                EspeakG2P::shared().phonemize("hello", "en-us");
            } catch (const EspeakG2PError& error) {
                std::fprintf(stderr, "%s\n", error.what());
            }
            ::unsetenv("ESPEAK_DATA_PATH");
            const bool recovered = EspeakG2P::shared().phonemize("hello", "en-us").has_value();
            std::_Exit(recovered ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "eSpeak NG voices directory is missing inside espeak-ng-data\\.bundle\\.");
}

TEST_F(EspeakStartTest, DataTheLibraryCannotLoadFailsWithItsStatus) {
    // A voices folder but no phoneme tables: the library's start fails with "no such file".
    fs::create_directories(folder / "espeak-ng-data" / "voices");
    const std::string path = folder.path().string();
    EXPECT_EXIT(
        {
            ::setenv("ESPEAK_DATA_PATH", path.c_str(), 1);
            platform::LogCapture log;
            try {
                EspeakG2P::shared().phonemize("hello", "en-us");
            } catch (const EspeakG2PError& error) {
                const bool logged = log.contains("eSpeak NG initialization failed (rc=2)", "EspeakG2P");
                std::fprintf(stderr, "%s code %d logged %d\n", error.what(), error.code(), logged);
            }
            ::unsetenv("ESPEAK_DATA_PATH");
            const bool recovered = EspeakG2P::shared().phonemize("hello", "en-us").has_value();
            std::_Exit(recovered ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "eSpeak NG initialization failed with status code 2\\. code 2 logged 1");
}

TEST_F(EspeakStartTest, AFailedFirstVoiceStartsTheLibraryAgainNextTime) {
    EXPECT_EXIT(
        {
            platform::LogCapture log;
            try {
                EspeakG2P::shared().phonemize("hello", "xx-no-such-voice");
            } catch (const EspeakG2PError& error) {
                std::fprintf(stderr, "%s\n", error.what());
            }
            const auto tokens = EspeakG2P::shared().phonemize("hello", "en-us");
            const auto starts = log.matching("Using eSpeak NG data from framework: ", "EspeakG2P").size();
            const bool failureLogged = log.contains("Failed to set initial voice to xx-no-such-voice, error code: ");
            std::fprintf(stderr, "starts %zu logged %d\n", starts, failureLogged);
            std::_Exit(tokens && joined(*tokens) == "həlˈoʊ" ? 0 : 1);
        },
        ::testing::ExitedWithCode(0),
        "Failed to select eSpeak NG voice xx-no-such-voice \\(status code 2\\)\\.\nstarts 2 logged 1");
}

TEST_F(EspeakStartTest, AFailedLaterVoiceChangeKeepsTheVoiceInUse) {
    EXPECT_EXIT(
        {
            const auto first = EspeakG2P::shared().phonemize("hello", "en-us");
            try {
                EspeakG2P::shared().phonemize("hello", "xx-no-such-voice");
            } catch (const EspeakG2PError& error) {
                std::fprintf(stderr, "%s\n", error.what());
            }
            const auto again = EspeakG2P::shared().phonemize("hello", "en-us");
            std::_Exit(first && again && *first == *again ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "Failed to select eSpeak NG voice xx-no-such-voice \\(status code 2\\)\\.");
}

}  // namespace
}  // namespace rarivoredu
