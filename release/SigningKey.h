#pragma once
#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

struct evp_pkey_st;

// An Ed25519 release key (OpenSSL). The private half stays in a PEM file
// (PKCS#8) on the publisher's machine; the public half, as base64 of its 32 raw
// bytes, is what an edition of the installer trusts.
class TSigningKey {
public:
    // A fresh key from the system's random source.
    static TSigningKey Generate();
    // Reads a PEM private key. Throws TPublishError naming the file when it is
    // missing, unreadable, not a PEM private key or not an Ed25519 key.
    static TSigningKey LoadPem(const std::filesystem::path& path);

    TSigningKey(TSigningKey&&) noexcept;
    TSigningKey& operator=(TSigningKey&&) noexcept;
    ~TSigningKey();

    // The private key as PEM (PKCS#8, unencrypted).
    std::string PrivatePem() const;
    std::array<std::uint8_t, 32> PublicKey() const;
    std::string PublicKeyBase64() const;
    // The 64-byte Ed25519 signature of `message`.
    std::string Sign(std::string_view message) const;

private:
    struct TFreeKey {
        void operator()(evp_pkey_st* key) const;
    };
    explicit TSigningKey(evp_pkey_st* key);

    std::unique_ptr<evp_pkey_st, TFreeKey> m_pKey;
};
