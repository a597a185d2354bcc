#include "platform/Hives.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "platform/RegistryHiveSqlite.h"

namespace {

std::string EnvOrEmpty(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::filesystem::path HomeFolder() {
    std::string home = EnvOrEmpty("HOME");
    if (!home.empty()) return home;
    // A service or cron job may run without HOME; the password database still knows.
    std::vector<char> buf(16384);
    passwd pw{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_dir)
        return found->pw_dir;
    throw std::runtime_error("cannot find the current user's home folder (HOME is not set)");
}

std::filesystem::path ConfigFolder() {
    // Relative values are invalid by the XDG rules and would depend on the
    // current folder, so they are ignored.
    std::filesystem::path xdg = EnvOrEmpty("XDG_CONFIG_HOME");
    if (xdg.is_absolute()) return xdg;
    return HomeFolder() / ".config";
}

}  // namespace

std::filesystem::path CurrentUserHivePath() {
    std::string explicitPath = EnvOrEmpty("VXREG_HKCU");
    if (!explicitPath.empty()) return explicitPath;
    return ConfigFolder() / "vxreg" / "HKCU.sqlite";
}

std::filesystem::path LocalMachineHivePath() {
    std::string explicitPath = EnvOrEmpty("VXREG_HKLM");
    if (!explicitPath.empty()) return explicitPath;
    return "/etc/vxreg/HKLM.sqlite";
}

std::unique_ptr<IRegistryHive> OpenCurrentUserHive() {
    return std::make_unique<TRegistryHiveSqlite>(CurrentUserHivePath(), false,
                                                 TRegistryHiveSqlite::TRoot::hrCurrentUser);
}

std::unique_ptr<IRegistryHive> OpenLocalMachineHive() {
    return std::make_unique<TRegistryHiveSqlite>(LocalMachineHivePath(), true,
                                                 TRegistryHiveSqlite::TRoot::hrLocalMachine);
}
