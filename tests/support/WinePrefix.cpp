#include "support/WinePrefix.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

const char* kWine = "/usr/lib/wine/wine64";
const char* kWineServer = "/usr/lib/wine/wineserver";

// Quiet, and never asking to install Mono or Gecko or adding menu entries for
// the user's desktop: the tests need none of it.
WinePrefix::Env QuietWine(const fs::path& prefix, const fs::path& home) {
    return {{"WINEPREFIX", prefix.string()},
            {"HOME", home.string()},
            {"WINEDEBUG", "-all"},
            {"WINEDLLOVERRIDES", "mscoree,mshtml=;winemenubuilder.exe=d"},
            {"DISPLAY", ""},
            {"WAYLAND_DISPLAY", ""}};
}

void RunOrThrow(const std::string& exe, const std::vector<std::string>& args, const WinePrefix::Env& env,
                int timeoutSeconds) {
    const ProcessResult result = RunProcess(exe, args, env, "", timeoutSeconds);
    if (result.exitCode != 0)
        throw std::runtime_error(exe + " " + (args.empty() ? "" : args.front()) + " failed (" +
                                 std::to_string(result.exitCode) + "): " + result.err);
}

// What the program leaves running in the background keeps none of our pipes.
void RunWithoutOutput(const std::string& exe, const std::vector<std::string>& args, const WinePrefix::Env& env) {
    std::vector<std::string> shellArgs = {"-c", "\"$0\" \"$@\" </dev/null >/dev/null 2>&1", exe};
    shellArgs.insert(shellArgs.end(), args.begin(), args.end());
    RunProcess("sh", shellArgs, env, "", 120);
}

// Holds an exclusive lock on a file while it lives: two test processes must
// not make the template at the same time.
class TFileLock {
public:
    explicit TFileLock(const fs::path& file) : m_nFd(open(file.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0644)) {
        if (m_nFd < 0 || flock(m_nFd, LOCK_EX) != 0) throw std::runtime_error("cannot lock " + file.string());
    }
    ~TFileLock() { close(m_nFd); }
    TFileLock(const TFileLock&) = delete;
    TFileLock& operator=(const TFileLock&) = delete;

private:
    int m_nFd;
};

// The prefix every test copies, made by wineboot once per Windows build.
fs::path TemplatePrefix() {
    const fs::path build = WinePrefix::WindowsBuild();
    const fs::path prefix = build / "wine-template";
    TFileLock lock(build / "wine-template.lock");
    if (fs::is_directory(prefix)) return prefix;
    const fs::path making = build / "wine-template.making";
    fs::remove_all(making);
    const fs::path home = build / "wine-template-home";
    fs::create_directories(home);
    const WinePrefix::Env env = QuietWine(making, home);
    RunOrThrow(kWine, {"wineboot", "-i"}, env, 300);
    // The registry reaches its files only when the server ends.
    RunOrThrow(kWineServer, {"-w"}, env, 300);
    fs::rename(making, prefix);
    return prefix;
}

// Wine links the profile's Desktop and documents to the Unix home of whoever
// made the prefix; a test's copy gets folders of its own instead.
void UnlinkProfileFolders(const fs::path& userFolder) {
    for (const auto& entry : fs::directory_iterator(userFolder)) {
        if (!entry.is_symlink()) continue;
        fs::remove(entry.path());
        fs::create_directory(entry.path());
    }
}

fs::path TheUserFolder(const fs::path& prefix) {
    for (const auto& entry : fs::directory_iterator(prefix / "drive_c" / "users"))
        if (entry.path().filename() != "Public" && entry.is_directory()) return entry.path();
    throw std::runtime_error("no user folder in " + prefix.string());
}

}  // namespace

fs::path WinePrefix::WindowsBuild() {
    const char* build = std::getenv("VX_WINDOWS_BUILD");
    return build && *build ? fs::path(build) : fs::path(VX_SOURCE_DIR) / "build-win";
}

