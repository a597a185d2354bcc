#include "engine/InstallationTarget.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <stdexcept>

#include "base/EditionConstants.h"
#include "base/InstallationName.h"
#include "diagnostics/Log.h"
#include "platform/FileVersion.h"
#include "platform/PathJoin.h"

namespace {

std::string Trim(const std::string& s) {
    size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    size_t last = s.find_last_not_of(' ');
    return s.substr(first, last - first + 1);
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

// Paths compare in lower case, as file names do on Windows, after "." and
// ".." are resolved: "vantixchart.exe" of another folder never matches.
std::string ComparablePath(const std::filesystem::path& path) { return Lower(path.lexically_normal().string()); }

// The executable itself, or the program that a loader was given on its command
// line (relative arguments are relative to the process's working folder).
bool RunsFile(const TProcessInfo& process, const std::string& wanted) {
    if (!process.strExePath.empty() && ComparablePath(process.strExePath) == wanted) return true;
    return std::any_of(process.lstArguments.begin(), process.lstArguments.end(), [&](const std::string& argument) {
        if (argument.empty()) return false;
        const std::filesystem::path program(argument);
        if (program.is_relative() && process.strWorkingDir.empty()) return false;
        return ComparablePath(std::filesystem::path(process.strWorkingDir) / program) == wanted;
    });
}

// A loader maps the program's image into its memory.
bool MapsFile(const IProcessList& processes, int pid, const std::string& wanted) {
    const auto modules = processes.Modules(pid);
    return std::any_of(modules.begin(), modules.end(),
                       [&](const std::string& module) { return ComparablePath(module) == wanted; });
}

std::string CompanyKey() { return std::string("Software\\") + edition::strCompanyName; }

bool NamesProduct(const std::string& key) {
    const std::string reg = edition::strProductRegName;
    return key == reg || key.starts_with(reg + "_");
}

// A key written by hand or by another program may carry a name that no
// wizard or command line would accept; it must not become a folder to work on.
bool HoldsSafeName(const std::string& key) {
    const std::string prefix = std::string(edition::strProductRegName) + "_";
    return !key.starts_with(prefix) || IsSafeInstallationName(std::string_view(key).substr(prefix.size()));
}

}  // namespace

TInstallationTarget::TInstallationTarget(std::filesystem::path appData)
    : m_strAppData(appData.string()),
      m_strInstallPath(Trim(m_strAppData + kNativeSeparator + edition::strCompanyName + kNativeSeparator + edition::strProductRegName)) {}

std::vector<std::string> TInstallationTarget::FindInstallations(const IRegistryHive& hkcu) const {
    std::vector<std::string> found;
    for (const auto& name : hkcu.SubKeyNames(CompanyKey())) {
        if (!NamesProduct(name)) continue;
        if (!HoldsSafeName(name)) {
            AppendLog("Install Ignored: " + name + " Error=the name is not a valid installation name");
            continue;
        }
        auto dir = hkcu.ReadString(CompanyKey() + "\\" + name + "\\1.0", "Dir");
        std::error_code ec;
        if (!dir || !std::filesystem::is_directory(*dir, ec)) continue;
        AppendLog("Install Found: " + *dir);
        found.push_back(name);
    }
    return found;
}

void TInstallationTarget::SetName(const std::string& name) {
    if (!IsSafeInstallationName(name)) throw std::invalid_argument("Invalid installation name: " + name);
    m_strVantixName = name == edition::strProductRegName ? "" : name;
}

std::string TInstallationTarget::InstallPath() const {
    if (m_strVantixName.empty()) return Trim(m_strInstallPath + kNativeSeparator);
    return Trim(m_strInstallPath + "_" + m_strVantixName + kNativeSeparator);
}

std::string TInstallationTarget::RegFolderName() const {
    if (m_strVantixName.empty()) return edition::strProductRegName;
    return std::string(edition::strProductRegName) + "_" + m_strVantixName;
}

std::string TInstallationTarget::CompanyFolder() const {
    return Trim(m_strAppData + kNativeSeparator + edition::strCompanyName + kNativeSeparator);
}

std::string TInstallationTarget::TempInstallFolder() const {
    return Trim(m_strAppData + kNativeSeparator + edition::strCompanyName + kNativeSeparator + "temp_install_" +
                edition::strProductCode + kNativeSeparator);
}

std::string TInstallationTarget::WantedKey(const std::string& cmdName) {
    if (cmdName.empty() || cmdName == edition::strProductRegName) return edition::strProductRegName;
    return std::string(edition::strProductRegName) + "_" + cmdName;
}

bool TInstallationTarget::ContainsKey(const std::vector<std::string>& found, const std::string& key) {
    std::string wanted = Lower(key);
    return std::any_of(found.begin(), found.end(), [&](const std::string& k) { return Lower(k) == wanted; });
}

std::string TInstallationTarget::RegisteredName(const std::vector<std::string>& found, const std::string& cmdName) {
    const std::string wanted = Lower(WantedKey(cmdName));
    const std::string prefix = std::string(edition::strProductRegName) + "_";
    for (const auto& key : found)
        if (Lower(key) == wanted) return key.starts_with(prefix) ? key.substr(prefix.size()) : "";
    return cmdName;
}

bool TInstallationTarget::IsProcessRunning(const IProcessList& processes, const std::string& path) {
    const std::string wanted = ComparablePath(path);
    for (const auto& process : processes.Snapshot())
        if (RunsFile(process, wanted) || MapsFile(processes, process.nPid, wanted)) return true;
    return false;
}

std::string TInstallationTarget::InstalledVersion(const std::string& installPath) {
    const std::string exe = installPath + edition::strProductExeName;
    const std::optional<TFileVersion> version = ReadPeFileVersion(exe);
    if (!version) {
        AppendLog("TInstallerThread.WMSetupDownloads: No version readable from " + exe +
                  "; the release is not held to one");
        return "";
    }
    return std::to_string(version->nMajor) + "." + std::to_string(version->nMinor) + "." +
           std::to_string(version->nRelease) + "." + std::to_string(version->nBuild);
}
