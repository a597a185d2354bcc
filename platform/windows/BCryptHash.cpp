#include "platform/windows/BCryptHash.h"

#include <windows.h>
// bcrypt.h needs the types of windows.h first.
#include <bcrypt.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string_view>

namespace {

bool Succeeded(NTSTATUS status) { return status >= 0; }

// Opening a provider is far dearer than hashing a small file, and a provider
// handle may be used from any thread, so each algorithm is opened once for the
// process and never closed.
BCRYPT_ALG_HANDLE Provider(const wchar_t* algorithm, const char* name) {
    static std::mutex csProviders;
    static std::map<std::wstring, BCRYPT_ALG_HANDLE> providers;
    std::lock_guard lock(csProviders);
    auto found = providers.find(algorithm);
    if (found != providers.end()) return found->second;
    BCRYPT_ALG_HANDLE hAlgorithm = nullptr;
    if (!Succeeded(BCryptOpenAlgorithmProvider(&hAlgorithm, algorithm, nullptr, 0)))
        throw std::runtime_error(std::string(name) + " digest could not be set up");
    providers.emplace(algorithm, hAlgorithm);
    return hAlgorithm;
}

DWORD DwordProperty(BCRYPT_ALG_HANDLE hAlgorithm, const wchar_t* property, const char* name) {
    DWORD nValue = 0;
    ULONG nWritten = 0;
    if (!Succeeded(
            BCryptGetProperty(hAlgorithm, property, reinterpret_cast<PUCHAR>(&nValue), sizeof nValue, &nWritten, 0)))
        throw std::runtime_error(std::string(name) + " digest could not be set up");
    return nValue;
}

}  // namespace

TBCryptHash::TBCryptHash(const wchar_t* algorithm, const char* name) : m_szName(name) {
    BCRYPT_ALG_HANDLE hAlgorithm = Provider(algorithm, name);
    m_HashObject.resize(DwordProperty(hAlgorithm, BCRYPT_OBJECT_LENGTH, name));
    m_nDigestSize = DwordProperty(hAlgorithm, BCRYPT_HASH_LENGTH, name);
    BCRYPT_HASH_HANDLE hHash = nullptr;
    if (!Succeeded(BCryptCreateHash(hAlgorithm, &hHash, m_HashObject.data(), static_cast<ULONG>(m_HashObject.size()),
                                    nullptr, 0, 0)))
        throw std::runtime_error(std::string(name) + " digest could not be set up");
    m_hHash = hHash;
}

TBCryptHash::~TBCryptHash() { BCryptDestroyHash(static_cast<BCRYPT_HASH_HANDLE>(m_hHash)); }

void TBCryptHash::Update(const void* data, size_t size) {
    // BCryptHashData takes a 32-bit length: larger pieces go in several calls.
    auto* pBytes = static_cast<const UCHAR*>(data);
    while (size > 0) {
        const ULONG nPiece = static_cast<ULONG>(std::min<size_t>(size, 1u << 30));
        if (!Succeeded(BCryptHashData(static_cast<BCRYPT_HASH_HANDLE>(m_hHash), const_cast<PUCHAR>(pBytes), nPiece, 0)))
            throw std::runtime_error(std::string(m_szName) + " digest failed");
        pBytes += nPiece;
        size -= nPiece;
    }
}

std::vector<uint8_t> TBCryptHash::Finish() {
    std::vector<uint8_t> digest(m_nDigestSize);
    if (!Succeeded(BCryptFinishHash(static_cast<BCRYPT_HASH_HANDLE>(m_hHash), digest.data(), m_nDigestSize, 0)))
        throw std::runtime_error(std::string(m_szName) + " digest failed");
    return digest;
}

std::string HexDigits(const std::vector<uint8_t>& bytes, bool bUpperCase) {
    const std::string_view digits = bUpperCase ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (uint8_t byte : bytes) {
        text.push_back(digits[byte >> 4]);
        text.push_back(digits[byte & 0x0F]);
    }
    return text;
}
