#include <windows.h>
// bcrypt.h needs the types of windows.h first.
#include <bcrypt.h>

#include "platform/Md5Digest.h"
#include "platform/windows/BCryptHash.h"

struct TMd5Digest::TState {
    TBCryptHash hash{BCRYPT_MD5_ALGORITHM, "MD5"};
};

TMd5Digest::TMd5Digest() : m_State(std::make_unique<TState>()) {}

TMd5Digest::~TMd5Digest() = default;

void TMd5Digest::Update(const void* data, size_t size) { m_State->hash.Update(data, size); }

std::string TMd5Digest::HexUpper() { return HexDigits(m_State->hash.Finish(), true); }
