#include <windows.h>
// The other system headers build on windows.h.
#include <knownfolders.h>
#include <shlobj.h>

#include <optional>
#include <stdexcept>

#include "platform/Folders.h"
#include "platform/RegistryHive.h"
#include "platform/windows/WideString.h"

namespace fs = std::filesystem;

namespace {

// The process's environment as Windows keeps it: SetEnvironmentVariableW and
// _putenv both reach it, while the C runtime's copy misses the former.
std::optional<std::wstring> NonEmptyEnv(const wchar_t* name) {
    std::wstring value(256, L'\0');
    for (;;) {
        const DWORD nLength = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
        if (nLength == 0) return std::nullopt;
        if (nLength < value.size()) {
            value.resize(nLength);
            return value;
        }
        value.resize(nLength);
    }
}

// A folder that does not exist yet is still named: callers create what they
// need, as on Linux.
fs::path KnownFolder(REFKNOWNFOLDERID id, const char* name) {
    PWSTR pPath = nullptr;
    const HRESULT hr = SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &pPath);
    if (FAILED(hr)) {
        CoTaskMemFree(pPath);
        throw std::runtime_error(std::string("cannot find the ") + name +
                                 " folder: " + WindowsErrorText(static_cast<unsigned long>(hr)));
    }
    fs::path folder(std::wstring{pPath});
    CoTaskMemFree(pPath);
    return folder;
}

}  // namespace

fs::path AppDataFolder() {
    if (auto appData = NonEmptyEnv(L"APPDATA")) return fs::path(*appData);
    return KnownFolder(FOLDERID_RoamingAppData, "application data");
}

std::string UserTempFolder() {
    // GetTempPathW follows TMP, TEMP and USERPROFILE itself, as Linux follows TMPDIR.
    wchar_t buffer[MAX_PATH + 1];
    const DWORD nLength = GetTempPathW(MAX_PATH + 1, buffer);
    if (nLength == 0 || nLength > MAX_PATH)
        throw std::runtime_error("cannot find the temporary folder: " + WindowsErrorText(GetLastError()));
    std::string folder = Narrow(std::wstring_view(buffer, nLength));
    if (!folder.ends_with('\\') && !folder.ends_with('/')) folder += '\\';
    return folder;
}

// Only the single-instance lock lived here on Linux; Windows' named mutex
// needs no folder, so the temporary folder serves whatever else wants one.
fs::path RuntimeFolder() { return fs::path(Widen(UserTempFolder())); }

fs::path ShellFolder(const IRegistryHive& hive, std::string_view name) {
    if (name != "Desktop" && name != "Programs")
        throw std::invalid_argument("ShellFolder: unknown folder " + std::string(name));
    if (auto stored = hive.ReadString(kShellFoldersKey, std::string(name)); stored && !stored->empty())
        return fs::path(Widen(*stored));
    return name == "Desktop" ? KnownFolder(FOLDERID_Desktop, "desktop") : KnownFolder(FOLDERID_Programs, "programs");
}
