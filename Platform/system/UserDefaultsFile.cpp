#include "Platform/system/UserDefaultsFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "Platform/system/Base64.h"

namespace platform::user_defaults_file {


namespace {

constexpr const char* kDataTag = "data";
constexpr const char* kDoubleTag = "double";

}  // namespace

nlohmann::json encodeValue(const UserDefaults::Value& value) {
    return std::visit(
        [](const auto& v) -> nlohmann::json {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, Data>) {
                return nlohmann::json{{kDataTag, base64Encoded(v)}};
            } else if constexpr (std::is_same_v<T, double>) {
                if (std::isnan(v)) return nlohmann::json{{kDoubleTag, "nan"}};
                if (std::isinf(v)) return nlohmann::json{{kDoubleTag, v > 0 ? "inf" : "-inf"}};
                return v;
            } else {
                return v;
            }
        },
        value);
}

std::optional<UserDefaults::Value> decodeValue(const nlohmann::json& json) {
    using Value = UserDefaults::Value;
    switch (json.type()) {
        case nlohmann::json::value_t::boolean: return Value(json.get<bool>());
        case nlohmann::json::value_t::number_integer: return Value(json.get<std::int64_t>());
        case nlohmann::json::value_t::number_unsigned: {
            const auto n = json.get<std::uint64_t>();
            if (n > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return std::nullopt;
            return Value(static_cast<std::int64_t>(n));
        }
        case nlohmann::json::value_t::number_float: return Value(json.get<double>());
        case nlohmann::json::value_t::string: return Value(json.get<std::string>());
        case nlohmann::json::value_t::object: {
            if (json.size() != 1) return std::nullopt;
            const auto member = json.begin();
            const std::string& tag = member.key();
            const nlohmann::json& payload = member.value();
            if (!payload.is_string()) return std::nullopt;
            const auto& text = payload.get_ref<const std::string&>();
            if (tag == kDataTag) {
                auto data = base64Decoded(text);
                if (!data) return std::nullopt;
                return Value(std::move(*data));
            }
            if (tag == kDoubleTag) {
                if (text == "nan") return Value(std::numeric_limits<double>::quiet_NaN());
                if (text == "inf") return Value(std::numeric_limits<double>::infinity());
                if (text == "-inf") return Value(-std::numeric_limits<double>::infinity());
            }
            return std::nullopt;
        }
        default: return std::nullopt;
    }
}

bool sameValue(const std::optional<UserDefaults::Value>& a, const std::optional<UserDefaults::Value>& b) {
    if (!a || !b) return a.has_value() == b.has_value();
    const auto* x = std::get_if<double>(&*a);
    const auto* y = std::get_if<double>(&*b);
    if (x && y) return std::memcmp(x, y, sizeof(double)) == 0;
    return *a == *b;
}

std::string serialize(const std::map<std::string, UserDefaults::Value>& values,
                      const std::map<std::string, std::string>& unknown) {
    nlohmann::json object = nlohmann::json::object();
    for (const auto& [key, text] : unknown) object[key] = nlohmann::json::parse(text);
    for (const auto& [key, value] : values) object[key] = encodeValue(value);
    return object.dump(2) + "\n";
}

void requireUTF8(const std::string& text, const char* what) {
    try {
        (void)nlohmann::json(text).dump();
    } catch (const nlohmann::json::type_error&) {
        throw std::invalid_argument(std::string("User defaults ") + what + " is not UTF-8 text");
    }
}

bool nestsTooDeep(const std::string& text) {
    struct DepthCheck : nlohmann::json_sax<nlohmann::json> {
        std::size_t depth = 0;
        bool tooDeep = false;
        bool enter() {
            if (++depth > maxNestingDepth) tooDeep = true;
            return !tooDeep;
        }
        bool null() override { return true; }
        bool boolean(bool) override { return true; }
        bool number_integer(number_integer_t) override { return true; }
        bool number_unsigned(number_unsigned_t) override { return true; }
        bool number_float(number_float_t, const string_t&) override { return true; }
        bool string(string_t&) override { return true; }
        bool binary(binary_t&) override { return true; }
        bool start_object(std::size_t) override { return enter(); }
        bool key(string_t&) override { return true; }
        bool end_object() override {
            --depth;
            return true;
        }
        bool start_array(std::size_t) override { return enter(); }
        bool end_array() override {
            --depth;
            return true;
        }
        bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }
    } check;
    nlohmann::json::sax_parse(text, &check, nlohmann::json::input_format_t::json, false);
    return check.tooDeep;
}

FileStamp stampOf(const struct stat& info) {
    return {static_cast<long long>(info.st_dev), static_cast<long long>(info.st_ino),
            static_cast<long long>(info.st_size), static_cast<long long>(info.st_mtim.tv_sec),
            static_cast<long long>(info.st_mtim.tv_nsec)};
}

std::optional<FileStamp> currentStamp(const std::filesystem::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return stampOf(info);
}

std::optional<std::string> readFile(const std::filesystem::path& path, int& error, std::optional<FileStamp>& stamp) {
    stamp.reset();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd, &info) == 0) stamp = stampOf(info);
    std::string contents;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            error = errno;
            ::close(fd);
            return std::nullopt;
        }
        contents.append(buffer, static_cast<std::size_t>(got));
        if (contents.size() > maxFileSize) break;  // read no further than to know it is too large
    }
    ::close(fd);
    return contents;
}

}  // namespace platform::user_defaults_file
