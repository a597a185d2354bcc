#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <stdexcept>

#include "platform/Folders.h"
#include "platform/RegistryHive.h"

namespace fs = std::filesystem;

namespace {

std::optional<std::string> NonEmptyEnv(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value) return std::nullopt;
    return std::string(value);
}

// The XDG base-directory rules ignore relative values.
std::optional<fs::path> XdgEnv(const char* name) {
    auto value = NonEmptyEnv(name);
    if (!value || (*value)[0] != '/') return std::nullopt;
    return fs::path(*value);
}

fs::path HomeFolder() {
    if (auto home = NonEmptyEnv("HOME")) return *home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/";
}

fs::path DataHome() { return XdgEnv("XDG_DATA_HOME").value_or(HomeFolder() / ".local" / "share"); }

// One value of user-dirs.dirs: XDG_DESKTOP_DIR="$HOME/Desktop". Only absolute
// paths and paths starting with $HOME are valid there.
std::optional<fs::path> UserDirsEntry(const std::string& key) {
    const fs::path file = XdgEnv("XDG_CONFIG_HOME").value_or(HomeFolder() / ".config") / "user-dirs.dirs";
    std::ifstream in(file);
    std::string line;
    std::optional<fs::path> found;
    while (std::getline(in, line)) {
        const auto first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        if (line.compare(first, key.size() + 1, key + "=") != 0) continue;
        std::string value = line.substr(first + key.size() + 1);
        while (!value.empty() && (value.back() == ' ' || value.back() == '\t' || value.back() == '\r')) value.pop_back();
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        if (value.starts_with("$HOME")) {
            const std::string rest = value.substr(5);
            if (!rest.empty() && rest[0] != '/') continue;
            found = HomeFolder().string() + rest;
        } else if (value.starts_with("/")) {
            found = fs::path(value);
        }
    }
    return found;  // the last valid line wins, as in xdg-user-dirs
}

fs::path XdgDesktopFolder() {
    if (auto env = XdgEnv("XDG_DESKTOP_DIR")) return *env;
    if (auto entry = UserDirsEntry("XDG_DESKTOP_DIR")) return *entry;
    return HomeFolder() / "Desktop";
}

}  // namespace

fs::path AppDataFolder() {
    if (auto appData = NonEmptyEnv("APPDATA")) return *appData;
    return DataHome();
}

std::string UserTempFolder() {
    std::string folder = NonEmptyEnv("TMPDIR").value_or("/tmp");
    if (!folder.ends_with('/')) folder += '/';
    return folder;
}

fs::path RuntimeFolder() {
    if (auto runtime = XdgEnv("XDG_RUNTIME_DIR")) return *runtime;
    return UserTempFolder();
}

fs::path ShellFolder(const IRegistryHive& hive, std::string_view name) {
    if (name != "Desktop" && name != "Programs")
        throw std::invalid_argument("ShellFolder: unknown folder " + std::string(name));
    if (auto stored = hive.ReadString(kShellFoldersKey, std::string(name)); stored && !stored->empty())
        return *stored;
    return name == "Desktop" ? XdgDesktopFolder() : DataHome() / "applications";
}
