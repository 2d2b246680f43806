#include "Platform/system/UserDefaults.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <optional>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "Platform/log/LogCapture.h"
#include "Platform/system/NSError.h"
#include "tests/support/FaultyFileWriter.h"
#include "tests/support/TemporaryDirectory.h"

namespace {

using platform::Data;
using platform::UserDefaults;
using Value = UserDefaults::Value;
using testsupport::FaultyFileWriter;

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const std::filesystem::path& path, const std::string& contents) {
    std::ofstream(path, std::ios::binary) << contents;
}

std::vector<std::string> fileNames(const std::filesystem::path& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Bitwise equality, so that -0.0 differs from 0.0 and a NaN equals a NaN.
bool sameBits(const Value& a, const Value& b) {
    if (a.index() != b.index()) return false;
    if (const auto* x = std::get_if<double>(&a)) {
        const double y = std::get<double>(b);
        if (std::isnan(*x)) return std::isnan(y);
        return std::memcmp(x, &y, sizeof y) == 0;
    }
    return a == b;
}

class UserDefaultsTest : public ::testing::Test {
protected:
    std::filesystem::path storePath() const { return directory_ / "Parloquin" / "defaults.json"; }

    testsupport::TemporaryDirectory directory_;
};

TEST_F(UserDefaultsTest, EveryTypeReadsBackExactlyAfterARestart) {
    Data allBytes;
    for (int b = 0; b < 256; ++b) allBytes.push_back(static_cast<std::uint8_t>(b));
    const std::vector<std::pair<std::string, Value>> cases = {
        {"bool true", Value(true)},
        {"bool false", Value(false)},
        {"int zero", Value(std::int64_t{0})},
        {"int min", Value(std::numeric_limits<std::int64_t>::min())},
        {"int max", Value(std::numeric_limits<std::int64_t>::max())},
        {"double integral stays a double", Value(3.0)},
        {"double tenth", Value(0.1)},
        {"double negative zero", Value(-0.0)},
        {"double tiny", Value(std::numeric_limits<double>::denorm_min())},
        {"double huge", Value(std::numeric_limits<double>::max())},
        {"double infinity", Value(std::numeric_limits<double>::infinity())},
        {"double minus infinity", Value(-std::numeric_limits<double>::infinity())},
        {"double nan", Value(std::numeric_limits<double>::quiet_NaN())},
        {"string empty", Value(std::string())},
        {"string text", Value(std::string("Grüße, \"Zitat\"\n{} \\ 😀"))},
        {"string looking like data", Value(std::string("{\"data\": \"AA==\"}"))},
        {"data empty", Value(Data{})},
        {"data every byte", Value(allBytes)},
        {"data one byte", Value(Data{0xFF})},
        {"data two bytes", Value(Data{0x00, 0x10})},
    };
    {
        UserDefaults defaults(storePath());
        for (const auto& [key, value] : cases) ASSERT_TRUE(defaults.set(key, value)) << key;
    }
    UserDefaults reopened(storePath());
    EXPECT_FALSE(reopened.loadProblem());
    for (const auto& [key, value] : cases) {
        const auto read = reopened.object(key);
        ASSERT_TRUE(read) << key;
        EXPECT_TRUE(sameBits(*read, value)) << key;
    }
}

TEST_F(UserDefaultsTest, RegisteredValuesAreReadButNeverWritten) {
    UserDefaults defaults(storePath());
    defaults.registerDefaults({{"autoSendText", Value(false)}, {"recordingMode", Value(std::string("auto"))}});
    EXPECT_EQ(defaults.stringForKey("recordingMode"), "auto");
    EXPECT_FALSE(std::filesystem::exists(storePath()));

    ASSERT_TRUE(defaults.setString("recordingMode", "hold"));
    EXPECT_EQ(defaults.stringForKey("recordingMode"), "hold");
    ASSERT_TRUE(defaults.removeObject("recordingMode"));
    EXPECT_EQ(defaults.stringForKey("recordingMode"), "auto");

    ASSERT_TRUE(defaults.setBool("autoSendText", true));
    UserDefaults reopened(storePath());
    EXPECT_TRUE(reopened.boolForKey("autoSendText"));
    EXPECT_FALSE(reopened.object("recordingMode"));
}

TEST_F(UserDefaultsTest, TypedReadsConvertOnlyBetweenNumbers) {
    struct Case {
        const char* name;
        std::optional<Value> stored;
        bool asBool;
        std::int64_t asInteger;
        double asDouble;
        std::optional<std::string> asString;
        std::optional<Data> asData;
    };
    const std::vector<Case> cases = {
        {"nothing", std::nullopt, false, 0, 0.0, std::nullopt, std::nullopt},
        {"true", Value(true), true, 1, 1.0, std::nullopt, std::nullopt},
        {"integer", Value(std::int64_t{49}), true, 49, 49.0, std::nullopt, std::nullopt},
        {"double truncates", Value(-2.75), true, -2, -2.75, std::nullopt, std::nullopt},
        {"double beyond 64 bits", Value(1e19), true, 0, 1e19, std::nullopt, std::nullopt},
        {"nan", Value(std::numeric_limits<double>::quiet_NaN()), false, 0, std::nan(""), std::nullopt, std::nullopt},
        {"numeric string", Value(std::string("1")), false, 0, 0.0, "1", std::nullopt},
        {"data", Value(Data{1, 2}), false, 0, 0.0, std::nullopt, Data{1, 2}},
    };
    UserDefaults defaults(storePath());
    for (const auto& c : cases) {
        if (c.stored) {
            ASSERT_TRUE(defaults.set(c.name, *c.stored));
        }
        EXPECT_EQ(defaults.boolForKey(c.name), c.asBool) << c.name;
        EXPECT_EQ(defaults.integerForKey(c.name), c.asInteger) << c.name;
        if (std::isnan(c.asDouble)) {
            EXPECT_TRUE(std::isnan(defaults.doubleForKey(c.name))) << c.name;
        } else {
            EXPECT_EQ(defaults.doubleForKey(c.name), c.asDouble) << c.name;
        }
        EXPECT_EQ(defaults.stringForKey(c.name), c.asString) << c.name;
        EXPECT_EQ(defaults.dataForKey(c.name), c.asData) << c.name;
    }
}

TEST_F(UserDefaultsTest, AnUnreadableStoreIsSetAsideAndTheStoreStartsEmpty) {
    struct Case {
        const char* name;
        std::string contents;
        bool isFolder;
    };
    const std::vector<Case> cases = {
        {"empty file", "", false},
        {"cut-off JSON", "{\"pasteInPlaceMode\": tr", false},
        {"an array", "[true]", false},
        {"not UTF-8", "{\"a\": \"\xFF\"}", false},
        {"a folder in its place", "", true},
        // Written back indented, such values took memory growing with the square of their depth;
        // the deepest overflowed the stack at every start.
        {"a value nested 33 deep", "{\"a\": " + std::string(33, '[') + std::string(33, ']') + "}", false},
        {"a value nested 100000 deep", "{\"a\": " + std::string(100000, '[') + std::string(100000, ']') + "}", false},
        {"a file of 17 MB", "{\"a\": \"" + std::string(17 << 20, 'x') + "\"}", false},
    };
    const std::regex setAsideName(R"(defaults\.json\.corrupt-\d{8}T\d{6}Z)");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::TemporaryDirectory directory;
        const auto path = directory / "defaults.json";
        if (c.isFolder) {
            std::filesystem::create_directory(path);
        } else {
            writeFile(path, c.contents);
        }
        platform::LogCapture log;
        UserDefaults defaults(path);

        const auto problem = defaults.loadProblem();
        ASSERT_TRUE(problem);
        EXPECT_TRUE(std::regex_match(problem->setAsidePath.filename().string(), setAsideName))
            << problem->setAsidePath;
        EXPECT_EQ(problem->setAsidePath.parent_path(), directory.path());
        if (!c.isFolder) {
            EXPECT_EQ(readFile(problem->setAsidePath), c.contents);
        }
        EXPECT_TRUE(log.contains("was not used", "UserDefaults"));
        EXPECT_FALSE(defaults.object("a"));

        // The store goes on with a fresh file; the set-aside one stays.
        ASSERT_TRUE(defaults.setBool("a", true));
        EXPECT_TRUE(UserDefaults(path).boolForKey("a"));
        EXPECT_TRUE(std::filesystem::exists(problem->setAsidePath));
    }
}

