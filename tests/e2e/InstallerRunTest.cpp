// The real OrlaDesk installing and updating unattended against a real release
// server, in a sandbox: what lands on disk, in the hive and on the desktop, and
// what is asked of the server.
#include <sys/stat.h>

#include <algorithm>

#include "InstallerRunSupport.h"
#include "support/NginxServer.h"

namespace e2e {
namespace {

const std::string kAppKey = "Software\\Corvane\\";
const std::string kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::string WithSlash(const fs::path& folder) { return folder.string() + "/"; }

uint64_t TotalSize(const FileMap& files) {
    uint64_t total = 0;
    for (const auto& [rel, data] : files) total += data.size();
    return total;
}

std::vector<std::string> Sorted(std::vector<std::string> items) {
    std::sort(items.begin(), items.end());
    return items;
}

std::vector<std::string> PackagePaths(const ReleaseTree& release) {
    std::vector<std::string> paths;
    for (const std::string& name : release.Packages()) paths.push_back("/files/" + name);
    return paths;
}

class InstallerRun : public InstallerRunTest {
protected:
    // The shortcut pair of an installation: desktop and the company's menu folder.
    std::vector<fs::path> Shortcuts(const std::string& file) const {
        return {box.Desktop() / file, box.Applications() / "Corvane" / file};
    }

