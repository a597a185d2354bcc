#pragma once
#include <memory>
#include <string>
#include <string_view>

// A fresh Ed25519 key for tests that sign what a server hands out:
//
//   TestSigningKey key;
//   env.Set("ORLADESK_RELEASE_PUBLIC_KEYS", key.PublicKeyBase64().c_str());
//   server.Route(path + ".sig", {200, key.SignatureFile(document)});
class TestSigningKey {
public:
    TestSigningKey();
    ~TestSigningKey();
    TestSigningKey(const TestSigningKey&) = delete;
    TestSigningKey& operator=(const TestSigningKey&) = delete;

    // Base64 of the 32 raw bytes, as an edition lists it.
    const std::string& PublicKeyBase64() const { return m_strPublicKey; }
    // The 64 raw bytes of the signature of `content`.
    std::string Sign(std::string_view content) const;
    // A ".sig" file of `content`: one line of base64.
    std::string SignatureFile(std::string_view content) const;

private:
    struct TKey;
    std::unique_ptr<TKey> m_Key;
    std::string m_strPublicKey;
};