// One value the store cannot read costs nothing else: it reads as nothing, is logged, and stays
// in the file as it was until its key is set or removed.
TEST_F(UserDefaultsTest, AValueOfNoKnownTypeIsSkippedAndKeptInTheFile) {
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"null", "null"},
        {"a list", "[1, \"zwei\"]"},
        {"an unknown tagged value", "{\"blob\": \"AA==\"}"},
        {"broken base64", "{\"data\": \"AAA\"}"},
        {"an integer beyond 64 bits", "18446744073709551615"},
    };
    for (const auto& [name, odd] : cases) {
        SCOPED_TRACE(name);
        testsupport::TemporaryDirectory directory;
        const auto path = directory / "defaults.json";
        writeFile(path, "{\"odd\": " + odd +
                            ", \"pasteInPlaceMode\": false, \"TranscriptionHistory\": {\"data\": \"AQI=\"}}");
        platform::LogCapture log;
        {
            UserDefaults defaults(path);
            EXPECT_FALSE(defaults.loadProblem());
            EXPECT_EQ(fileNames(directory.path()), std::vector<std::string>{"defaults.json"});
            EXPECT_FALSE(defaults.object("odd"));
            EXPECT_EQ(defaults.object("pasteInPlaceMode"), Value(false));
            EXPECT_EQ(defaults.dataForKey("TranscriptionHistory"), (Data{1, 2}));
            EXPECT_TRUE(log.contains("The value of \"odd\" in " + path.string() + " has no known type", "UserDefaults"));
            ASSERT_TRUE(defaults.setBool("autoSendText", true));
        }
        EXPECT_EQ(nlohmann::json::parse(readFile(path))["odd"], nlohmann::json::parse(odd));
        {
            UserDefaults defaults(path);
            EXPECT_TRUE(defaults.boolForKey("autoSendText"));
            ASSERT_TRUE(defaults.removeObject("odd"));
        }
        EXPECT_FALSE(nlohmann::json::parse(readFile(path)).contains("odd"));
        EXPECT_EQ(UserDefaults(path).dataForKey("TranscriptionHistory"), (Data{1, 2}));
    }
}

