#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One hash computation with BCrypt, fed piece by piece. The digest classes of
// the platform layer share it so that provider handling and error reporting
// exist once. One thread at a time.
class TBCryptHash {
public:
    // `algorithm` is a BCrypt algorithm name such as BCRYPT_SHA256_ALGORITHM;
    // `name` says which digest failed in the exceptions' text.
    TBCryptHash(const wchar_t* algorithm, const char* name);
    ~TBCryptHash();
    TBCryptHash(const TBCryptHash&) = delete;
    TBCryptHash& operator=(const TBCryptHash&) = delete;

    void Update(const void* data, size_t size);
    // The digest of everything fed so far. Ends the hash: call it once.
    std::vector<uint8_t> Finish();

private:
    void* m_hHash = nullptr;
    std::vector<uint8_t> m_HashObject;
    unsigned long m_nDigestSize = 0;
    const char* m_szName;
};

// Bytes as hexadecimal digits, two per byte.
std::string HexDigits(const std::vector<uint8_t>& bytes, bool bUpperCase);
