#pragma once

#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace rarivoredu::cli {

// The arguments of one command: its options ("--format srt", "--format=srt", "-o out.wav") and
// the arguments between and after them ("--" ends the options; "-" alone is an argument).
class CommandLine {
public:
    // A misuse: the message's id and the word it concerns.
    struct Misuse : std::runtime_error {
        enum class Kind { unknownOption, missingValue, badValue, missingArgument, tooManyArguments };
        Misuse(Kind kind, const std::string& word) : std::runtime_error(word), kind(kind) {}
        Kind kind;
    };

    // Every option takes a value; `-o` stands for `--output`. Throws Misuse.
    static CommandLine parse(const std::vector<std::string>& arguments, const std::set<std::string>& options);

    const std::vector<std::string>& arguments() const noexcept { return arguments_; }
    std::optional<std::string> option(const std::string& name) const;
    // The option's value, one of `allowed`, or the fallback when not given. Throws Misuse badValue.
    std::string choice(const std::string& name, const std::set<std::string>& allowed, const std::string& fallback) const;
    // A whole number of at least `minimum`, or nothing when not given. Throws Misuse badValue.
    std::optional<int> integer(const std::string& name, int minimum) const;
    // A finite number above 0, or the fallback. Throws Misuse badValue.
    float positiveNumber(const std::string& name, float fallback) const;

    // Throws Misuse missingArgument / tooManyArguments unless there are between min and max arguments.
    void expectArguments(std::size_t min, std::size_t max, const std::string& what) const;

private:
    std::vector<std::string> arguments_;
    std::map<std::string, std::string> options_;
};

}  // namespace rarivoredu::cli