// A full disk or a read-only folder loses nothing: the change stays in memory, the old file stays
// whole, the failure is handed on once, and the next write (or save, at quit) stores it all.
TEST_F(UserDefaultsTest, AFailedWriteIsKeptInMemoryAndSavedByTheNextWrite) {
    using Step = FaultyFileWriter::Step;
    for (const auto step : {Step::halfWritten, Step::flush, Step::rename}) {
        SCOPED_TRACE(static_cast<int>(step));
        testsupport::TemporaryDirectory directory;
        const auto path = directory / "defaults.json";
        auto owned = std::make_unique<FaultyFileWriter>();
        FaultyFileWriter& writer = *owned;
        UserDefaults defaults(path, std::move(owned));
        ASSERT_TRUE(defaults.setString("history", "old"));
        const std::string before = readFile(path);
        int calls = 0;
        const auto observation = defaults.observe("history", [&](const std::string&) { ++calls; });
        std::vector<UserDefaults::SaveProblem> reported;
        defaults.setSaveProblemHandler([&](const UserDefaults::SaveProblem& p) { reported.push_back(p); });

        writer.failAt = step;
        writer.errorCode = ENOSPC;
        platform::LogCapture log;
        EXPECT_FALSE(defaults.setString("history", "new"));
        EXPECT_FALSE(defaults.setBool("autoSendText", true));
        EXPECT_FALSE(defaults.save());

        EXPECT_EQ(defaults.stringForKey("history"), "new");
        EXPECT_TRUE(defaults.boolForKey("autoSendText"));
        EXPECT_TRUE(defaults.hasUnsavedChanges());
        EXPECT_EQ(readFile(path), before);
        EXPECT_EQ(fileNames(directory.path()), std::vector<std::string>{"defaults.json"});  // no temporary left
        EXPECT_EQ(calls, 1);
        EXPECT_TRUE(log.contains("Injected failure", "UserDefaults"));
        ASSERT_EQ(reported.size(), 1u);  // once for the whole run of failures
        EXPECT_EQ(reported[0].folder, directory.path());
        EXPECT_EQ(reported[0].errorCode, ENOSPC);
        ASSERT_TRUE(defaults.saveProblem());

        // Space again: the next write of any key takes the unsaved ones with it.
        writer.failAt = FaultyFileWriter::Step::none;
        EXPECT_TRUE(defaults.setBool("shareAnalytics", true));
        EXPECT_FALSE(defaults.hasUnsavedChanges());
        EXPECT_FALSE(defaults.saveProblem());
        UserDefaults reopened(path);
        EXPECT_EQ(reopened.stringForKey("history"), "new");
        EXPECT_TRUE(reopened.boolForKey("autoSendText"));

        // A new run of failures is reported again; save() alone (at quit) writes what is unsaved.
        writer.failAt = step;
        EXPECT_FALSE(defaults.setString("history", "newer"));
        EXPECT_EQ(reported.size(), 2u);
        writer.failAt = FaultyFileWriter::Step::none;
        const int attempts = writer.attempts;
        EXPECT_TRUE(defaults.save());
        EXPECT_EQ(UserDefaults(path).stringForKey("history"), "newer");
        EXPECT_TRUE(defaults.save());  // nothing unsaved: nothing written
        EXPECT_EQ(writer.attempts, attempts + 1);
    }
}

