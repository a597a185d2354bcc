#include <gtest/gtest.h>

#include <map>

#include "engine/InstallationTarget.h"
#include "platform/RegistryHiveSqlite.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

namespace {

class FakeProcessList : public IProcessList {
public:
    std::vector<TProcessInfo> processes;
    std::map<int, std::vector<std::string>> modules;
    std::vector<TProcessInfo> Snapshot() const override { return processes; }
    std::vector<std::string> Modules(int pid) const override {
        auto it = modules.find(pid);
        return it == modules.end() ? std::vector<std::string>{} : it->second;
    }
};

class InstallationTargetTest : public ::testing::Test {
protected:
    void Register(const std::string& key, const std::string& dir) {
        hive.WriteString("Software\\Corvane\\" + key + "\\1.0", "Dir", dir);
    }
    LogCapture log;
    TempDir dir;
    TRegistryHiveSqlite hive{dir / "hkcu.sqlite", false};
    TInstallationTarget target{dir / "appdata"};
};

TEST_F(InstallationTargetTest, OnlyProductKeysWithAnExistingFolderCount) {
    std::filesystem::create_directories(dir / "a");
    for (auto key : {"OrlaDesk", "OrlaDesk_a", "orladesk_b", "Other", "OrlaDeskX"}) Register(key, (dir / "a").string());
    Register("OrlaDesk_gone", (dir / "deleted-by-hand").string());
    hive.CreateKey("Software\\Corvane\\OrlaDesk_nodir\\1.0");
    EXPECT_EQ(target.FindInstallations(hive), (std::vector<std::string>{"OrlaDesk", "OrlaDesk_a"}));
    EXPECT_EQ(log.CountContaining("Install Found: " + (dir / "a").string()), 2u);
}

TEST_F(InstallationTargetTest, RegisteredNamesThatWouldLeadElsewhereAreIgnored) {
    std::filesystem::create_directories(dir / "a");
    for (auto key : {"OrlaDesk_x/..", "OrlaDesk_..", "OrlaDesk_x.", "OrlaDesk_a"}) Register(key, (dir / "a").string());
    EXPECT_EQ(target.FindInstallations(hive), std::vector<std::string>{"OrlaDesk_a"});
    EXPECT_EQ(log.CountContaining("Install Ignored: OrlaDesk_"), 3u);
}

TEST_F(InstallationTargetTest, AnUnsafeNameNeverBecomesTheTarget) {
    target.SetName("a");
    for (auto name : {"x/..", "..", "x\\..\\..", "/st"})
        EXPECT_THROW(target.SetName(name), std::invalid_argument) << name;
    EXPECT_EQ(target.InstallPath(), (dir / "appdata").string() + "/Corvane/OrlaDesk_a/");
    EXPECT_EQ(target.CompanyFolder(), (dir / "appdata").string() + "/Corvane/");
}

TEST_F(InstallationTargetTest, MissingCompanyKeyMeansNoInstallation) {
    EXPECT_TRUE(target.FindInstallations(hive).empty());
}

TEST_F(InstallationTargetTest, NamesMapToFoldersAndKeys) {
    std::string base = (dir / "appdata").string() + "/Corvane/OrlaDesk";
    EXPECT_EQ(target.BasePath(), base);
    for (std::string unnamed : {"", "OrlaDesk"}) {
        target.SetName(unnamed);
        EXPECT_EQ(target.InstallPath(), base + "/");
        EXPECT_EQ(target.RegFolderName(), "OrlaDesk");
    }
    target.SetName("a");
    EXPECT_EQ(target.InstallPath(), base + "_a/");
    EXPECT_EQ(target.RegFolderName(), "OrlaDesk_a");
    EXPECT_EQ(target.TempInstallFolder(), (dir / "appdata").string() + "/Corvane/temp_install_orladesk/");
}

TEST(InstallationTargetKeys, WantedKeyAndCaseInsensitiveLookup) {
    EXPECT_EQ(TInstallationTarget::WantedKey(""), "OrlaDesk");
    EXPECT_EQ(TInstallationTarget::WantedKey("OrlaDesk"), "OrlaDesk");
    EXPECT_EQ(TInstallationTarget::WantedKey("a"), "OrlaDesk_a");
    EXPECT_TRUE(TInstallationTarget::ContainsKey({"OrlaDesk_Casa"}, "orladesk_casa"));
    EXPECT_FALSE(TInstallationTarget::ContainsKey({"OrlaDesk_a"}, "OrlaDesk"));
    EXPECT_EQ(TInstallationTarget::RegisteredName({"OrlaDesk", "OrlaDesk_Casa"}, "CASA"), "Casa");
    EXPECT_EQ(TInstallationTarget::RegisteredName({"OrlaDesk"}, "OrlaDesk"), "");
    EXPECT_EQ(TInstallationTarget::RegisteredName({"OrlaDesk"}, ""), "");
    EXPECT_EQ(TInstallationTarget::RegisteredName({"OrlaDesk_x"}, "y"), "y");
}

TEST(InstallationTargetProcesses, OnlyTheInstalledExecutableCounts) {
    FakeProcessList list;
    list.processes = {{10, "/other/OrlaDesk/vantixchart.exe", "vantixchart.exe"}, {11, "/usr/bin/bash", "bash"}};
    list.modules[10] = {"/other/OrlaDesk/vantixchart.exe", "/usr/lib/libc.so.6"};
    list.modules[11] = {"/home/u/Corvane/OrlaDesk/vantixchart.exe"};
    const std::string path = "/home/u/Corvane/OrlaDesk/vantixchart.exe";
    EXPECT_FALSE(TInstallationTarget::IsProcessRunning(list, path))
        << "the same product from another folder, and a process that is not the product, do not count";
    list.processes.push_back({12, "/home/u/Corvane/OrlaDesk/VANTIXCHART.EXE", "VANTIXCHART.EXE"});
    list.modules[12] = {"/home/u/Corvane/OrlaDesk/VANTIXCHART.EXE"};
    EXPECT_TRUE(TInstallationTarget::IsProcessRunning(list, path));
}

}  // namespace
