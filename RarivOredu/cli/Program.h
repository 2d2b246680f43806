#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "RarivOredu/cli/CommandLine.h"
#include "RarivOredu/cli/Messages.h"
#include "RarivOredu/cli/ProgressBar.h"

namespace rarivoredu::cli {

// The rarivoredu program: one command of the speech library's engines per run. Results go to
// `out`, messages and progress to `err`; the return value is the exit status (ExitCode).
class Program {
public:
    Program(std::ostream& out, std::ostream& err, std::istream& in, Messages messages, bool showProgress);

    int run(const std::vector<std::string>& arguments);

private:
    int transcribe(const std::vector<std::string>& arguments);
    int vad(const std::vector<std::string>& arguments);
    int diarize(const std::vector<std::string>& arguments);
    int speak(const std::vector<std::string>& arguments);
    int models(const std::vector<std::string>& arguments);
    int listModels();
    int fetchModels(const std::vector<std::string>& names);
    int importModels(const std::vector<std::string>& files);

    // Prints the misuse and returns the usage status.
    int misuse(const CommandLine::Misuse& misuse);
    // Prints the library's failure and returns its status.
    int failure(const std::exception& error);
    void checkInputs(const std::vector<std::string>& files) const;

    std::ostream& out_;
    std::ostream& err_;
    std::istream& in_;
    Messages messages_;
    ProgressBar progress_;
};

}  // namespace rarivoredu::cli
