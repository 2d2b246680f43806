#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

// A SHA-256 digest computed piece by piece, over OpenSSL's libcrypto.
class SHA256 {
public:
    SHA256();
    ~SHA256();
    SHA256(const SHA256&) = delete;
    SHA256& operator=(const SHA256&) = delete;

    void update(const void* bytes, std::size_t length);
    // The digest of everything given so far, as 64 lower-case hexadecimal digits. The hash
    // starts afresh afterwards.
    std::string finalizeHex();

    static std::string hexDigest(std::string_view bytes);

private:
    struct Context;
    std::unique_ptr<Context> context_;
};

}  // namespace platform
