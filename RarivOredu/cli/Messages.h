#pragma once

#include <string>
#include <string_view>

namespace rarivoredu::cli {

// The program's texts in English or German, chosen by the locale (LC_ALL, LC_MESSAGES, LANG).
class Messages {
public:
    enum class Id {
        help,
        unknownCommand,
        unknownOption,
        missingValue,
        badValue,
        missingArgument,
        tooManyArguments,
        noModels,
        fetchHint,
        installed,
        missing,
        fetching,
        fetched,
        imported,
        importKinds,
        wrote,
        noSuchFile,
    };

    explicit Messages(bool german) : german_(german) {}
    // German when the locale's language is German, else English.
    static Messages fromEnvironment();

    bool german() const noexcept { return german_; }
    // The text with "{}" replaced by the argument.
    std::string text(Id id, std::string_view argument = {}) const;

private:
    bool german_;
};

}  // namespace rarivoredu::cli
