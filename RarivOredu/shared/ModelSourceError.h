#pragma once

#include <exception>
#include <string>

namespace rarivoredu {

// The source of a model set is unusable, and trying again cannot change that: the same request
// would bring the same bytes. what() is the text for the person at the screen, in German: what
// happened and what to do instead (another network, the offline import). Technical details such
// as digests go to the log only.
class ModelSourceError : public std::exception {
public:
    enum class Kind {
        corruptDownload,     // a whole transfer arrived with another SHA-256 than the hub lists
        refusedCheckpoint,   // the checkpoint cannot be turned into models the recogniser runs
    };

    static ModelSourceError corruptDownload(std::string file) {
        return ModelSourceError(Kind::corruptDownload, std::move(file), {});
    }
    // `reason` says why, in the importer's words.
    static ModelSourceError refusedCheckpoint(std::string file, std::string reason) {
        return ModelSourceError(Kind::refusedCheckpoint, std::move(file), std::move(reason));
    }

    // Whether the error is one that trying again cannot mend: a ModelSourceError, or a disk too
    // small for the models (ModelStorageError). Network failures, cancellations and the rest are
    // transient.
    static bool isPermanent(const std::exception_ptr& error) noexcept;

    Kind kind() const noexcept { return kind_; }
    const std::string& file() const noexcept { return file_; }
    const std::string& reason() const noexcept { return reason_; }
    const char* what() const noexcept override { return description_.c_str(); }

private:
    ModelSourceError(Kind kind, std::string file, std::string reason);

    Kind kind_;
    std::string file_;
    std::string reason_;
    std::string description_;
};

}  // namespace rarivoredu
