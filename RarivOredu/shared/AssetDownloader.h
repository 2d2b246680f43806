#pragma once

#include <exception>
#include <filesystem>
#include <functional>
#include <string>

#include "Platform/net/URLSession.h"
#include "Platform/system/Data.h"
#include "RarivOredu/shared/AppLogger.h"

namespace rarivoredu {

// Fetches single files (a vocabulary, a lexicon, a voice) from one URL into one file.
class AssetDownloader {
public:
    AssetDownloader() = delete;

    using Data = platform::Data;

    // A download that did not answer with a 2xx status and a body.
    class Error : public std::exception {
    public:
        enum class Kind { invalidResponse };

        // `statusCode` is −1 when there was no HTTP answer.
        static Error invalidResponse(std::string assetDescription, int statusCode) {
            return Error(std::move(assetDescription), statusCode);
        }

        Kind kind() const noexcept { return Kind::invalidResponse; }
        const std::string& assetDescription() const noexcept { return assetDescription_; }
        int statusCode() const noexcept { return statusCode_; }
        const char* what() const noexcept override { return text_.c_str(); }

    private:
        Error(std::string assetDescription, int statusCode);

        std::string assetDescription_;
        int statusCode_;
        std::string text_;
    };

    // How the payload reaches the destination.
    struct TransferMode {
        enum class Kind { data, file };
        using Writer = std::function<void(const Data& data, const std::filesystem::path& destination)>;
        using Mover = std::function<void(const std::filesystem::path& temporary, const std::filesystem::path& destination)>;

        // The payload in memory, handed to `writer`.
        static TransferMode data(Writer writer) { return TransferMode{Kind::data, std::move(writer), {}}; }
        // The payload in a temporary file beside the destination, handed to `mover`.
        static TransferMode file(Mover mover) { return TransferMode{Kind::file, {}, std::move(mover)}; }

        Kind kind;
        Writer writer;
        Mover mover;
    };

    struct Descriptor {
        std::string description;  // a readable name for logs and errors
        std::string remoteURL;
        std::filesystem::path destinationURL;
        bool skipIfExists = true;
        TransferMode transferMode = TransferMode::data(writeDataAtomically);
    };

    // Writes to a temporary file beside the destination, then renames it into place.
    static void writeDataAtomically(const Data& data, const std::filesystem::path& destination);
    // Removes a file at the destination, then moves the temporary file there.
    static void moveReplacingItem(const std::filesystem::path& temporary, const std::filesystem::path& destination);

    // Makes the destination hold the asset (at once when it exists and skipIfExists is set).
    // Throws Error::invalidResponse for a status outside 200…299 or an empty body; network and
    // file errors as they come.
    static void ensure(const Descriptor& descriptor, const platform::URLSession& session, const AppLogger& logger);
    // The body of a URL, under the same status rule.
    static Data fetchData(const std::string& url, const std::string& description, const platform::URLSession& session,
                          const AppLogger& logger);
};

}  // namespace rarivoredu
