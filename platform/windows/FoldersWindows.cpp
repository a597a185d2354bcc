#include <windows.h>
// The other system headers build on windows.h.
#include <knownfolders.h>
#include <shlobj.h>

#include <algorithm>
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

// The core carries paths as UTF-8 text, and the C++ library of this build
// reads narrow text into a path byte by byte: a user folder named with letters
// outside ASCII ("C:\Users\João") would be taken for another one. Its short
// name ("C:\Users\JOO~1") names the same folder in ASCII. A volume that makes
// no short names leaves the long one.
fs::path AsciiReachable(const fs::path& folder) {
    const std::wstring& name = folder.native();
    if (std::all_of(name.begin(), name.end(), [](wchar_t c) { return c < 0x80; })) return folder;
    const DWORD nLength = GetShortPathNameW(name.c_str(), nullptr, 0);
    if (nLength == 0) return folder;
    std::wstring shortName(nLength, L'\0');
    const DWORD nWritten = GetShortPathNameW(name.c_str(), shortName.data(), nLength);
    if (nWritten == 0 || nWritten >= nLength) return folder;
    shortName.resize(nWritten);
    return fs::path(shortName);
}

}  // namespace

fs::path AppDataFolder() {
    if (auto appData = NonEmptyEnv(L"APPDATA")) return AsciiReachable(fs::path(*appData));
    return AsciiReachable(KnownFolder(FOLDERID_RoamingAppData, "application data"));
}

std::string UserTempFolder() {
    // GetTempPathW follows TMP, TEMP and USERPROFILE itself, as Linux follows TMPDIR.
    wchar_t buffer[MAX_PATH + 1];
    const DWORD nLength = GetTempPathW(MAX_PATH + 1, buffer);
    if (nLength == 0 || nLength > MAX_PATH)
        throw std::runtime_error("cannot find the temporary folder: " + WindowsErrorText(GetLastError()));
    std::string folder = Narrow(AsciiReachable(fs::path(std::wstring(buffer, nLength))).native());
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
        return AsciiReachable(fs::path(Widen(*stored)));
    return AsciiReachable(name == "Desktop" ? KnownFolder(FOLDERID_Desktop, "desktop")
                                            : KnownFolder(FOLDERID_Programs, "programs"));
}
