#pragma once

#include <functional>
#include <string>

namespace rarivoredu::api {

// How far a long call has come. Handlers are called on the thread that made the call, in order.
struct Progress {
    double fraction = 0;  // 0…1 of the current step
    std::string step;     // "download", "import", "transcribe", "diarize" …
    std::string detail;   // the part being worked on, when there is one
};

using ProgressHandler = std::function<void(const Progress&)>;

}  // namespace rarivoredu::api
