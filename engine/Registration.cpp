#include "engine/Registration.h"

#include <filesystem>
#include <limits>
#include <stdexcept>

#include "base/EditionConstants.h"
#include "diagnostics/Log.h"
#include "platform/FileSystem.h"
#include "platform/FileVersion.h"
#include "platform/Folders.h"
#include "platform/PathJoin.h"
#include "platform/RegistryHive.h"
#include "platform/Shell.h"
#include "platform/ShellLink.h"

namespace fs = std::filesystem;

namespace {

bool IsUnnamed(const std::string& name) { return name.empty() || name == edition::strProductRegName; }

std::string LanguageText(uint8_t language) {
    if (language == lngSpanish) return "2";
    if (language == lngEnglish) return "1";
    return "0";
}

// EstimatedSize is in KiB in a 32-bit value; a tree past its range reads as the largest size.
uint32_t SizeInKiB(uint64_t bytes) {
    const uint64_t kib = bytes / 1024;
    return kib > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                      : static_cast<uint32_t>(kib);
}

}  // namespace

TRegistration::TRegistration(IRegistryHive& hkcu) : m_Hkcu(hkcu) {}

std::string TRegistration::ApplicationKey(const std::string& strRegFolderName) {
    return std::string("Software\\") + edition::strCompanyName + "\\" + strRegFolderName + "\\1.0";
}

std::string TRegistration::UninstallKey(const std::string& strRegFolderName) {
    return "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + strRegFolderName;
}

std::string TRegistration::DisplayName(const std::string& strInstallName) {
    if (IsUnnamed(strInstallName)) return edition::strProductDisplayName;
    return std::string(edition::strProductDisplayName) + " (" + strInstallName + ")";
}

std::string TRegistration::ShortcutFileName(const std::string& strInstallName) {
    if (IsUnnamed(strInstallName)) return std::string(edition::strShortcutName) + ".lnk";
    return std::string(edition::strShortcutName) + " (" + strInstallName + ").lnk";
}

void TRegistration::WriteRegistry(const TRegistrationRequest& request) {
    AppendLog("WriteRegistry");
    if (request.strRegFolderName.empty()) throw std::invalid_argument("WriteRegistry: no registry folder name");
    std::vector<TRegWrite> writes;
    if (request.bNewInstall) AddApplicationKeys(request, writes);
    AddUninstallEntry(request, writes);
    // One transaction: a run killed or failing half-way must not leave an
    // installation that is found by its "Dir" but has no uninstall entry.
    m_Hkcu.WriteValues(writes);
}

void TRegistration::AddApplicationKeys(const TRegistrationRequest& request, std::vector<TRegWrite>& writes) {
    const std::string key = ApplicationKey(request.strRegFolderName);
    writes.push_back(TRegWrite::String(key, "Dir", request.strInstallPath));
    writes.push_back(TRegWrite::String(key + "\\Default", "IsDarkTheme", "1"));
    writes.push_back(TRegWrite::String(key + "\\Preferences", "Language", LanguageText(request.nLanguage)));
}

void TRegistration::AddUninstallEntry(const TRegistrationRequest& request, std::vector<TRegWrite>& writes) {
    const std::string key = UninstallKey(request.strRegFolderName);
    const std::string& path = request.strInstallPath;
    const std::string exe = path + edition::strProductExeName;
    const std::string version = GetFileVersionString(exe, true);
    writes.push_back(TRegWrite::String(key, "DisplayName", DisplayName(request.strInstallName)));
    writes.push_back(TRegWrite::String(key, "DisplayIcon", exe));
    writes.push_back(TRegWrite::String(key, "DisplayVersion", version));
    writes.push_back(TRegWrite::String(key, "InstallLocation", path));
    writes.push_back(TRegWrite::String(key, "Publisher", edition::strPublisherName));
    writes.push_back(TRegWrite::Dword(key, "NoModify", 1));
    writes.push_back(TRegWrite::Dword(key, "NoRepair", 1));
    writes.push_back(TRegWrite::Dword(key, "EstimatedSize", SizeInKiB(GetFolderSize(path, true))));
    writes.push_back(TRegWrite::Dword(key, "Language", 1046));
    writes.push_back(TRegWrite::String(key, "Version", version));
    writes.push_back(TRegWrite::String(key, "UninstallString", "\"" + path + "Desinstalar.exe\""));
}

void TRegistration::CreateShortcuts(const TRegistrationRequest& request) {
    AppendLog("CreateShortcuts");
    const std::string target = request.strInstallPath + edition::strProductExeName;
    const std::string fileName = ShortcutFileName(request.strInstallName);

    // The desktop folder may be missing on a machine without a desktop session
    // (the XDG fallback ~/Desktop); it is made like the programs folder below.
    const std::string desktop = WithTrailingSeparator(ShellFolder(m_Hkcu, "Desktop").string());
    if (!fs::is_directory(desktop)) {
        AppendLog("Create Dir: " + desktop);
        fs::create_directories(desktop);
    }
    const std::string desktopLink = ShellLinkFilePath(desktop + fileName).string();
    AppendLog(desktopLink);
    SaveShellLink(desktopLink, target, "", "", "");

    // With parents: the freedesktop applications folder that stands in for the
    // programs menu does not exist on a fresh account.
    const std::string programs =
        WithTrailingSeparator(ShellFolder(m_Hkcu, "Programs").string()) + edition::strCompanyName + kNativeSeparator;
    if (!fs::is_directory(programs)) {
        AppendLog("Create Dir: " + programs);
        fs::create_directories(programs);
    }
    const std::string programsLink = ShellLinkFilePath(programs + fileName).string();
    AppendLog(programsLink);
    SaveShellLink(programsLink, target, "", "", "");
}

void TRegistration::OpenProduct(const std::string& strInstallPath) {
    ShellOpen(strInstallPath + edition::strProductExeName);
}
