#pragma once

#include <stdexcept>
#include <string>

namespace rarivoredu::api {

// Every failure of the public API: what went wrong, with a message in English that names the file
// or the models concerned.
class Error : public std::runtime_error {
public:
    enum class Kind {
        fileNotFound,     // an input file does not exist
        unreadableAudio,  // an input file exists but holds no audio the library can decode
        modelsMissing,    // the engine's models are not installed (Models::fetch or an import puts them there)
        invalidArgument,  // a value outside what the call takes
        failed,           // the engine, a download or a file write failed
    };

    Error(Kind kind, const std::string& message);

    Kind kind() const noexcept { return kind_; }

private:
    Kind kind_;
};

}  // namespace rarivoredu::api
