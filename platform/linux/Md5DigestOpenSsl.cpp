#include <openssl/evp.h>

#include <stdexcept>

#include "platform/Md5Digest.h"

struct TMd5Digest::TState {
    struct TFree {
        void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
    };
    std::unique_ptr<EVP_MD_CTX, TFree> context{EVP_MD_CTX_new()};
};

TMd5Digest::TMd5Digest() : m_State(std::make_unique<TState>()) {
    if (!m_State->context || EVP_DigestInit_ex(m_State->context.get(), EVP_md5(), nullptr) != 1)
        throw std::runtime_error("MD5 digest could not be set up");
}

TMd5Digest::~TMd5Digest() = default;

void TMd5Digest::Update(const void* data, size_t size) {
    if (EVP_DigestUpdate(m_State->context.get(), data, size) != 1) throw std::runtime_error("MD5 digest failed");
}

std::string TMd5Digest::HexUpper() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int nDigest = 0;
    if (EVP_DigestFinal_ex(m_State->context.get(), digest, &nDigest) != 1)
        throw std::runtime_error("MD5 digest failed");
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(nDigest * 2);
    for (unsigned int i = 0; i < nDigest; ++i) {
        text.push_back(kDigits[digest[i] >> 4]);
        text.push_back(kDigits[digest[i] & 0x0F]);
    }
    return text;
}