TEST_F(UserDefaultsTest, AProcessKilledHalfWayThroughAWriteLeavesThePreviousStore) {
    {
        UserDefaults defaults(storePath());
        ASSERT_TRUE(defaults.setString("TranscriptionHistory", "previous"));
        ASSERT_TRUE(defaults.setInteger("primaryHotkeyKeyCode", 49));
    }
    const std::string before = readFile(storePath());

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto writer = std::make_unique<FaultyFileWriter>();
        writer->failAt = FaultyFileWriter::Step::halfWritten;
        writer->killInstead = true;
        UserDefaults defaults(storePath(), std::move(writer));
        defaults.setString("TranscriptionHistory", std::string(100000, 'x'));
        ::_exit(0);  // not reached: the write kills the process
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_EQ(WTERMSIG(status), SIGKILL);

    EXPECT_EQ(readFile(storePath()), before);
    UserDefaults reopened(storePath());
    EXPECT_FALSE(reopened.loadProblem());
    EXPECT_EQ(reopened.stringForKey("TranscriptionHistory"), "previous");
    EXPECT_EQ(reopened.integerForKey("primaryHotkeyKeyCode"), 49);
}

TEST_F(UserDefaultsTest, ObserversHearEachChangeOfTheirKeyOnly) {
    UserDefaults defaults(storePath());
    std::vector<std::string> heard;
    auto observation = defaults.observe("showDockIcon", [&](const std::string& key) { heard.push_back(key); });

    defaults.registerDefaults({{"showDockIcon", Value(false)}});  // 1: the read value appears
    defaults.registerDefaults({{"showDockIcon", Value(false)}});  // same value: nothing
    ASSERT_TRUE(defaults.setBool("showDockIcon", false));           // stored, but reads the same
    ASSERT_TRUE(defaults.setBool("showDockIcon", true));            // 2
    ASSERT_TRUE(defaults.setBool("showDockIcon", true));            // unchanged
    ASSERT_TRUE(defaults.setBool("launchAtLogin", true));           // another key
    ASSERT_TRUE(defaults.removeObject("showDockIcon"));             // 3: back to the registered false
    EXPECT_EQ(heard.size(), 3u);

    observation.cancel();
    ASSERT_TRUE(defaults.setBool("showDockIcon", true));
    EXPECT_EQ(heard.size(), 3u);
}

