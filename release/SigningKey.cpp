#include "release/SigningKey.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <stdexcept>

#include "release/AtomicFile.h"
#include "release/PublishError.h"
#include "service/Base64.h"

namespace {

using TBio = std::unique_ptr<BIO, decltype(&BIO_free)>;
using TDigestContext = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;
using TKeyContext = std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)>;

std::runtime_error OpenSslError(const std::string& what) {
    char detail[256] = "";
    ERR_error_string_n(ERR_get_error(), detail, sizeof detail);
    ERR_clear_error();
    return std::runtime_error("OpenSSL: " + what + " (" + detail + ")");
}

}  // namespace

void TSigningKey::TFreeKey::operator()(evp_pkey_st* key) const { EVP_PKEY_free(key); }

TSigningKey::TSigningKey(evp_pkey_st* key) : m_pKey(key) {}
TSigningKey::TSigningKey(TSigningKey&&) noexcept = default;
TSigningKey& TSigningKey::operator=(TSigningKey&&) noexcept = default;
TSigningKey::~TSigningKey() = default;

TSigningKey TSigningKey::Generate() {
    TKeyContext ctx(EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr), &EVP_PKEY_CTX_free);
    EVP_PKEY* key = nullptr;
    if (!ctx || EVP_PKEY_keygen_init(ctx.get()) != 1 || EVP_PKEY_keygen(ctx.get(), &key) != 1)
        throw OpenSslError("cannot make an Ed25519 key");
    return TSigningKey(key);
}

TSigningKey TSigningKey::LoadPem(const std::filesystem::path& path) {
    std::string pem;
    try {
        pem = ReadWholeFile(path);
    } catch (const std::exception& e) {
        throw TPublishError(std::string("signing key: ") + e.what());
    }
    TBio bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())), &BIO_free);
    EVP_PKEY* key = bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr) : nullptr;
    ERR_clear_error();
    if (!key) throw TPublishError("signing key \"" + path.string() + "\" is not a PEM private key");
    TSigningKey loaded(key);
    if (EVP_PKEY_get_id(key) != EVP_PKEY_ED25519)
        throw TPublishError("signing key \"" + path.string() + "\" is not an Ed25519 key");
    return loaded;
}

std::string TSigningKey::PrivatePem() const {
    TBio bio(BIO_new(BIO_s_mem()), &BIO_free);
    if (!bio || PEM_write_bio_PrivateKey(bio.get(), m_pKey.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1)
        throw OpenSslError("cannot write the private key");
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, static_cast<std::size_t>(size));
}

std::array<std::uint8_t, 32> TSigningKey::PublicKey() const {
    std::array<std::uint8_t, 32> raw{};
    std::size_t size = raw.size();
    if (EVP_PKEY_get_raw_public_key(m_pKey.get(), raw.data(), &size) != 1 || size != raw.size())
        throw OpenSslError("cannot read the public key");
    return raw;
}

std::string TSigningKey::PublicKeyBase64() const {
    const std::array<std::uint8_t, 32> raw = PublicKey();
    return Base64Encode(std::string_view(reinterpret_cast<const char*>(raw.data()), raw.size()));
}

std::string TSigningKey::Sign(std::string_view message) const {
    TDigestContext ctx(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    std::string signature(64, '\0');
    std::size_t size = signature.size();
    // Ed25519 hashes the message itself: no digest is given, and it signs in one step.
    if (!ctx || EVP_DigestSignInit(ctx.get(), nullptr, nullptr, nullptr, m_pKey.get()) != 1 ||
        EVP_DigestSign(ctx.get(), reinterpret_cast<unsigned char*>(signature.data()), &size,
                       reinterpret_cast<const unsigned char*>(message.data()), message.size()) != 1 ||
        size != 64)
        throw OpenSslError("cannot sign");
    return signature;
}
