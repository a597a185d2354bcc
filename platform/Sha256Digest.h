#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

// A SHA-256 digest fed piece by piece, so that a file can be hashed while it is
// written. One thread at a time. Each system implements it with its own
// cryptography (OpenSSL here, BCrypt on Windows).
class TSha256Digest {
public:
    TSha256Digest();
    ~TSha256Digest();
    TSha256Digest(const TSha256Digest&) = delete;
    TSha256Digest& operator=(const TSha256Digest&) = delete;

    void Update(const void* data, size_t size);
    // The digest of everything fed so far, as 64 lower-case hexadecimal
    // digits. Ends the digest: call it once.
    std::string HexLower();

private:
    struct TState;
    std::unique_ptr<TState> m_State;
};

// The SHA-256 of `data` as 64 lower-case hexadecimal digits.
std::string Sha256Hex(std::string_view data);
