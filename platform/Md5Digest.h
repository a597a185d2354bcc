#pragma once
#include <cstddef>
#include <memory>
#include <string>

// An MD5 digest fed piece by piece, so that data can be hashed while it is
// being written instead of being read back afterwards. One thread at a time.
// Each system implements it with its own cryptography (OpenSSL here, BCrypt on
// Windows).
class TMd5Digest {
public:
    TMd5Digest();
    ~TMd5Digest();
    TMd5Digest(const TMd5Digest&) = delete;
    TMd5Digest& operator=(const TMd5Digest&) = delete;

    void Update(const void* data, size_t size);
    // The digest of everything fed so far, as 32 upper-case hexadecimal
    // digits. Ends the digest: call it once.
    std::string HexUpper();

private:
    struct TState;
    std::unique_ptr<TState> m_State;
};
