#pragma once

// Texts compared with files committed under tests/fixtures/<subject>/. Running a test with
// PARLOQUIN_WRITE_GOLDEN=1 writes the files instead, to be read over before they are committed.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace testsupport {

inline std::filesystem::path goldenPath(const std::string& subject, const std::string& name) {
    return std::filesystem::path(PARLOQUIN_SOURCE_DIR) / "tests" / "fixtures" / subject / name;
}

inline std::string readGolden(const std::string& subject, const std::string& name) {
    std::ifstream in(goldenPath(subject, name), std::ios::binary);
    if (!in) throw std::runtime_error("Missing fixture " + goldenPath(subject, name).string());
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void expectGolden(const std::string& subject, const std::string& name, const std::string& actual) {
    if (std::getenv("PARLOQUIN_WRITE_GOLDEN")) {
        std::filesystem::create_directories(goldenPath(subject, name).parent_path());
        std::ofstream(goldenPath(subject, name), std::ios::binary) << actual;
        return;
    }
    EXPECT_EQ(actual, readGolden(subject, name)) << subject << "/" << name;
}

}  // namespace testsupport
