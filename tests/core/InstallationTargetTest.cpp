#include <gtest/gtest.h>

#include <map>

#include "engine/InstallationTarget.h"
#include "platform/RegistryHiveSqlite.h"
#include "support/BackgroundProcess.h"
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

struct ProcessCase {
    const char* what;
    TProcessInfo process;
    std::vector<std::string> modules;
    bool bRunning;
};

TEST(InstallationTargetProcesses, OnlyTheInstalledExecutableCountsHoweverItRuns) {
    const std::string path = "/home/u/Corvane/OrlaDesk/vantixchart.exe";
    const std::string loader = "/usr/lib/wine/wine64-preloader";
    const std::vector<ProcessCase> cases = {
        {"its own executable", {10, path, "vantixchart.exe"}, {path}, true},
        {"in another letter case", {10, "/home/u/Corvane/OrlaDesk/VANTIXCHART.EXE", "VANTIXCHART.EXE"}, {}, true},
        {"a loader that maps it", {10, loader, "wine64-preloader", {"C:\\vantixchart.exe"}, "/"}, {path}, true},
        {"a loader given its path", {10, loader, "wine64-preloader", {"wine", path}, "/tmp"}, {}, true},
        {"a loader given it relative to its working folder",
         {10, loader, "wine64-preloader", {"wine", "../OrlaDesk/./vantixchart.exe"}, "/home/u/Corvane/OrlaDesk_a"},
         {},
         true},
        {"the same name in another folder",
         {10, "/other/OrlaDesk/vantixchart.exe", "vantixchart.exe", {"/other/OrlaDesk/vantixchart.exe"}, "/"},
         {"/other/OrlaDesk/vantixchart.exe"},
         false},
        {"a relative name from another working folder",
         {10, loader, "wine64-preloader", {"wine", "vantixchart.exe"}, "/other/OrlaDesk"},
         {},
         false},
        {"a relative name without a readable working folder",
         {10, loader, "wine64-preloader", {"wine", "vantixchart.exe"}, ""},
         {},
         false},
        {"a process that is not the product",
         {11, "/usr/bin/bash", "bash", {"bash"}, "/home/u/Corvane/OrlaDesk"},
         {"/usr/lib/libc.so.6"},
         false},
    };
    for (const ProcessCase& c : cases) {
        FakeProcessList list;
        list.processes = {c.process};
        list.modules[c.process.nPid] = c.modules;
        EXPECT_EQ(TInstallationTarget::IsProcessRunning(list, path), c.bRunning) << c.what;
    }
}

// Real processes, seen through /proc: a stand-in loader runs the installed
// program without being it.
TEST(InstallationTargetProcesses, ProgramRunThroughALoaderIsSeen) {
    TempDir dir;
    const auto installed = dir / "OrlaDesk" / "vantixchart.exe";
    const auto other = dir / "Other" / "vantixchart.exe";
    for (const auto& file : {installed, other}) {
        std::filesystem::create_directories(file.parent_path());
        WriteFileText(file, "MZ image");
    }
    struct LoaderCase {
        const char* what;
        std::vector<std::string> args;
        std::vector<std::pair<std::string, std::string>> env;
        bool bRunning;
    };
    const std::vector<LoaderCase> cases = {
        {"maps the installed file", {}, {{"STANDIN_MAP", installed.string()}}, true},
        {"names it on its command line", {installed.string()}, {}, true},
        {"maps and names the same name in another folder", {other.string()}, {{"STANDIN_MAP", other.string()}}, false},
    };
    const auto processes = CreateProcessList();
    for (const LoaderCase& c : cases) {
        BackgroundProcess standIn(VX_BIN_DIR "/vx_standin_loader", c.args, c.env);
        ASSERT_TRUE(standIn.WaitForLine(std::chrono::seconds(10)) == std::optional<std::string>("ready"))
            << c.what << ": " << standIn.StderrText();
        EXPECT_EQ(TInstallationTarget::IsProcessRunning(*processes, installed.string()), c.bRunning) << c.what;
        standIn.Stop();
    }
}

}  // namespace
