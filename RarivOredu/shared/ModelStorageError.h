#pragma once

#include <cstdint>
#include <exception>
#include <filesystem>
#include <string>

namespace rarivoredu {

// The disk cannot hold a model set that is to be fetched or converted; what() is the
// description, which names the folder and both figures.
class ModelStorageError : public std::exception {
public:
    enum class Kind { insufficientSpace };

    // "Not enough free space in <folder> for the speech models: <needed> needed, <available> free"
    static ModelStorageError insufficientSpace(std::filesystem::path folder, std::uint64_t neededBytes,
                                               std::uint64_t availableBytes) {
        return ModelStorageError(Kind::insufficientSpace, std::move(folder), neededBytes, availableBytes);
    }

    Kind kind() const noexcept { return kind_; }
    const std::filesystem::path& folder() const noexcept { return folder_; }
    // All the bytes the work still needs on that disk, and what it has free.
    std::uint64_t neededBytes() const noexcept { return needed_; }
    std::uint64_t availableBytes() const noexcept { return available_; }
    const char* what() const noexcept override { return description_.c_str(); }

private:
    ModelStorageError(Kind kind, std::filesystem::path folder, std::uint64_t needed, std::uint64_t available);

    Kind kind_;
    std::filesystem::path folder_;
    std::uint64_t needed_;
    std::uint64_t available_;
    std::string description_;
};

}  // namespace rarivoredu
