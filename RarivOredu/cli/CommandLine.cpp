#include "RarivOredu/cli/CommandLine.h"

#include <charconv>
#include <cmath>

namespace rarivoredu::cli {

CommandLine CommandLine::parse(const std::vector<std::string>& arguments, const std::set<std::string>& options) {
    CommandLine line;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (optionsEnded || word == "-" || word.empty() || word.front() != '-') {
            line.arguments_.push_back(word);
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = word == "-o" ? "--output" : word;
        std::optional<std::string> value;
        if (const auto equals = name.find('='); name.starts_with("--") && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        if (!options.contains(name)) throw Misuse(Misuse::Kind::unknownOption, name);
        if (!value) {
            if (i + 1 >= arguments.size()) throw Misuse(Misuse::Kind::missingValue, name);
            value = arguments[++i];
        }
        line.options_[name] = *value;
    }
    return line;
}

std::optional<std::string> CommandLine::option(const std::string& name) const {
    const auto found = options_.find(name);
    if (found == options_.end()) return std::nullopt;
    return found->second;
}

std::string CommandLine::choice(const std::string& name, const std::set<std::string>& allowed,
                                const std::string& fallback) const {
    const auto value = option(name);
    if (!value) return fallback;
    if (!allowed.contains(*value)) throw Misuse(Misuse::Kind::badValue, name + " " + *value);
    return *value;
}

std::optional<int> CommandLine::integer(const std::string& name, int minimum) const {
    const auto value = option(name);
    if (!value) return std::nullopt;
    int number = 0;
    const auto [end, error] = std::from_chars(value->data(), value->data() + value->size(), number);
    if (error != std::errc() || end != value->data() + value->size() || number < minimum) {
        throw Misuse(Misuse::Kind::badValue, name + " " + *value);
    }
    return number;
}

float CommandLine::positiveNumber(const std::string& name, float fallback) const {
    const auto value = option(name);
    if (!value) return fallback;
    float number = 0;
    const auto [end, error] = std::from_chars(value->data(), value->data() + value->size(), number);
    if (error != std::errc() || end != value->data() + value->size() || !std::isfinite(number) || number <= 0) {
        throw Misuse(Misuse::Kind::badValue, name + " " + *value);
    }
    return number;
}

void CommandLine::expectArguments(std::size_t min, std::size_t max, const std::string& what) const {
    if (arguments_.size() < min) throw Misuse(Misuse::Kind::missingArgument, what);
    if (arguments_.size() > max) throw Misuse(Misuse::Kind::tooManyArguments, arguments_[max]);
}

}  // namespace rarivoredu::cli