// Another program (or the user with an editor) changes the file while the store is open.
TEST_F(UserDefaultsTest, SynchronizeTakesInChangesMadeToTheFile) {
    UserDefaults defaults(storePath());
    defaults.registerDefaults({{"showDockIcon", Value(false)}});
    ASSERT_TRUE(defaults.setBool("autoSendText", true));
    ASSERT_TRUE(defaults.setString("recordingOverlayStyle", "compact"));
    ASSERT_TRUE(defaults.setBool("showDockIcon", true));
    std::vector<std::string> heard;
    std::vector<UserDefaults::Observation> observations;
    for (const char* key : {"autoSendText", "recordingOverlayStyle", "showDockIcon", "shareAnalytics"})
        observations.push_back(defaults.observe(key, [&](const std::string& k) { heard.push_back(k); }));

    // One value changed, one unchanged, one added, one removed (its registered value returns).
    writeFile(storePath(), R"({"autoSendText": false, "recordingOverlayStyle": "compact", "shareAnalytics": true})");
    EXPECT_FALSE(defaults.synchronize());
    std::sort(heard.begin(), heard.end());
    EXPECT_EQ(heard, (std::vector<std::string>{"autoSendText", "shareAnalytics", "showDockIcon"}));
    EXPECT_FALSE(defaults.boolForKey("showDockIcon"));
    EXPECT_TRUE(defaults.boolForKey("shareAnalytics"));

    // Nothing new: nobody hears anything.
    heard.clear();
    EXPECT_FALSE(defaults.synchronize());
    EXPECT_TRUE(heard.empty());

    // The file removed (by mistake, or by a program cleaning up): the values stay, and the next
    // change writes them back.
    std::filesystem::remove(storePath());
    EXPECT_FALSE(defaults.synchronize());
    EXPECT_TRUE(heard.empty());
    EXPECT_EQ(defaults.stringForKey("recordingOverlayStyle"), "compact");
    ASSERT_TRUE(defaults.setBool("autoSendText", true));
    EXPECT_EQ(UserDefaults(storePath()).stringForKey("recordingOverlayStyle"), "compact");
}

// A broken edit loses nothing: the edited file is kept aside and the settings in use stay.
TEST_F(UserDefaultsTest, SynchronizeSetsABrokenFileAsideAndKeepsTheValuesInUse) {
    UserDefaults defaults(storePath());
    ASSERT_TRUE(defaults.setBool("autoSendText", true));
    std::vector<std::string> heard;
    auto observation = defaults.observe("autoSendText", [&](const std::string& k) { heard.push_back(k); });
    writeFile(storePath(), R"({"autoSendText": fals)");
    platform::LogCapture log;
    const auto problem = defaults.synchronize();
    ASSERT_TRUE(problem);
    EXPECT_EQ(readFile(problem->setAsidePath), R"({"autoSendText": fals)");
    EXPECT_NE(problem->description.find("the settings in use stay as they were"), std::string::npos)
        << problem->description;
    EXPECT_TRUE(defaults.boolForKey("autoSendText"));
    EXPECT_TRUE(heard.empty());
    // The values in use are in a valid file again at once, without waiting for a change.
    EXPECT_FALSE(defaults.hasUnsavedChanges());
    EXPECT_TRUE(UserDefaults(storePath()).boolForKey("autoSendText"));
    EXPECT_EQ(readFile(problem->setAsidePath), R"({"autoSendText": fals)");
    // Looking again (the set-aside itself changed the folder) finds nothing to take in.
    EXPECT_FALSE(defaults.synchronize());
    EXPECT_TRUE(defaults.boolForKey("autoSendText"));
    EXPECT_TRUE(heard.empty());
}

// The write-back after a broken edit fails too: the values wait in memory for save() at quit.
TEST_F(UserDefaultsTest, AWriteBackThatFailsIsMadeBySave) {
    auto owned = std::make_unique<FaultyFileWriter>();
    FaultyFileWriter& writer = *owned;
    UserDefaults defaults(storePath(), std::move(owned));
    ASSERT_TRUE(defaults.setString("TranscriptionHistory", "twenty records"));
    writeFile(storePath(), R"({"recordingMode":"toggle", GARBAGE)");
    writer.failAt = FaultyFileWriter::Step::rename;
    platform::LogCapture log;
    const auto problem = defaults.synchronize();
    ASSERT_TRUE(problem);
    EXPECT_TRUE(defaults.hasUnsavedChanges());
    EXPECT_FALSE(std::filesystem::exists(storePath()));

    writer.failAt = FaultyFileWriter::Step::none;
    EXPECT_TRUE(defaults.save());
    EXPECT_EQ(UserDefaults(storePath()).stringForKey("TranscriptionHistory"), "twenty records");

    // A file written meanwhile is taken in, but not over a change that is still unsaved.
    writer.failAt = FaultyFileWriter::Step::rename;
    EXPECT_FALSE(defaults.setString("TranscriptionHistory", "twenty-one records"));
    writeFile(storePath(), R"({"recordingMode": "toggle", "TranscriptionHistory": "stale"})");
    writer.failAt = FaultyFileWriter::Step::none;
    EXPECT_FALSE(defaults.synchronize());
    EXPECT_EQ(defaults.stringForKey("recordingMode"), "toggle");
    EXPECT_EQ(defaults.stringForKey("TranscriptionHistory"), "twenty-one records");
    EXPECT_FALSE(defaults.hasUnsavedChanges());
    UserDefaults reopened(storePath());
    EXPECT_EQ(reopened.stringForKey("TranscriptionHistory"), "twenty-one records");
    EXPECT_EQ(reopened.stringForKey("recordingMode"), "toggle");
}

