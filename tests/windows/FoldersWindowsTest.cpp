#include <windows.h>
// The other system headers build on windows.h.
#include <gtest/gtest.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <algorithm>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/Folders.h"
#include "platform/RegistryHive.h"
#include "platform/windows/WideString.h"

namespace fs = std::filesystem;

namespace {

// Just enough of a hive for the "Shell Folders" look-up.
class TMemoryHive : public IRegistryHive {
public:
    bool KeyExists(const std::string&) const override { return true; }
    std::vector<std::string> SubKeyNames(const std::string&) const override { return {}; }
    std::vector<TRegValue> Values(const std::string&) const override { return {}; }
    std::optional<TRegValue> ReadValue(const std::string& key, const std::string& name) const override {
        auto it = m_Values.find({key, name});
        if (it == m_Values.end()) return std::nullopt;
        return it->second;
    }
    void CreateKey(const std::string&) override {}
    void WriteString(const std::string& key, const std::string& name, const std::string& data) override {
        m_Values[{key, name}] = TRegValue{name, TRegValue::rtString, data, 0};
    }
    void WriteDword(const std::string&, const std::string&, uint32_t) override {}
    void WriteValues(const std::vector<TRegWrite>&) override {}
    bool DeleteKey(const std::string&) override { return false; }
    bool DeleteValue(const std::string&, const std::string&) override { return false; }

private:
    std::map<std::pair<std::string, std::string>, TRegValue> m_Values;
};

// Sets (or, with null, removes) variables in the process's environment and
// puts the old values back.
class TScopedWideEnv {
public:
    ~TScopedWideEnv() {
        for (auto it = m_Saved.rbegin(); it != m_Saved.rend(); ++it)
            SetEnvironmentVariableW(it->first.c_str(), it->second ? it->second->c_str() : nullptr);
    }
    void Set(const wchar_t* name, const wchar_t* value) {
        wchar_t old[32768];
        const DWORD nLength = GetEnvironmentVariableW(name, old, 32768);
        m_Saved.emplace_back(name, nLength ? std::optional<std::wstring>(old) : std::nullopt);
        SetEnvironmentVariableW(name, value);
    }

private:
    std::vector<std::pair<std::wstring, std::optional<std::wstring>>> m_Saved;
};

fs::path Known(REFKNOWNFOLDERID id) {
    PWSTR pPath = nullptr;
    EXPECT_TRUE(SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &pPath)));
    fs::path path(pPath ? std::wstring(pPath) : std::wstring());
    CoTaskMemFree(pPath);
    return path;
}

TEST(FoldersWindows, AppDataIsTheVariableWhenSetElseTheRoamingFolder) {
    TScopedWideEnv env;
    env.Set(L"APPDATA", L"D:\\Perfis\\Jo\u00e3o\\Roaming");
    EXPECT_EQ(AppDataFolder().wstring(), L"D:\\Perfis\\Jo\u00e3o\\Roaming");
    EXPECT_EQ(AppDataFolder().string(), "D:\\Perfis\\Jo\xC3\xA3o\\Roaming") << "UTF-8 for the core";

    for (const wchar_t* unset : {static_cast<const wchar_t*>(nullptr), L""}) {
        env.Set(L"APPDATA", unset);
        const fs::path folder = AppDataFolder();
        EXPECT_TRUE(folder.is_absolute()) << folder;
        EXPECT_EQ(folder, Known(FOLDERID_RoamingAppData));
        EXPECT_TRUE(fs::is_directory(folder)) << folder;
    }
}

TEST(FoldersWindows, TempFolderFollowsTheSystemAndEndsInASeparator) {
    const std::string folder = UserTempFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '\\');
    EXPECT_TRUE(fs::is_directory(fs::path(Widen(folder)))) << folder;
    EXPECT_EQ(RuntimeFolder(), fs::path(Widen(folder)));

    const fs::path mine = fs::temp_directory_path() / (L"vxtmp-\u00e7-" + std::to_wstring(GetCurrentProcessId()));
    fs::create_directories(mine);
    {
        TScopedWideEnv env;
        env.Set(L"TMP", mine.c_str());
        // A name outside ASCII comes back as the same folder's short name, which the core can carry as text.
        const std::string temp = UserTempFolder();
        EXPECT_TRUE(std::all_of(temp.begin(), temp.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
            << temp;
        EXPECT_EQ(temp.back(), '\\');
        wchar_t longName[MAX_PATH] = {};
        ASSERT_GT(GetLongPathNameW(Widen(temp).c_str(), longName, MAX_PATH), 0u) << temp;
        EXPECT_EQ(fs::path(longName), mine / "") << temp;
    }
    fs::remove_all(mine);
}

TEST(FoldersWindows, ShellFoldersPreferTheHiveThenTheKnownFolders) {
    TMemoryHive hive;
    EXPECT_EQ(ShellFolder(hive, "Desktop"), Known(FOLDERID_Desktop));
    EXPECT_EQ(ShellFolder(hive, "Programs"), Known(FOLDERID_Programs));
    EXPECT_NE(Known(FOLDERID_Desktop), Known(FOLDERID_Programs));

    hive.WriteString(kShellFoldersKey, "Desktop", "");
    EXPECT_EQ(ShellFolder(hive, "Desktop"), Known(FOLDERID_Desktop)) << "an empty value is no folder";
    hive.WriteString(kShellFoldersKey, "Desktop", "E:\\\xC3\x81rea de trabalho");
    hive.WriteString(kShellFoldersKey, "Programs", "E:\\Menu\\Programas");
    EXPECT_EQ(ShellFolder(hive, "Desktop").wstring(), L"E:\\\u00c1rea de trabalho");
    EXPECT_EQ(ShellFolder(hive, "Programs").wstring(), L"E:\\Menu\\Programas");

    EXPECT_THROW(ShellFolder(hive, "Startup"), std::invalid_argument);
    EXPECT_THROW(ShellFolder(hive, "desktop"), std::invalid_argument);
}

}  // namespace
