#pragma once

#include <cstdint>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

namespace rarivoredu {

// Errors of reading model checkpoints (tar archives, zip records, pickles, tensors) and of
// staging the folder an import writes; what() is the description.
class CheckpointError : public std::exception {
public:
    enum class Kind {
        unreadable,
        truncated,
        malformed,
        unsupported,
        missingTensor,
        wrongShape,
    };

    // The file cannot be opened or read: "Cannot read <path>: <reason>".
    static CheckpointError unreadable(const std::filesystem::path& path, std::string reason);
    // The data ends before what it announces: "<what> is truncated".
    static CheckpointError truncated(std::string what);
    // The data contradicts its own format: "<what> is malformed".
    static CheckpointError malformed(std::string what);
    // A valid file in a form this reader does not handle: "Unsupported checkpoint: <what>".
    static CheckpointError unsupported(std::string what);
    // "The checkpoint has no tensor <name>".
    static CheckpointError missingTensor(std::string name);
    // "<name> has shape [1024, 1, 9], expected [1024, 1, 7]".
    static CheckpointError wrongShape(std::string name, std::vector<std::int64_t> expected,
                                      std::vector<std::int64_t> found);

    Kind kind() const noexcept { return kind_; }
    // The path, the thing described or the tensor name the error is about.
    const std::string& subject() const noexcept { return subject_; }
    // Why a file is unreadable; empty for the other kinds.
    const std::string& reason() const noexcept { return reason_; }
    // The shapes of wrongShape; empty for the other kinds.
    const std::vector<std::int64_t>& expectedShape() const noexcept { return expected_; }
    const std::vector<std::int64_t>& foundShape() const noexcept { return found_; }
    const char* what() const noexcept override { return description_.c_str(); }

private:
    CheckpointError(Kind kind, std::string subject, std::string reason = {}, std::vector<std::int64_t> expected = {},
                    std::vector<std::int64_t> found = {});

    Kind kind_;
    std::string subject_;
    std::string reason_;
    std::vector<std::int64_t> expected_;
    std::vector<std::int64_t> found_;
    std::string description_;
};

}  // namespace rarivoredu
