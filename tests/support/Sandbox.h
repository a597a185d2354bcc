#pragma once
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "support/TempDir.h"

// A user's world in a temporary folder, for running the real installer: HOME,
// TMPDIR, APPDATA, the XDG folders, the registry hive and the runtime folder all
// point inside it, and no display is set, so nothing the program does reaches
// the real user's files.
class Sandbox {
public:
    Sandbox();

    using Env = std::vector<std::pair<std::string, std::string>>;
    // The environment of a program run in the sandbox, plus `extra`.
    Env Environment(const Env& extra = {}) const;

    std::filesystem::path Root() const { return m_Dir.path(); }
    std::filesystem::path Home() const { return m_Dir / "home"; }
    std::filesystem::path Temp() const { return m_Dir / "tmp"; }
    std::filesystem::path AppData() const { return m_Dir / "home/AppData/Roaming"; }
    std::filesystem::path Desktop() const { return m_Dir / "home/Desktop"; }
    std::filesystem::path Applications() const { return m_Dir / "home/.local/share/applications"; }
    std::filesystem::path HivePath() const { return m_Dir / "home/.config/vxreg/HKCU.sqlite"; }
    std::filesystem::path InstallFolder(const std::string& name = "") const;

    // The log files the installer left in the temporary folder, oldest first.
    std::vector<std::filesystem::path> LogFiles() const;
    // The newest log file's text ("" when there is none).
    std::string LastLog() const;

private:
    TempDir m_Dir;
};