    void ExpectShortcutsTo(const std::string& file, const fs::path& installFolder) const {
        for (const fs::path& link : Shortcuts(file)) {
            SCOPED_TRACE(link);
            ASSERT_TRUE(fs::is_regular_file(link));
            auto entry = DesktopEntry(link);
            EXPECT_EQ(entry["Type"], "Application");
            EXPECT_EQ(entry["Exec"], (installFolder / "vantixchart.exe").string());
            EXPECT_EQ(entry["Name"], fs::path(file).stem().string());
            struct stat st{};
            ASSERT_EQ(stat(link.c_str(), &st), 0);
            EXPECT_NE(st.st_mode & S_IXUSR, 0u) << "a desktop entry must be executable to be trusted";
        }
    }
};

TEST_F(InstallerRun, FreshInstallPutsTheReleaseInPlaceRegistersItAndAddsShortcuts) {
    PublishAndServe();
    ProcessResult run = Run({"/install"});
    ASSERT_EQ(run.exitCode, 0) << Describe(run);

    const fs::path folder = box.InstallFolder();
    ExpectFolderHolds(folder, product);

    struct Expected {
        std::string key, name;
        TRegValue::TType type;
        std::string text;
        uint32_t number;
    };
    const std::string installPath = WithSlash(folder);
    const std::vector<Expected> values = {
        {kAppKey + "OrlaDesk\\1.0", "Dir", TRegValue::rtString, installPath, 0},
        {kAppKey + "OrlaDesk\\1.0\\Default", "IsDarkTheme", TRegValue::rtString, "1", 0},
        {kAppKey + "OrlaDesk\\1.0\\Preferences", "Language", TRegValue::rtString, "0", 0},
    };
    for (const Expected& want : values) {
        SCOPED_TRACE(want.key + " " + want.name);
        auto value = HiveValue(box, want.key, want.name);
        ASSERT_TRUE(value.has_value());
        EXPECT_EQ(value->nType, want.type);
        EXPECT_EQ(value->strData, want.text);
    }

    // The uninstall entry, value by value in the order it is written. The product
    // executable is not a PE image, so its version is the fallback in two parts.
    const std::vector<Expected> uninstall = {
        {"", "DisplayName", TRegValue::rtString, "Orla Desk", 0},
        {"", "DisplayIcon", TRegValue::rtString, installPath + "vantixchart.exe", 0},
        {"", "DisplayVersion", TRegValue::rtString, "65535.65535", 0},
        {"", "InstallLocation", TRegValue::rtString, installPath, 0},
        {"", "Publisher", TRegValue::rtString, "Corvane", 0},
        {"", "NoModify", TRegValue::rtDword, "", 1},
        {"", "NoRepair", TRegValue::rtDword, "", 1},
        {"", "EstimatedSize", TRegValue::rtDword, "", static_cast<uint32_t>(TotalSize(product) / 1024)},
        {"", "Language", TRegValue::rtDword, "", 1046},
        {"", "Version", TRegValue::rtString, "65535.65535", 0},
        {"", "UninstallString", TRegValue::rtString, "\"" + installPath + "Desinstalar.exe\"", 0},
    };
    std::vector<TRegValue> written = OpenHive(box)->Values(kUninstallKey + "OrlaDesk");
    ASSERT_EQ(written.size(), uninstall.size());
    for (size_t i = 0; i < written.size(); ++i) {
        SCOPED_TRACE(uninstall[i].name);
        EXPECT_EQ(written[i].strName, uninstall[i].name);
        EXPECT_EQ(written[i].nType, uninstall[i].type);
        if (uninstall[i].type == TRegValue::rtString)
            EXPECT_EQ(written[i].strData, uninstall[i].text);
        else
            EXPECT_EQ(written[i].nData, uninstall[i].number);
    }

    ExpectShortcutsTo("Orla Desk.desktop", folder);

    const std::string log = box.LastLog();
    for (const std::string& line :
         {std::string("TInstallerThread.WMSetupDownloads: Version=1.2.3.4. Files count=") +
              std::to_string(product.size()),
          "WMSetNewInstall TempDir=" + (box.AppData() / "Corvane/temp_install_orladesk").string(),
          "TInstallerThread.WMUpdateProgress : New Install Path=" + installPath, std::string("WriteRegistry"),
          std::string("CreateShortcuts")})
        EXPECT_NE(log.find(line), std::string::npos) << line;

    EXPECT_TRUE(FoldersStartingWith(box.AppData() / "Corvane", "temp_install").empty());
    EXPECT_TRUE(FoldersStartingWith(box.Temp(), "Corvane_").empty()) << "the run's temporary folder is removed";

    // One release description and every package exactly once.
    const std::string requests = server->RequestLog();
    EXPECT_EQ(RequestedPaths(requests, "/version/"),
              std::vector<std::string>{"/version/orladesk/alpha/to/stable/pt-br_x64"});
    EXPECT_EQ(Sorted(RequestedPaths(requests, "/files/")), PackagePaths(release));
}

// The package never decides where its file lands: lib1.dll's package whose
// entry is named bin/e.sh (as long as the real name, so the package keeps its
// listed size and its data) installs lib1.dll and nothing else.
TEST_F(InstallerRun, PackageEntryNameNeverChoosesWhereTheFileLands) {
    release.Publish(product, "1.2.3.4");
    const fs::path package = release.PackageOf(product.at("lib1.dll"));
    std::string zip = ReadFileText(package);
    size_t nRenamed = 0;
    for (size_t at = zip.find("lib1.dll"); at != std::string::npos; at = zip.find("lib1.dll", at), ++nRenamed)
        zip.replace(at, 8, "bin/e.sh");
    ASSERT_EQ(nRenamed, 2u) << "the local header and the central directory";
    WriteFileText(package, zip);
    Serve();

    ProcessResult run = Run({"/install"});
    ASSERT_EQ(run.exitCode, 0) << Describe(run);
    ExpectFolderHolds(box.InstallFolder(), product);
    EXPECT_NE(box.LastLog().find("Package entry=bin/e.sh differs from File=lib1.dll"), std::string::npos);
}

TEST_F(InstallerRun, NamedInstallationsLiveSideBySideAndRefusalsDownloadNothing) {
    PublishAndServe();
    for (const std::string name : {"a", "b"}) {
        SCOPED_TRACE(name);
        ProcessResult run = Run({"/install", name});
        ASSERT_EQ(run.exitCode, 0) << Describe(run);
        ExpectFolderHolds(box.InstallFolder(name), product);
        EXPECT_EQ(HiveValue(box, kAppKey + "OrlaDesk_" + name + "\\1.0", "Dir")->strData,
                  WithSlash(box.InstallFolder(name)));
        EXPECT_EQ(HiveValue(box, kUninstallKey + "OrlaDesk_" + name, "DisplayName")->strData,
                  "Orla Desk (" + name + ")");
        ExpectShortcutsTo("Orla Desk (" + name + ").desktop", box.InstallFolder(name));
    }
    EXPECT_FALSE(fs::exists(box.InstallFolder()));
    EXPECT_FALSE(HiveKeyExists(box, kAppKey + "OrlaDesk"));
    const size_t downloads = RequestedPaths(server->RequestLog(), "/files/").size();

    struct Refusal {
        std::vector<std::string> args;
        int exitCode;
    };
    for (const Refusal& refusal : std::vector<Refusal>{{{"/install", "a"}, 1},
                                                       {{"/install", "B"}, 1},  // names ignore letter case
                                                       {{"/update", "nobody"}, 2},
                                                       {{"/update"}, 2}}) {  // no unnamed installation
        SCOPED_TRACE(refusal.args.back());
        ProcessResult run = Run(refusal.args);
        EXPECT_EQ(run.exitCode, refusal.exitCode) << Describe(run);
    }
    EXPECT_EQ(RequestedPaths(server->RequestLog(), "/files/").size(), downloads);
    EXPECT_FALSE(fs::exists(box.InstallFolder("nobody")));
    EXPECT_FALSE(fs::exists(box.Desktop() / "Orla Desk (nobody).desktop"));
}

TEST_F(InstallerRun, UpdateFetchesOnlyChangedFilesKeepsUserDataAndDropsObsoleteLibraries) {
    PublishAndServe();
    ProcessResult install = Run({"/install"});
    ASSERT_EQ(install.exitCode, 0) << Describe(install);

    const fs::path folder = box.InstallFolder();
    const FileMap userData = {
        {"database/cotationgrid/grid.json", "[1, 2, 3]"},
        {"database/desktops/mine.json", "{\"mine\": true}"},
        {"database/assetidlists/list.txt", "PETR4\nVALE3\n"},
        {"sub/old.dll", "a library in a sub-folder stays"},
    };
    WriteTree(folder, userData);
    WriteTree(folder, {{"database/cache.bin", "rebuilt by the product"}, {"old.dll", "gone in the new release"}});

    FileMap next = product;
    next["lib2.dll"] = RandomBytes(60000, 20);
    next["bin/quotes.txt"] += "VALE3 1\n";
    const std::set<std::string> before = release.Packages();
    release.Publish(next, "1.2.3.5");
    std::vector<std::string> added;
    for (const std::string& name : release.Packages())
        if (!before.count(name)) added.push_back("/files/" + name);
    ASSERT_EQ(added.size(), 2u);

    const size_t logBefore = server->RequestLog().size();
    ProcessResult update = Run({"/update"});
    ASSERT_EQ(update.exitCode, 0) << Describe(update);

    FileMap expected = next;
    expected.insert(userData.begin(), userData.end());
    ExpectFolderHolds(folder, expected);
    EXPECT_EQ(Sorted(RequestedPaths(server->RequestLog().substr(logBefore), "/files/")), added)
        << "only the two changed files are downloaded";

    const std::string log = box.LastLog();
    EXPECT_NE(log.find("WMSetUpdateOnly"), std::string::npos);
    EXPECT_NE(log.find("TInstallerThread.WMSetupDownloads: Version=1.2.3.5."), std::string::npos);
    EXPECT_NE(log.find("TInstallerThread.WMUpdateProgress : Reparation Path=" + WithSlash(folder)), std::string::npos);
    EXPECT_EQ(OpenHive(box)->ReadValue(kUninstallKey + "OrlaDesk", "EstimatedSize")->nData,
              TotalSize(expected) / 1024)
        << "the uninstall entry is rewritten with the new size";
    EXPECT_TRUE(FoldersStartingWith(folder, "database_backup").empty());
}

TEST_F(InstallerRun, FreshInstallFromNginxWithTheDeployedConfiguration) {
    if (!NginxServer::Installed()) GTEST_SKIP() << "nginx is not installed";
    release.Publish(product, "1.2.3.4");
    NginxServer nginx(release.Tree(), release.Work());
    ASSERT_TRUE(nginx.Started()) << nginx.FailureText();

    ProcessResult run = RunAt(nginx.BaseUrl(), {"/install"});
    ASSERT_EQ(run.exitCode, 0) << Describe(run) << nginx.ErrorLog();
    ExpectFolderHolds(box.InstallFolder(), product);
    EXPECT_TRUE(HiveKeyExists(box, kAppKey + "OrlaDesk\\1.0"));
    EXPECT_EQ(Sorted(RequestedPaths(nginx.AccessLog(), "/files/")), PackagePaths(release));
}

}  // namespace
}  // namespace e2e
