#include <windows.h>
// bcrypt.h needs windows.h first.
#include <bcrypt.h>

#include <array>

#include "platform/PartFile.h"
#include "platform/windows/WideString.h"

namespace {

HANDLE AsHandle(intptr_t nHandle) { return reinterpret_cast<HANDLE>(nHandle); }

// Six characters a caller cannot predict, as mkstemps picks them.
std::wstring RandomTag() {
    static constexpr wchar_t kAlphabet[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::array<unsigned char, 6> bytes{};
    if (BCryptGenRandom(nullptr, bytes.data(), static_cast<ULONG>(bytes.size()), BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0)
        throw EFCreateError("No random numbers for a temporary file name");
    std::wstring tag;
    for (unsigned char byte : bytes) tag += kAlphabet[byte % (std::size(kAlphabet) - 1)];
    return tag;
}

}  // namespace

// Windows has no permission bits: `nPermissions` is left aside, and a
// read-only attribute in its place would only make the next update fail.
TPartFile::TPartFile(const std::filesystem::path& finalPath, std::string_view suffix, uint32_t /*nPermissions*/)
    : m_FinalPath(finalPath) {
    constexpr int kAttempts = 100;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::wstring name = finalPath.wstring() + L"." + RandomTag() + Widen(suffix);
        // Readers may look at the data (its checksum) before it is committed;
        // nobody may write or delete it behind the writer's back.
        HANDLE hFile = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
        if (hFile != INVALID_HANDLE_VALUE) {
            m_nHandle = reinterpret_cast<intptr_t>(hFile);
            m_strName = Narrow(name);
            return;
        }
        const DWORD nError = GetLastError();
        if (nError != ERROR_FILE_EXISTS && nError != ERROR_ALREADY_EXISTS)
            throw EFCreateError("Cannot create file \"" + finalPath.string() + "\". " + WindowsErrorText(nError));
    }
    throw EFCreateError("Cannot create file \"" + finalPath.string() + "\". No free temporary name");
}

TPartFile::~TPartFile() {
    if (m_nHandle != -1) CloseHandle(AsHandle(m_nHandle));
    if (!m_bCommitted && !m_strName.empty()) DeleteFileW(Widen(m_strName).c_str());
}

void TPartFile::Write(const char* data, size_t size) {
    constexpr size_t kMaxChunk = 1u << 30;
    while (size > 0) {
        DWORD nWritten = 0;
        const auto nChunk = static_cast<DWORD>(std::min(size, kMaxChunk));
        if (!WriteFile(AsHandle(m_nHandle), data, nChunk, &nWritten, nullptr) || nWritten == 0)
            throw std::runtime_error("Cannot write file \"" + m_strName + "\". " + WindowsErrorText(GetLastError()));
        data += nWritten;
        size -= nWritten;
        m_nWritten += nWritten;
    }
}

void TPartFile::Flush() {
    if (!FlushFileBuffers(AsHandle(m_nHandle)))
        throw std::runtime_error("Cannot flush file \"" + m_strName + "\". " + WindowsErrorText(GetLastError()));
}

// The cache manager starts writing dirty pages on its own within a second,
// and Windows has no call to hurry it for one file.
void TPartFile::StartWriteback() noexcept {}

void TPartFile::Commit() {
    HANDLE hFile = AsHandle(m_nHandle);
    m_nHandle = -1;
    if (!CloseHandle(hFile))
        throw std::runtime_error("Cannot close file \"" + m_strName + "\". " + WindowsErrorText(GetLastError()));
    // Replacing fails while the product runs the old file or has it open: the
    // caller learns that from the EFCreateError and may try again.
    if (!MoveFileExW(Widen(m_strName).c_str(), m_FinalPath.wstring().c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        throw EFCreateError("Cannot create file \"" + m_FinalPath.string() + "\". " + WindowsErrorText(GetLastError()));
    m_bCommitted = true;
}
