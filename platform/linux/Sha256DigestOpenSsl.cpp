#include <openssl/evp.h>

#include <stdexcept>

#include "platform/Sha256Digest.h"

struct TSha256Digest::TState {
    struct TFree {
        void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
    };
    std::unique_ptr<EVP_MD_CTX, TFree> context{EVP_MD_CTX_new()};
};

TSha256Digest::TSha256Digest() : m_State(std::make_unique<TState>()) {
    if (!m_State->context || EVP_DigestInit_ex(m_State->context.get(), EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("SHA-256 digest could not be set up");
}

TSha256Digest::~TSha256Digest() = default;

void TSha256Digest::Update(const void* data, size_t size) {
    if (EVP_DigestUpdate(m_State->context.get(), data, size) != 1) throw std::runtime_error("SHA-256 digest failed");
}

std::string TSha256Digest::HexLower() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(m_State->context.get(), digest, &length) != 1)
        throw std::runtime_error("SHA-256 digest failed");
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kDigits[digest[i] >> 4];
        hex += kDigits[digest[i] & 0x0F];
    }
    return hex;
}

std::string Sha256Hex(std::string_view data) {
    TSha256Digest digest;
    digest.Update(data.data(), data.size());
    return digest.HexLower();
}