fs::path WinePrefix::Installer() {
    const fs::path exe = WindowsBuild() / "bin" / "OrlaDesk.exe";
    return fs::is_regular_file(exe) ? exe : fs::path();
}

WinePrefix::WinePrefix() : m_Prefix(m_Dir / "prefix") {
    RunOrThrow("cp", {"-a", TemplatePrefix().string(), m_Prefix.string()}, {}, 300);
    m_UserFolder = TheUserFolder(m_Prefix);
    UnlinkProfileFolders(m_UserFolder);
    fs::create_directories(m_Dir / "home");
}

WinePrefix::WinePrefix(const std::string& userName) : m_Prefix(m_Dir / "prefix"), m_strUserName(userName) {
    fs::create_directories(m_Dir / "home");
    RunOrThrow(kWine, {"wineboot", "-i"}, Environment(), 300);
    m_UserFolder = TheUserFolder(m_Prefix);
    UnlinkProfileFolders(m_UserFolder);
}

WinePrefix::~WinePrefix() { RunProcess(kWineServer, {"-k"}, Environment(), "", 60); }

WinePrefix::Env WinePrefix::Environment(const Env& extra) const {
    Env env = QuietWine(m_Prefix, m_Dir / "home");
    if (!m_strDisplay.empty()) env.emplace_back("DISPLAY", m_strDisplay);
    // Wine names the profile folder after the user.
    if (!m_strUserName.empty()) env.insert(env.end(), {{"USER", m_strUserName}, {"LOGNAME", m_strUserName}});
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

std::string WinePrefix::WineProgram() { return kWine; }

std::vector<std::string> WinePrefix::WineArguments(const std::string& program, const std::vector<std::string>& args) {
    std::vector<std::string> arguments = {program};
    arguments.insert(arguments.end(), args.begin(), args.end());
    return arguments;
}

ProcessResult WinePrefix::Run(const std::string& program, const std::vector<std::string>& args, const Env& env,
                              int timeoutSeconds) const {
    return RunProcess(kWine, WineArguments(program, args), Environment(env), "", timeoutSeconds);
}

void WinePrefix::StartSession(const std::string& program, const std::vector<std::string>& args) const {
    // The server goes to the background by itself; -p keeps it after its last client.
    RunWithoutOutput(kWineServer, {"-p"}, Environment());
    RunWithoutOutput(kWine, WineArguments(program, args), Environment());
}

fs::path WinePrefix::UnixPath(const std::string& windowsPath) const {
    if (windowsPath.size() < 3 || (windowsPath[0] != 'C' && windowsPath[0] != 'c') || windowsPath[1] != ':')
        throw std::runtime_error("not a path of drive C: " + windowsPath);
    std::string rest = windowsPath.substr(3);
    std::replace(rest.begin(), rest.end(), '\\', '/');
    return m_Prefix / "drive_c" / rest;
}

std::string WinePrefix::WindowsPath(const fs::path& unixPath) const {
    std::string rest = fs::relative(unixPath, m_Prefix / "drive_c").string();
    std::replace(rest.begin(), rest.end(), '/', '\\');
    return "C:\\" + rest;
}

std::optional<std::string> WinePrefix::RegistryValue(const std::string& key, const std::string& name) const {
    const ProcessResult result = Run("reg", {"query", "HKCU\\" + key, "/v", name});
    if (result.exitCode != 0) return std::nullopt;
    // "    NAME    REG_SZ    DATA" (the data may hold spaces, and be empty).
    std::istringstream lines(result.out);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t type = line.find("    REG_");
        if (type == std::string::npos) continue;
        const size_t data = line.find("    ", type + 4);
        return data == std::string::npos ? std::string() : line.substr(data + 4);
    }
    return std::nullopt;
}

bool WinePrefix::RegistryKeyExists(const std::string& key) const {
    return Run("reg", {"query", "HKCU\\" + key}).exitCode == 0;
}
