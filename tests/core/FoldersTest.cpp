#include <map>
#include <stdexcept>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "platform/Folders.h"
#include "platform/RegistryHive.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

// Just enough of a hive for the "Shell Folders" look-up: values by exact key and name.
class TMemoryHive : public IRegistryHive {
public:
    bool KeyExists(const std::string& key) const override {
        for (const auto& [k, v] : m_Values)
            if (k.first == key) return true;
        return false;
    }
    std::vector<std::string> SubKeyNames(const std::string&) const override { return {}; }
    std::vector<TRegValue> Values(const std::string& key) const override {
        std::vector<TRegValue> result;
        for (const auto& [k, v] : m_Values)
            if (k.first == key) result.push_back(v);
        return result;
    }
    std::optional<TRegValue> ReadValue(const std::string& key, const std::string& name) const override {
        auto it = m_Values.find({key, name});
        if (it == m_Values.end()) return std::nullopt;
        return it->second;
    }
    void CreateKey(const std::string&) override {}
    void WriteString(const std::string& key, const std::string& name, const std::string& data) override {
        m_Values[{key, name}] = TRegValue{name, TRegValue::rtString, data, 0};
    }
    void WriteDword(const std::string& key, const std::string& name, uint32_t data) override {
        m_Values[{key, name}] = TRegValue{name, TRegValue::rtDword, "", data};
    }
    // Nothing here can fail half-way, so one value after the other is all or nothing.
    void WriteValues(const std::vector<TRegWrite>& writes) override {
        for (const auto& write : writes) m_Values[{write.strKey, write.value.strName}] = write.value;
    }
    bool DeleteKey(const std::string&) override { return false; }
    bool DeleteValue(const std::string& key, const std::string& name) override {
        return m_Values.erase({key, name}) > 0;
    }

private:
    std::map<std::pair<std::string, std::string>, TRegValue> m_Values;
};

using TEnvList = std::vector<std::pair<const char*, const char*>>;

// Every variable the folder functions read, removed, then the case's values set.
class FoldersEnv : public testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"APPDATA", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_DESKTOP_DIR", "XDG_RUNTIME_DIR",
                                 "TMPDIR"})
            m_Env.Set(name, nullptr);
        m_Env.Set("HOME", m_Home.path().c_str());
    }
    void Apply(const TEnvList& list) {
        for (const auto& [name, value] : list) m_Env.Set(name, value);
    }
    TempDir m_Home;
    TScopedEnv m_Env;
};

struct TEnvCase {
    const char* szName;
    TEnvList env;
    std::string strExpected;  // "~" at the start stands for $HOME
};

std::string Expand(const std::string& expected, const fs::path& home) {
    return expected.starts_with("~") ? home.string() + expected.substr(1) : expected;
}

TEST_F(FoldersEnv, AppDataFolder) {
    const TEnvCase cases[] = {
        {"APPDATA wins", {{"APPDATA", "/data/roaming"}, {"XDG_DATA_HOME", "/xdg/data"}}, "/data/roaming"},
        {"XDG_DATA_HOME next", {{"XDG_DATA_HOME", "/xdg/data"}}, "/xdg/data"},
        {"empty APPDATA counts as unset", {{"APPDATA", ""}, {"XDG_DATA_HOME", "/xdg/data"}}, "/xdg/data"},
        {"relative XDG_DATA_HOME is ignored", {{"XDG_DATA_HOME", "rel/data"}}, "~/.local/share"},
        {"default", {}, "~/.local/share"},
    };
    for (const auto& c : cases) {
        TScopedEnv scope;
        for (const auto& [name, value] : c.env) scope.Set(name, value);
        EXPECT_EQ(AppDataFolder(), fs::path(Expand(c.strExpected, m_Home.path()))) << c.szName;
    }
}

TEST_F(FoldersEnv, TempAndRuntimeFolders) {
    struct TCase {
        const char* szName;
        TEnvList env;
        std::string strTemp, strRuntime;
    };
    const TCase cases[] = {
        {"defaults", {}, "/tmp/", "/tmp/"},
        {"TMPDIR gets a trailing separator", {{"TMPDIR", "/var/tmp/u"}}, "/var/tmp/u/", "/var/tmp/u/"},
        {"TMPDIR keeps its own separator", {{"TMPDIR", "/var/tmp/u/"}}, "/var/tmp/u/", "/var/tmp/u/"},
        {"empty TMPDIR counts as unset", {{"TMPDIR", ""}}, "/tmp/", "/tmp/"},
        {"runtime folder", {{"XDG_RUNTIME_DIR", "/run/user/1000"}, {"TMPDIR", "/t"}}, "/t/", "/run/user/1000"},
    };
    for (const auto& c : cases) {
        TScopedEnv scope;
        for (const auto& [name, value] : c.env) scope.Set(name, value);
        EXPECT_EQ(UserTempFolder(), c.strTemp) << c.szName;
        EXPECT_EQ(RuntimeFolder(), fs::path(c.strRuntime)) << c.szName;
    }
}

