#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Platform/log/JournalLogSink.h"
#include "Platform/log/StandardErrorLogSink.h"

namespace platform {
namespace {

// Everything written to the write end of a pipe until it closes.
class PipeReader {
public:
    PipeReader() {
        if (::pipe(ends_) != 0) throw std::runtime_error("pipe");
        reader_ = std::thread([this] {
            char buffer[4096];
            ssize_t n;
            while ((n = ::read(ends_[0], buffer, sizeof buffer)) > 0) text_.append(buffer, static_cast<std::size_t>(n));
        });
    }
    ~PipeReader() {
        closeWriteEnd();
        if (reader_.joinable()) reader_.join();
        ::close(ends_[0]);
    }
    int writeEnd() const { return ends_[1]; }
    std::vector<std::string> lines() {
        closeWriteEnd();
        reader_.join();
        std::vector<std::string> lines;
        std::istringstream stream(text_);
        for (std::string line; std::getline(stream, line);) lines.push_back(line);
        return lines;
    }

private:
    void closeWriteEnd() {
        if (ends_[1] >= 0) ::close(ends_[1]);
        ends_[1] = -1;
    }
    int ends_[2] = {-1, -1};
    std::thread reader_;
    std::string text_;
};

TEST(StandardErrorLogSinkTest, EachEntryIsOneWholeLineWithSubsystemCategoryAndTypeInFront) {
    PipeReader pipe;
    StandardErrorLogSink sink(pipe.writeEnd());
    sink.write({OSLogType::error, "com.parloquin", "TranscriptionService", "❌ Failed to start audio engine: busy"});
    sink.write({OSLogType::defaultType, "com.rarivoredu", "AsrManager", "line one\nline two"});

    // Several threads at once: no line is torn or mixed with another.
    const std::string longText(3000, 'x');
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&sink, &longText, t] {
            for (int i = 0; i < 50; ++i)
                sink.write({OSLogType::info, "com.rarivoredu", "T" + std::to_string(t), longText});
        });
    }
    for (auto& thread : threads) thread.join();

    const auto lines = pipe.lines();
    ASSERT_EQ(lines.size(), 203u);
    EXPECT_EQ(lines[0], "com.parloquin/TranscriptionService error: ❌ Failed to start audio engine: busy");
    EXPECT_EQ(lines[1], "com.rarivoredu/AsrManager default: line one");
    EXPECT_EQ(lines[2], "line two");
    std::map<std::string, int> counts;
    for (std::size_t i = 3; i < lines.size(); ++i) {
        const auto cut = lines[i].find(" info: ");
        ASSERT_NE(cut, std::string::npos) << lines[i].substr(0, 80);
        EXPECT_EQ(lines[i].substr(cut + 7), longText);
        ++counts[lines[i].substr(0, cut)];
    }
    EXPECT_EQ(counts, (std::map<std::string, int>{{"com.rarivoredu/T0", 50}, {"com.rarivoredu/T1", 50},
                                                  {"com.rarivoredu/T2", 50}, {"com.rarivoredu/T3", 50}}));
}

// Entries reach standard error exactly when the journal cannot take them.
TEST(StandardErrorLogSinkTest, TheJournalHandsEntriesToItsFallbackOnlyWhenNoJournalRuns) {
    struct Counter : LogSink {
        int entries = 0;
        void write(const LogEntry&) override { ++entries; }
    };
    auto counter = std::make_shared<Counter>();
    JournalLogSink journal(counter);
    journal.write({OSLogType::info, "com.rarivoredu.tests", "StandardErrorLogSinkTest", "a test entry"});
    const bool journalRuns = std::filesystem::exists("/run/systemd/journal/socket");
    EXPECT_EQ(counter->entries, journalRuns ? 0 : 1);
}

}  // namespace
}  // namespace platform
