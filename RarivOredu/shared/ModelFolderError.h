#pragma once

#include <exception>
#include <filesystem>
#include <string>

namespace rarivoredu {

// A model folder on disk failed to load and could not be replaced; what() is the description,
// which names both failures.
class ModelFolderError : public std::exception {
public:
    enum class Kind { refetchFailed };

    // The folder failed with `cause`; downloading a fresh copy then failed with `fetchError`, and
    // the folder was left as it was.
    static ModelFolderError refetchFailed(std::filesystem::path folder, std::string cause, std::string fetchError) {
        return ModelFolderError(Kind::refetchFailed, std::move(folder), std::move(cause), std::move(fetchError));
    }

    Kind kind() const noexcept { return kind_; }
    const std::filesystem::path& folder() const noexcept { return folder_; }
    // Why the folder on disk did not load: which file, what went wrong.
    const std::string& cause() const noexcept { return cause_; }
    // Why no fresh copy came.
    const std::string& fetchError() const noexcept { return fetchError_; }
    const char* what() const noexcept override { return description_.c_str(); }

private:
    ModelFolderError(Kind kind, std::filesystem::path folder, std::string cause, std::string fetchError);

    Kind kind_;
    std::filesystem::path folder_;
    std::string cause_;
    std::string fetchError_;
    std::string description_;
};

}  // namespace rarivoredu
