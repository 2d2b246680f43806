#include "RarivOredu/hub/RepoFile.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "Platform/system/CocoaError.h"

namespace rarivoredu {
using platform::CocoaError;

namespace {

std::optional<std::int64_t> optionalInt64(const nlohmann::json& object, const char* key, bool required) {
    const auto it = object.find(key);
    if (it == object.end() || it->is_null()) {
        if (required) throw CocoaError::make(CocoaError::coderReadCorrupt, std::string("the key \"") + key + "\" is missing");
        return std::nullopt;
    }
    if (it->is_number_integer() && !(it->is_number_unsigned() && it->get<std::uint64_t>() > INT64_MAX)) {
        return it->get<std::int64_t>();
    }
    throw CocoaError::make(CocoaError::coderReadCorrupt, std::string("the value of \"") + key + "\" is not a 64-bit integer");
}

std::optional<std::string> optionalString(const nlohmann::json& object, const char* key, bool required) {
    const auto it = object.find(key);
    if (it == object.end() || it->is_null()) {
        if (required) throw CocoaError::make(CocoaError::coderReadCorrupt, std::string("the key \"") + key + "\" is missing");
        return std::nullopt;
    }
    if (!it->is_string()) {
        throw CocoaError::make(CocoaError::coderReadCorrupt, std::string("the value of \"") + key + "\" is not a string");
    }
    return it->get<std::string>();
}

}  // namespace

std::vector<RepoFile> RepoFile::decodeListing(std::string_view json) {
    try {
        const auto document = nlohmann::json::parse(json.begin(), json.end());
        if (!document.is_array()) throw CocoaError::make(CocoaError::coderReadCorrupt, "the listing is not an array");
        std::vector<RepoFile> files;
        files.reserve(document.size());
        for (const auto& item : document) {
            if (!item.is_object()) throw CocoaError::make(CocoaError::coderReadCorrupt, "an entry is not an object");
            RepoFile file;
            file.type = *optionalString(item, "type", true);
            file.path = *optionalString(item, "path", true);
            file.size = *optionalInt64(item, "size", true);
            if (const auto lfs = item.find("lfs"); lfs != item.end() && !lfs->is_null()) {
                if (!lfs->is_object()) throw CocoaError::make(CocoaError::coderReadCorrupt, "\"lfs\" is not an object");
                LFSInfo info;
                info.size = *optionalInt64(*lfs, "size", true);
                info.sha256 = optionalString(*lfs, "sha256", false);
                info.oid = optionalString(*lfs, "oid", false);
                info.pointerSize = optionalInt64(*lfs, "pointer_size", false);
                file.lfs = info;
            }
            files.push_back(std::move(file));
        }
        return files;
    } catch (const nlohmann::json::exception& e) {
        throw CocoaError::make(CocoaError::coderReadCorrupt,
                               std::string("The hub listing is not valid JSON: ") + e.what());
    } catch (const platform::NSError& e) {
        throw CocoaError::make(CocoaError::coderReadCorrupt,
                               "The hub listing could not be read: " + e.localizedDescription());
    }
}

std::string RepoFile::encodeListing(const std::vector<RepoFile>& files) {
    nlohmann::ordered_json array = nlohmann::ordered_json::array();
    for (const auto& file : files) {
        nlohmann::ordered_json item{{"type", file.type}, {"path", file.path}, {"size", file.size}};
        if (file.lfs) {
            nlohmann::ordered_json lfs{{"size", file.lfs->size}};
            if (file.lfs->sha256) lfs["sha256"] = *file.lfs->sha256;
            if (file.lfs->oid) lfs["oid"] = *file.lfs->oid;
            if (file.lfs->pointerSize) lfs["pointer_size"] = *file.lfs->pointerSize;
            item["lfs"] = lfs;
        }
        array.push_back(item);
    }
    return array.dump();
}

std::optional<std::string> RepoFile::sha256Digest() const {
    if (!lfs) return std::nullopt;
    for (const auto* candidate : {&lfs->sha256, &lfs->oid}) {
        if (!*candidate || (*candidate)->size() != 64) continue;
        std::string digest = **candidate;
        if (!std::all_of(digest.begin(), digest.end(), [](unsigned char c) { return std::isxdigit(c) != 0; })) continue;
        std::transform(digest.begin(), digest.end(), digest.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return digest;
    }
    return std::nullopt;
}

}  // namespace rarivoredu
