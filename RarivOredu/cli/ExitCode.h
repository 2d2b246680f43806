#pragma once

namespace rarivoredu::cli {

// What the program's exit status says; --help lists them.
enum ExitCode : int {
    success = 0,
    failed = 1,         // the work itself failed: a model, a download, writing the output
    usage = 2,          // unknown command or option, a missing or bad argument
    inputMissing = 3,   // an input file is missing or holds no audio
    modelsMissing = 4,  // the models the command needs are not installed
};

}  // namespace rarivoredu::cli
