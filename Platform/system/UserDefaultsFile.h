#pragma once

#include <sys/stat.h>

#include <array>
#include <cstddef>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "Platform/system/UserDefaults.h"

namespace platform::user_defaults_file {

// The format of the user-defaults store file and its reading, apart from the store that keeps the
// values: how each value is written as JSON and read back, the limits past which a file is no
// settings file (size, nesting), and the stamp by which the store tells that the file changed
// under it.
// The file holds one JSON object whose members are the stored keys. Bool, Int, String and
// finite Double values are plain JSON values (a Double always carries a fraction or an
// exponent, so it never reads back as an Int). Data is {"data": "<base64>"} and a Double
// that JSON cannot write is {"double": "nan" | "inf" | "-inf"}.

nlohmann::json encodeValue(const UserDefaults::Value& value);
// Nothing for JSON of no known type.
std::optional<UserDefaults::Value> decodeValue(const nlohmann::json& json);
// Equal as stored: a Double compares by its bits, so that 0.0 and -0.0 differ and a NaN
// equals itself.
bool sameValue(const std::optional<UserDefaults::Value>& a, const std::optional<UserDefaults::Value>& b);
// The values, and those of no known type as they were read.
std::string serialize(const std::map<std::string, UserDefaults::Value>& values,
                      const std::map<std::string, std::string>& unknown);
// Throws std::invalid_argument unless the text is UTF-8, which is all the file can hold.
void requireUTF8(const std::string& text, const char* what);

// Values nested deeper than this are not stored settings (those are at most two deep): a file
// that holds one is set aside like any unreadable file. Writing such a value back, indented,
// would take memory growing with the square of its depth, and reading it recursion as deep.
constexpr std::size_t maxNestingDepth = 32;
// The history and the statistics take some kilobytes; a file far larger is no settings file.
constexpr std::size_t maxFileSize = std::size_t{16} << 20;
// Whether the JSON text nests arrays or objects deeper than maxNestingDepth; a text that is no
// JSON at all says nothing here (the parser finds that).
bool nestsTooDeep(const std::string& text);

// Device, inode, size and modification time of a file.
using FileStamp = std::array<long long, 5>;
FileStamp stampOf(const struct stat& info);
std::optional<FileStamp> currentStamp(const std::filesystem::path& path);
// Reads the whole file; nothing (with errno kept) when it cannot be opened or read. The stamp is
// that of the file read.
std::optional<std::string> readFile(const std::filesystem::path& path, int& error, std::optional<FileStamp>& stamp);

}  // namespace platform::user_defaults_file