TEST_F(FoldersEnv, StoredShellFoldersWin) {
    TMemoryHive hive;
    hive.WriteString(kShellFoldersKey, "Desktop", "/stored/desk");
    hive.WriteString(kShellFoldersKey, "Programs", "/stored/progs");
    Apply({{"XDG_DESKTOP_DIR", "/env/desk"}});
    EXPECT_EQ(ShellFolder(hive, "Desktop"), fs::path("/stored/desk"));
    EXPECT_EQ(ShellFolder(hive, "Programs"), fs::path("/stored/progs"));
}

TEST_F(FoldersEnv, EmptyOrNonStringStoredValueFallsBack) {
    TMemoryHive hive;
    hive.WriteString(kShellFoldersKey, "Desktop", "");
    hive.WriteDword(kShellFoldersKey, "Programs", 7);
    EXPECT_EQ(ShellFolder(hive, "Desktop"), m_Home.path() / "Desktop");
    EXPECT_EQ(ShellFolder(hive, "Programs"), m_Home.path() / ".local/share/applications");
}

TEST_F(FoldersEnv, DesktopFallbacks) {
    const std::string userDirs =
        "# written by xdg-user-dirs-update\n"
        "XDG_DOCUMENTS_DIR=\"$HOME/Documentos\"\n"
        "XDG_DESKTOP_DIR=\"$HOME/Área de Trabalho\"\n";
    struct TCase {
        const char* szName;
        TEnvList env;
        std::string strUserDirs;  // content of ~/.config/user-dirs.dirs; empty: no file
        std::string strExpected;
    };
    const TCase cases[] = {
        {"environment first", {{"XDG_DESKTOP_DIR", "/env/desk"}}, userDirs, "/env/desk"},
        {"user-dirs.dirs with $HOME", {}, userDirs, "~/Área de Trabalho"},
        {"absolute entry", {}, "XDG_DESKTOP_DIR=\"/data/desk\"\n", "/data/desk"},
        {"commented entry ignored", {}, "#XDG_DESKTOP_DIR=\"/data/desk\"\n", "~/Desktop"},
        {"relative entry ignored", {}, "XDG_DESKTOP_DIR=\"desk\"\n", "~/Desktop"},
        {"$HOMEx is not $HOME", {}, "XDG_DESKTOP_DIR=\"$HOMEx/desk\"\n", "~/Desktop"},
        {"no file", {}, "", "~/Desktop"},
    };
    TMemoryHive hive;
    for (const auto& c : cases) {
        TScopedEnv scope;
        for (const auto& [name, value] : c.env) scope.Set(name, value);
        const fs::path file = m_Home / ".config" / "user-dirs.dirs";
        fs::remove(file);
        if (!c.strUserDirs.empty()) WriteFileText(file, c.strUserDirs);
        EXPECT_EQ(ShellFolder(hive, "Desktop"), fs::path(Expand(c.strExpected, m_Home.path()))) << c.szName;
    }
}

TEST_F(FoldersEnv, UserDirsFollowsXdgConfigHome) {
    TempDir config;
    WriteFileText(config / "user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Mesa\"\n");
    WriteFileText(m_Home / ".config" / "user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Wrong\"\n");
    Apply({{"XDG_CONFIG_HOME", config.path().c_str()}});
    TMemoryHive hive;
    EXPECT_EQ(ShellFolder(hive, "Desktop"), m_Home / "Mesa");
}

TEST_F(FoldersEnv, ProgramsFallbackIsTheApplicationsFolder) {
    TMemoryHive hive;
    EXPECT_EQ(ShellFolder(hive, "Programs"), m_Home / ".local/share/applications");
    Apply({{"XDG_DATA_HOME", "/xdg/data"}});
    EXPECT_EQ(ShellFolder(hive, "Programs"), fs::path("/xdg/data/applications"));
}

TEST_F(FoldersEnv, UnknownShellFolderIsRefused) {
    TMemoryHive hive;
    EXPECT_THROW(ShellFolder(hive, "Startup"), std::invalid_argument);
}

}  // namespace
