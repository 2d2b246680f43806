#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "tests/support/TemporaryDirectory.h"

namespace testsupport {

// One run of the rarivoredu program in a shell, with its own models folders and language.
struct ProgramRun {
    int status = -1;
    std::string out;
    std::string err;

    static std::string quoted(const std::string& word) {
        std::string result = "'";
        for (const char c : word) result += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return result + "'";
    }

    static std::string read(const std::filesystem::path& file) {
        std::ifstream stream(file, std::ios::binary);
        std::ostringstream text;
        text << stream.rdbuf();
        return text.str();
    }

    // Runs the program with the arguments; `home` holds the data and cache folders. The model hub
    // is a loopback port where nothing listens, unless one is given.
    static ProgramRun of(const std::vector<std::string>& arguments, const std::filesystem::path& home,
                         const std::string& language = "C", const std::string& input = {},
                         const std::string& hub = "http://127.0.0.1:9") {
        const TemporaryDirectory streams;
        std::ofstream(streams / "in") << input;
        std::string command = "env -u LC_ALL -u LC_MESSAGES LANG=" + language +
                              " XDG_DATA_HOME=" + quoted((home / "data").string()) +
                              " XDG_CACHE_HOME=" + quoted((home / "cache").string()) +
                              " RARIVOREDU_LOG_LEVEL=error RARIVOREDU_HUB_URL=" + quoted(hub) + " " + quoted(RARIVOREDU_PROGRAM);
        for (const std::string& argument : arguments) command += " " + quoted(argument);
        command += " <" + quoted((streams / "in").string()) + " >" + quoted((streams / "out").string()) + " 2>" +
                   quoted((streams / "err").string());
        ProgramRun run;
        const int raw = std::system(command.c_str());
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.out = read(streams / "out");
        run.err = read(streams / "err");
        return run;
    }
};

}  // namespace testsupport
