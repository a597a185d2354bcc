#pragma once
#include <filesystem>
#include <string>
#include <vector>

#include "platform/ProcessList.h"
#include "platform/RegistryHive.h"

// Where the current installation lives: its name, folders and registry folder.
// Several named installations may live side by side, one of them unnamed; the
// name equal to the registry name also means the unnamed one.
//
// Threads: changed on the engine thread only, before workers exist; read by
// workers while they run.
class TInstallationTarget {
public:
    // `appData` is the roaming application-data folder.
    explicit TInstallationTarget(std::filesystem::path appData);

    // The registry folder names of the installations that exist: sub-keys of
    // "Software\<company>" named after the product (exactly, or followed by
    // "_"), whose "1.0\Dir" names a folder that exists and whose name passes
    // IsSafeInstallationName. Registry order.
    std::vector<std::string> FindInstallations(const IRegistryHive& hkcu) const;

    // Throws std::invalid_argument for a name IsSafeInstallationName refuses.
    void SetName(const std::string& name);
    const std::string& Name() const { return m_strVantixName; }

    // "<appdata>/Corvane/OrlaDesk", no trailing separator.
    std::string BasePath() const { return m_strInstallPath; }
    // The installation folder with a trailing separator: ".../OrlaDesk/" or ".../OrlaDesk_<name>/".
    std::string InstallPath() const;
    // "OrlaDesk" or "OrlaDesk_<name>".
    std::string RegFolderName() const;
    // ".../Corvane/", the only folder whose direct children the engine may
    // delete or rename.
    std::string CompanyFolder() const;
    // The folder a new installation is unpacked into: ".../Corvane/temp_install_orladesk/".
    std::string TempInstallFolder() const;

    // The registry folder name a command-line name asks for.
    static std::string WantedKey(const std::string& cmdName);
    // Whether `key` is in `found`, ignoring letter case.
    static bool ContainsKey(const std::vector<std::string>& found, const std::string& key);
    // The name of the found installation that `cmdName` asks for, as registered
    // (its letter case may differ); `cmdName` itself when none matches.
    static std::string RegisteredName(const std::vector<std::string>& found, const std::string& cmdName);
    // Whether a running process executes the file `path`: as its executable,
    // as the program named on its command line (a loader's), or as a file it
    // maps (a compatibility layer maps the program's image). Only that very
    // path counts, in any letter case; the same name in another folder does not.
    static bool IsProcessRunning(const IProcessList& processes, const std::string& path);
    // "a.b.c.d" of the program installed in `installPath` (with a trailing
    // separator), which an update or repair must not go below; "" (logged)
    // when its version cannot be read.
    static std::string InstalledVersion(const std::string& installPath);

private:
    std::string m_strAppData;
    std::string m_strInstallPath;
    std::string m_strVantixName;
};
