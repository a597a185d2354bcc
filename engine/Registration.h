#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "base/Texts.h"

class IRegistryHive;
struct TRegWrite;

// What the last steps of a run need to know about the installation.
struct TRegistrationRequest {
    bool bNewInstall = false;      // also write the application keys
    std::string strInstallPath;    // native, ending in "/"
    std::string strRegFolderName;  // "OrlaDesk" or "OrlaDesk_<name>"
    std::string strInstallName;    // empty (or "OrlaDesk") for the unnamed installation
    uint8_t nLanguage = GetLanguage();  // the run's language, stored as the product's preference
};

// Records an installation in the current user's hive and makes its two
// shortcuts. Engine thread only. Both steps throw on failure (the hive's
// std::runtime_error, or the shortcut's); the engine turns that into its exit
// code or error frame. The registry values are written all together or not at
// all; a shortcut failure leaves them written.
class TRegistration {
public:
    explicit TRegistration(IRegistryHive& hkcu);

    // For a new installation the application keys (folder, theme, language);
    // for every run the uninstall entry, its values in a fixed order.
    void WriteRegistry(const TRegistrationRequest& request);

    // The product's shortcut on the desktop and in the company's programs-menu
    // folder (created when missing).
    void CreateShortcuts(const TRegistrationRequest& request);

    // Starts the installed product; whether it started is not used.
    static void OpenProduct(const std::string& strInstallPath);

    // "Software\\Corvane\\<reg>\\1.0": the key that tells an installation exists.
    static std::string ApplicationKey(const std::string& strRegFolderName);
    static std::string UninstallKey(const std::string& strRegFolderName);
    // "Orla Desk" or "Orla Desk (a)".
    static std::string DisplayName(const std::string& strInstallName);
    // "Orla Desk.lnk" or "Orla Desk (a).lnk".
    static std::string ShortcutFileName(const std::string& strInstallName);

private:
    static void AddApplicationKeys(const TRegistrationRequest& request, std::vector<TRegWrite>& writes);
    static void AddUninstallEntry(const TRegistrationRequest& request, std::vector<TRegWrite>& writes);

    IRegistryHive& m_Hkcu;
};
