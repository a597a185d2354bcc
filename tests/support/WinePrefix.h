#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/ChildProcess.h"
#include "support/TempDir.h"

// A Windows user's world for one test: a Wine prefix of its own (a copy of a
// template made once per build, because making one takes Wine many seconds),
// with its Desktop and documents as plain folders inside it, so that nothing a
// Windows program does reaches the real user's files. Its wineserver, and every
// Windows process of the prefix with it, is ended when the object goes away.
class WinePrefix {
public:
    using Env = std::vector<std::pair<std::string, std::string>>;

    WinePrefix();
    // A prefix made afresh (which takes Wine many seconds) for a user of this
    // name, whose profile folder then carries it: "C:\\users\\<name>".
    explicit WinePrefix(const std::string& userName);
    ~WinePrefix();
    WinePrefix(const WinePrefix&) = delete;
    WinePrefix& operator=(const WinePrefix&) = delete;

    // The Windows build's folder (VX_WINDOWS_BUILD, else build-win beside the
    // sources) and its installer; empty when that build is missing.
    static std::filesystem::path WindowsBuild();
    static std::filesystem::path Installer();

    // Runs a Windows program (a Unix path or a Windows one such as "C:\\x.exe")
    // in the prefix; `env` is added to the environment the program inherits.
    ProcessResult Run(const std::string& program, const std::vector<std::string>& args, const Env& env = {},
                      int timeoutSeconds = 120) const;
    // What starts `program` in this prefix, for a program left running in the
    // background: Wine's loader, its arguments and Environment().
    static std::string WineProgram();
    static std::vector<std::string> WineArguments(const std::string& program, const std::vector<std::string>& args);
    Env Environment(const Env& extra = {}) const;

    // "C:\\users\\..." as a path of this machine; a path inside the prefix's C: back again.
    std::filesystem::path UnixPath(const std::string& windowsPath) const;
    std::string WindowsPath(const std::filesystem::path& unixPath) const;

    // The X display every later Wine process of the prefix draws on (none by
    // default). Wine binds a prefix's session to the display of its first
    // process, so a test with windows sets it before running anything.
    void SetDisplay(const std::string& display) { m_strDisplay = display; }

    // Starts the prefix's Wine session for good (until the prefix goes away)
    // by running `program` with its output thrown away. A test that keeps a
    // Windows program running needs it: Wine's server, services and desktop
    // outlive the run that started them, and would hold that run's output
    // pipes open, so that waiting for its output would wait for them.
    void StartSession(const std::string& program, const std::vector<std::string>& args = {}) const;

    std::filesystem::path UserFolder() const { return m_UserFolder; }
    std::filesystem::path AppData() const { return m_UserFolder / "AppData" / "Roaming"; }
    std::filesystem::path Temp() const { return m_UserFolder / "Temp"; }
    std::filesystem::path Desktop() const { return m_UserFolder / "Desktop"; }

    // A value of the current user's registry as `reg query` prints it; none
    // when the key or the value is missing.
    std::optional<std::string> RegistryValue(const std::string& key, const std::string& name) const;
    bool RegistryKeyExists(const std::string& key) const;

private:
    TempDir m_Dir{"vxwine"};
    std::filesystem::path m_Prefix;
    std::filesystem::path m_UserFolder;
    std::string m_strUserName;
    std::string m_strDisplay;
};
