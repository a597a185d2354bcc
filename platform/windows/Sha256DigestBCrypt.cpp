#include <windows.h>
// bcrypt.h needs the types of windows.h first.
#include <bcrypt.h>

#include "platform/Sha256Digest.h"
#include "platform/windows/BCryptHash.h"

struct TSha256Digest::TState {
    TBCryptHash hash{BCRYPT_SHA256_ALGORITHM, "SHA-256"};
};

TSha256Digest::TSha256Digest() : m_State(std::make_unique<TState>()) {}

TSha256Digest::~TSha256Digest() = default;

void TSha256Digest::Update(const void* data, size_t size) { m_State->hash.Update(data, size); }

std::string TSha256Digest::HexLower() { return HexDigits(m_State->hash.Finish(), false); }

std::string Sha256Hex(std::string_view data) {
    TSha256Digest digest;
    digest.Update(data.data(), data.size());
    return digest.HexLower();
}
