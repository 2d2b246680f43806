#pragma once

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "Parloquin/services/TranscriptionRecord.h"
#include "Platform/system/Clock.h"
#include "Platform/system/UserDefaults.h"
#include "tests/support/FaultyFileWriter.h"
#include "tests/support/GoldenFile.h"
#include "tests/support/TemporaryDirectory.h"

namespace storetest {

// A clock the test sets by hand.
class ManualClock : public platform::Clock {
public:
    explicit ManualClock(platform::Date now = platform::Date(818387533.0)) : now_(now) {}
    platform::Date now() const override { return now_; }
    void set(platform::Date now) { now_ = now; }

private:
    platform::Date now_;
};

// A user-defaults store in a fresh folder, whose writes can be made to fail.
class Store {
public:
    Store() { open(); }
    void open() {
        defaults_.reset();
        auto writer = std::make_unique<testsupport::FaultyFileWriter>();
        writer_ = writer.get();
        defaults_ = std::make_unique<platform::UserDefaults>(directory_ / "defaults.json", std::move(writer));
    }
    // Opens the store again over a file holding these bytes.
    void reopenOver(const std::string& contents) {
        defaults_.reset();
        std::ofstream(directory_ / "defaults.json", std::ios::binary | std::ios::trunc) << contents;
        open();
    }
    platform::UserDefaults& defaults() { return *defaults_; }
    testsupport::FaultyFileWriter& writer() { return *writer_; }

private:
    testsupport::TemporaryDirectory directory_;
    std::unique_ptr<platform::UserDefaults> defaults_;
    testsupport::FaultyFileWriter* writer_ = nullptr;
};

// Runs a block of the test with the whole C library locale switched, then switches back.
class ScopedLocale {
public:
    explicit ScopedLocale(const char* name) : previous_(std::setlocale(LC_ALL, nullptr)) {
        if (!std::setlocale(LC_ALL, name)) {
            throw std::runtime_error(std::string("Locale ") + name + " is missing; scripts/install-deps.sh makes it");
        }
    }
    ~ScopedLocale() { std::setlocale(LC_ALL, previous_.c_str()); }

private:
    std::string previous_;
};

// The committed fixtures of the stores; expectGolden compares with one (PARLOQUIN_WRITE_GOLDEN=1
// writes it instead).
inline std::filesystem::path fixturePath(const std::string& name) { return testsupport::goldenPath("stores", name); }
inline std::string readFixture(const std::string& name) { return testsupport::readGolden("stores", name); }
inline void expectGolden(const std::string& name, const std::string& actual) {
    testsupport::expectGolden("stores", name, actual);
}

inline platform::UUID uuid(const char* text) { return *platform::UUID::fromString(text); }

// Three records, newest first, whose texts hold umlauts, quotes, commas, line breaks, a blank
// line, braces, a backslash and an emoji.
inline std::vector<parloquin::TranscriptionRecord> sampleRecords() {
    using parloquin::TranscriptionRecord;
    TranscriptionRecord a;
    a.id = uuid("E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    a.text = "Grüße aus Köln: \"Hallo\", sagte sie {leise} – C:\\Temp 😀";
    a.timestamp = platform::Date(818387533.0);  // 2026-12-08T01:52:13Z
    a.duration = 4.3;
    a.charCount = 54;
    a.wordCount = 9;
    a.language = "de";
    a.rtf = 0.05231;
    a.inferenceTime = 0.2249;

    TranscriptionRecord b;
    b.id = uuid("0F3A5C2B-8D4E-4F6A-9B1C-2D3E4F5A6B7C");
    b.text = "Erste Zeile\nzweite Zeile\n\nneuer Absatz, mit Komma";
    b.timestamp = platform::Date(818359542.75);  // 2026-12-07T18:05:42.75Z
    b.duration = 12.345;
    b.charCount = 49;
    b.wordCount = 8;

    TranscriptionRecord c;
    c.id = uuid("7C9E6679-7425-40DE-944B-E07FC1F90AE7");
    c.text = "Plain English, \"quoted\" and \"\" empty";
    c.timestamp = platform::Date(818300000.0);
    c.duration = 3.0;
    c.charCount = 36;
    c.wordCount = 6;
    c.language = "en";
    c.rtf = 0.12345;
    c.inferenceTime = 1.005;
    return {a, b, c};
}

}  // namespace storetest
