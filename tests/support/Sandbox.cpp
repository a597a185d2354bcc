#include "support/Sandbox.h"

#include <algorithm>

Sandbox::Sandbox() : m_Dir("vxsandbox") {
    for (auto sub : {"home", "tmp", "home/AppData/Roaming", "home/Desktop", "home/.config", "home/.local/share",
                     "run"})
        std::filesystem::create_directories(m_Dir / sub);
    std::filesystem::permissions(m_Dir / "run", std::filesystem::perms::owner_all);
}

Sandbox::Env Sandbox::Environment(const Env& extra) const {
    Env env = {
        {"HOME", Home().string()},
        {"TMPDIR", Temp().string()},
        {"APPDATA", AppData().string()},
        {"XDG_CONFIG_HOME", (m_Dir / "home/.config").string()},
        {"XDG_DATA_HOME", (m_Dir / "home/.local/share").string()},
        {"XDG_DESKTOP_DIR", Desktop().string()},
        {"XDG_RUNTIME_DIR", (m_Dir / "run").string()},
        {"VXREG_HKCU", HivePath().string()},
        {"VXREG_HKLM", (m_Dir / "no-machine-hive.sqlite").string()},
        {"DISPLAY", ""},
        {"WAYLAND_DISPLAY", ""},
        {"QT_QPA_PLATFORM", ""},
        {"ORLADESK_LANGUAGE", ""},
        // Error reports go to a closed local port: nothing leaves the machine.
        {"ORLADESK_ERROR_REPORT_URL", "https://127.0.0.1:9/software/error"},
        {"http_proxy", ""},
        {"https_proxy", ""},
        {"HTTP_PROXY", ""},
        {"HTTPS_PROXY", ""},
    };
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

std::filesystem::path Sandbox::InstallFolder(const std::string& name) const {
    return AppData() / "Corvane" / (name.empty() ? std::string("OrlaDesk") : "OrlaDesk_" + name);
}

std::vector<std::filesystem::path> Sandbox::LogFiles() const {
    std::vector<std::filesystem::path> logs;
    for (const auto& entry : std::filesystem::directory_iterator(Temp()))
        if (entry.path().filename().string().starts_with("OrlaDesk ") && entry.path().extension() == ".log")
            logs.push_back(entry.path());
    std::sort(logs.begin(), logs.end(), [](const auto& a, const auto& b) {
        return std::filesystem::last_write_time(a) < std::filesystem::last_write_time(b);
    });
    return logs;
}

std::string Sandbox::LastLog() const {
    auto logs = LogFiles();
    return logs.empty() ? "" : ReadFileText(logs.back());
}
