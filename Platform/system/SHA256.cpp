#include "Platform/system/SHA256.h"

#include <openssl/evp.h>

#include <stdexcept>

namespace platform {

struct SHA256::Context {
    EVP_MD_CTX* md = nullptr;
    ~Context() { EVP_MD_CTX_free(md); }
};

namespace {

void start(EVP_MD_CTX* md) {
    if (EVP_DigestInit_ex(md, EVP_sha256(), nullptr) != 1) throw std::runtime_error("SHA-256 is not available");
}

}  // namespace

SHA256::SHA256() : context_(std::make_unique<Context>()) {
    context_->md = EVP_MD_CTX_new();
    if (context_->md == nullptr) throw std::bad_alloc();
    start(context_->md);
}

SHA256::~SHA256() = default;

void SHA256::update(const void* bytes, std::size_t length) {
    if (length > 0) EVP_DigestUpdate(context_->md, bytes, length);
}

std::string SHA256::finalizeHex() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(context_->md, digest, &length);
    start(context_->md);
    static constexpr char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(length * 2);
    for (unsigned int i = 0; i < length; ++i) {
        hex.push_back(digits[digest[i] >> 4]);
        hex.push_back(digits[digest[i] & 0x0f]);
    }
    return hex;
}

std::string SHA256::hexDigest(std::string_view bytes) {
    SHA256 hash;
    hash.update(bytes.data(), bytes.size());
    return hash.finalizeHex();
}

}  // namespace platform
