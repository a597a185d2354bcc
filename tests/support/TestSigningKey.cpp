#include "support/TestSigningKey.h"

#include <openssl/evp.h>

#include <stdexcept>

#include "service/Base64.h"

struct TestSigningKey::TKey {
    EVP_PKEY* pKey = nullptr;
    ~TKey() { EVP_PKEY_free(pKey); }
};

TestSigningKey::TestSigningKey() : m_Key(std::make_unique<TKey>()) {
    m_Key->pKey = EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519");
    unsigned char raw[32];
    size_t length = sizeof raw;
    if (!m_Key->pKey || EVP_PKEY_get_raw_public_key(m_Key->pKey, raw, &length) != 1 || length != sizeof raw)
        throw std::runtime_error("no Ed25519 test key");
    m_strPublicKey = Base64Encode(std::string_view(reinterpret_cast<const char*>(raw), length));
}

TestSigningKey::~TestSigningKey() = default;

std::string TestSigningKey::Sign(std::string_view content) const {
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    std::string signature(64, '\0');
    size_t length = signature.size();
    const bool ok = ctx && EVP_DigestSignInit(ctx, nullptr, nullptr, nullptr, m_Key->pKey) == 1 &&
                    EVP_DigestSign(ctx, reinterpret_cast<unsigned char*>(signature.data()), &length,
                                   reinterpret_cast<const unsigned char*>(content.data()), content.size()) == 1;
    EVP_MD_CTX_free(ctx);
    if (!ok || length != 64) throw std::runtime_error("Ed25519 test signature failed");
    return signature;
}

std::string TestSigningKey::SignatureFile(std::string_view content) const { return Base64Encode(Sign(content)) + "\n"; }
