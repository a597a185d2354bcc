#include <windows.h>
// The other system headers build on windows.h.
#include <bcrypt.h>
#include <sddl.h>

#include <memory>
#include <stdexcept>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/PrivateFolder.h"
#include "platform/windows/WideString.h"

namespace {

std::runtime_error CannotCreate(const std::string& folder, DWORD error) {
    return std::runtime_error("Cannot create folder " + folder + "\\: " + WindowsErrorText(error));
}

// The current user's SID in its text form ("S-1-5-21-...").
std::wstring CurrentUserSid() {
    HANDLE hToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &hToken)) return {};
    DWORD nSize = 0;
    GetTokenInformation(hToken, TokenUser, nullptr, 0, &nSize);
    std::vector<BYTE> buffer(nSize);
    std::wstring text;
    if (nSize && GetTokenInformation(hToken, TokenUser, buffer.data(), nSize, &nSize)) {
        LPWSTR pText = nullptr;
        if (ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &pText)) {
            text = pText;
            LocalFree(pText);
        }
    }
    CloseHandle(hToken);
    return text;
}

// Full access for the current user alone, inherited by everything inside and
// never by what is around it: the temporary folder may be shared (TMP can
// name any folder), so nothing is taken from its permissions.
struct TPrivateSecurity {
    TPrivateSecurity() {
        const std::wstring sid = CurrentUserSid();
        if (sid.empty())
            throw std::runtime_error("Cannot create a private folder: " + WindowsErrorText(GetLastError()));
        const std::wstring sddl = L"D:P(A;OICI;FA;;;" + sid + L")";
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &pDescriptor, nullptr))
            throw std::runtime_error("Cannot create a private folder: " + WindowsErrorText(GetLastError()));
        attributes.nLength = sizeof attributes;
        attributes.lpSecurityDescriptor = pDescriptor;
        attributes.bInheritHandle = FALSE;
    }
    ~TPrivateSecurity() { LocalFree(pDescriptor); }
    TPrivateSecurity(const TPrivateSecurity&) = delete;
    TPrivateSecurity& operator=(const TPrivateSecurity&) = delete;

    PSECURITY_DESCRIPTOR pDescriptor = nullptr;
    SECURITY_ATTRIBUTES attributes{};
};

std::string RandomSuffix() {
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    // Unpredictable, so that nobody can take the next name first.
    unsigned char bytes[6] = {};
    const NTSTATUS status = BCryptGenRandom(nullptr, bytes, sizeof bytes, BCRYPT_USE_SYSTEM_PREFERRED_RNG);
    if (status < 0) throw std::runtime_error("Cannot create a private folder: " + WindowsErrorText(status));
    std::string suffix;
    for (unsigned char byte : bytes) suffix += kLetters[byte % (sizeof kLetters - 1)];
    return suffix;
}

// CreateDirectoryW never follows a link at the name: a name that exists in
// any form is ERROR_ALREADY_EXISTS, and a fresh random name is tried instead.
std::string MakeFolderExclusively(const std::string& folder) {
    TPrivateSecurity security;
    if (CreateDirectoryW(Widen(folder).c_str(), &security.attributes)) return folder;
    DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS) throw CannotCreate(folder, error);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string unique = folder + "_" + RandomSuffix();
        if (CreateDirectoryW(Widen(unique).c_str(), &security.attributes)) return unique;
        error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS) throw CannotCreate(unique, error);
    }
    throw CannotCreate(folder + "_XXXXXX", error);
}

struct TIdentity {
    bool bFolder = false;
    uint64_t nVolume = 0;
    uint64_t nFile = 0;
};

// What the name itself holds, never what a link there points at.
bool IdentityOf(const std::string& path, TIdentity& identity) {
    const HANDLE hFile =
        CreateFileW(Widen(path).c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool bRead = GetFileInformationByHandle(hFile, &info) != 0;
    CloseHandle(hFile);
    if (!bRead) return false;
    identity.bFolder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                       (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
    identity.nVolume = info.dwVolumeSerialNumber;
    identity.nFile = (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

}  // namespace

std::string TPrivateFolder::Create(const std::string& folder) {
    const std::string made = MakeFolderExclusively(folder);
    TIdentity identity;
    if (!IdentityOf(made, identity)) throw CannotCreate(made, GetLastError());
    m_strFolder = made;
    m_nVolume = identity.nVolume;
    m_nFile = identity.nFile;
    m_bMade = true;
    return made;
}

TPrivateFolder::TRemoval TPrivateFolder::Remove() {
    if (!m_bMade) return TRemoval::NothingMade;
    m_bMade = false;
    TIdentity identity;
    if (!IdentityOf(m_strFolder, identity) || !identity.bFolder || identity.nVolume != m_nVolume ||
        identity.nFile != m_nFile)
        return TRemoval::NoLongerOurs;
    DeleteFolderSilently(std::filesystem::path(Widen(m_strFolder)));
    return TRemoval::Removed;
}
