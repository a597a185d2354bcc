#include <openssl/evp.h>

#include <memory>
#include <stdexcept>

#include "platform/Ed25519.h"

namespace {

struct TKeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct TContextFree {
    void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
};

constexpr size_t kSignatureSize = 64;

}  // namespace

bool VerifyEd25519(const TEd25519PublicKey& key, std::string_view message, std::string_view signature) {
    if (signature.size() != kSignatureSize) return false;
    std::unique_ptr<EVP_PKEY, TKeyFree> publicKey(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, key.data(), key.size()));
    // Every 32 bytes are accepted here; a point off the curve fails the verification below.
    if (!publicKey) return false;
    std::unique_ptr<EVP_MD_CTX, TContextFree> context(EVP_MD_CTX_new());
    if (!context) throw std::runtime_error("Ed25519 verification could not be set up");
    if (EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, publicKey.get()) != 1) return false;
    return EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(signature.data()), signature.size(),
                            reinterpret_cast<const unsigned char*>(message.data()), message.size()) == 1;
}