TEST_F(UserDefaultsTest, WritesFromManyThreadsAllLand) {
    UserDefaults defaults(storePath());
    std::atomic<int> heard{0};
    std::vector<UserDefaults::Observation> observations;
    constexpr int kThreads = 4;
    constexpr int kKeysPerThread = 20;
    for (int t = 0; t < kThreads; ++t) {
        for (int k = 0; k < kKeysPerThread; ++k) {
            observations.push_back(defaults.observe("key" + std::to_string(t) + "." + std::to_string(k),
                                                    [&](const std::string&) { ++heard; }));
        }
    }
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&defaults, t] {
            for (int k = 0; k < kKeysPerThread; ++k) {
                defaults.setInteger("key" + std::to_string(t) + "." + std::to_string(k), t * 1000 + k);
                (void)defaults.integerForKey("key0.0");
            }
        });
    }
    for (auto& thread : threads) thread.join();

    EXPECT_EQ(heard.load(), kThreads * kKeysPerThread);
    UserDefaults reopened(storePath());
    for (int t = 0; t < kThreads; ++t) {
        for (int k = 0; k < kKeysPerThread; ++k) {
            EXPECT_EQ(reopened.integerForKey("key" + std::to_string(t) + "." + std::to_string(k)), t * 1000 + k);
        }
    }
}

TEST_F(UserDefaultsTest, TextThatIsNotUTF8IsRefusedAndChangesNothing) {
    UserDefaults defaults(storePath());
    ASSERT_TRUE(defaults.setString("name", "kept"));
    EXPECT_THROW(defaults.setString("name", "\xC3("), std::invalid_argument);
    EXPECT_THROW(defaults.setBool("\xFF", true), std::invalid_argument);
    EXPECT_EQ(UserDefaults(storePath()).stringForKey("name"), "kept");
}

TEST(UserDefaultsPathTest, TheStoreLivesInTheUsersConfigFolder) {
    struct Case {
        const char* name;
        const char* xdgConfigHome;  // nullptr: unset
        std::filesystem::path expected;
    };
    const std::vector<Case> cases = {
        {"XDG folder", "/srv/config", "/srv/config/Parloquin/defaults.json"},
        {"relative XDG folder is ignored", "relative/config", "/home/tester/.config/Parloquin/defaults.json"},
        {"empty XDG folder is ignored", "", "/home/tester/.config/Parloquin/defaults.json"},
        {"no XDG folder", nullptr, "/home/tester/.config/Parloquin/defaults.json"},
    };
    const auto saved = [](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    };
    const auto savedXdg = saved("XDG_CONFIG_HOME");
    const auto savedHome = saved("HOME");
    ::setenv("HOME", "/home/tester", 1);
    for (const auto& c : cases) {
        if (c.xdgConfigHome) {
            ::setenv("XDG_CONFIG_HOME", c.xdgConfigHome, 1);
        } else {
            ::unsetenv("XDG_CONFIG_HOME");
        }
        EXPECT_EQ(UserDefaults::defaultStorePath(), c.expected) << c.name;
    }
    const auto restore = [](const char* name, const std::optional<std::string>& value) {
        if (value) {
            ::setenv(name, value->c_str(), 1);
        } else {
            ::unsetenv(name);
        }
    };
    restore("XDG_CONFIG_HOME", savedXdg);
    restore("HOME", savedHome);
}

}  // namespace
