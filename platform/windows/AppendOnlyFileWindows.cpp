#include <windows.h>
// sddl.h needs windows.h first.
#include <sddl.h>

#include <memory>
#include <string>

#include "platform/AppendOnlyFile.h"

namespace {

HANDLE AsHandle(std::intptr_t nHandle) { return reinterpret_cast<HANDLE>(nHandle); }

// The holder shares its file for reading only: anyone may read the log while
// it grows, but whoever asks to write or delete it is refused.
bool HeldByAnother(const std::wstring& path) {
    HANDLE hFile =
        CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (hFile != INVALID_HANDLE_VALUE) {
        CloseHandle(hFile);
        return false;
    }
    return GetLastError() == ERROR_SHARING_VIOLATION;
}

// The security descriptor text that lets only the current user in, as mode
// 0600 does: a log in a shared temporary folder holds the user's paths.
std::wstring OwnerOnlyDescriptor() {
    HANDLE hToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &hToken)) return {};
    DWORD nSize = 0;
    GetTokenInformation(hToken, TokenUser, nullptr, 0, &nSize);
    auto buffer = std::make_unique<unsigned char[]>(nSize);
    std::wstring descriptor;
    if (nSize > 0 && GetTokenInformation(hToken, TokenUser, buffer.get(), nSize, &nSize)) {
        wchar_t* sidText = nullptr;
        if (ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.get())->User.Sid, &sidText)) {
            descriptor = L"D:P(A;;FA;;;" + std::wstring(sidText) + L")";
            LocalFree(sidText);
        }
    }
    CloseHandle(hToken);
    return descriptor;
}

// Whatever is there goes first, without being followed: a link is removed as
// a link. A folder stays, and CREATE_NEW then fails on it.
void RemoveOld(const std::wstring& path) {
    const DWORD nAttributes = GetFileAttributesW(path.c_str());
    if (nAttributes == INVALID_FILE_ATTRIBUTES) return;
    const bool bFolder = (nAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const bool bLink = (nAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (bFolder && bLink)
        RemoveDirectoryW(path.c_str());
    else if (!bFolder)
        DeleteFileW(path.c_str());
}

HANDLE CreateExclusive(const std::wstring& path) {
    // That process's record would be lost; this one goes without a file instead.
    if (HeldByAnother(path)) return INVALID_HANDLE_VALUE;
    RemoveOld(path);
    SECURITY_ATTRIBUTES security{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
    PSECURITY_DESCRIPTOR pDescriptor = nullptr;
    const std::wstring descriptor = OwnerOnlyDescriptor();
    if (!descriptor.empty() && ConvertStringSecurityDescriptorToSecurityDescriptorW(descriptor.c_str(), SDDL_REVISION_1,
                                                                                    &pDescriptor, nullptr))
        security.lpSecurityDescriptor = pDescriptor;
    // Append access alone makes every write land at the end in one piece,
    // whoever else appends; CREATE_NEW never opens what is already there.
    HANDLE hFile = CreateFileW(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ, &security, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (pDescriptor) LocalFree(pDescriptor);
    return hFile;
}

}  // namespace

TAppendOnlyFile::~TAppendOnlyFile() { Close(); }

bool TAppendOnlyFile::Create(const std::filesystem::path& path) {
    Close();
    m_hFile = reinterpret_cast<std::intptr_t>(CreateExclusive(path.wstring()));
    return IsOpen();
}

void TAppendOnlyFile::Close() noexcept {
    if (IsOpen()) CloseHandle(AsHandle(m_hFile));
    m_hFile = kNoFile;
}

void TAppendOnlyFile::Append(std::string_view bytes) noexcept {
    if (!IsOpen() || bytes.empty()) return;
    DWORD nWritten = 0;
    (void)WriteFile(AsHandle(m_hFile), bytes.data(), static_cast<DWORD>(bytes.size()), &nWritten, nullptr);
}

bool TAppendOnlyFile::IsHeld(const std::filesystem::path& path) { return HeldByAnother(path.wstring()); }
