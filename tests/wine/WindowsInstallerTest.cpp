// The Windows OrlaDesk.exe, run under Wine in a prefix of its own, installing
// and updating unattended against a real release server: what lands on disk,
// in the registry and on the desktop, and the exit code of each failure.
#include <cctype>
#include <cstdlib>

#include "e2e/InstallerRunSupport.h"
#include "platform/FileVersion.h"
#include "support/NginxServer.h"
#include "support/SilentServer.h"
#include "support/WinePrefix.h"

namespace e2e {
namespace {

const std::string kAppKey = "Software\\Corvane\\OrlaDesk";
const std::string kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OrlaDesk";

std::u16string Utf16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

bool HoldsText(const std::string& bytes, const std::string& text) {
    if (bytes.find(text) != std::string::npos) return true;
    const std::u16string wide = Utf16(text);
    const std::string wideBytes(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
    return bytes.find(wideBytes) != std::string::npos;
}

class WindowsInstaller : public testing::Test {
protected:
    void SetUp() override {
        if (WinePrefix::Installer().empty()) {
            if (std::getenv("VX_REQUIRE_WINDOWS_BUILD")) FAIL() << "no Windows build in " << WinePrefix::WindowsBuild();
            GTEST_SKIP() << "no Windows build in " << WinePrefix::WindowsBuild() << " (scripts/build-windows)";
        }
        wine = std::make_unique<WinePrefix>();
        // The product's program is a real Windows program, so that it can run.
        product["vantixchart.exe"] = ReadFileText(WinePrefix::WindowsBuild() / "bin" / "vx_standin.exe");
    }

    void PublishAndServe(const std::string& version = "1.2.3.4") {
        release.Publish(product, version);
        Serve();
    }
    void Serve() {
        if (!server) server = std::make_unique<ReleaseServe>(release.Tree());
        ASSERT_TRUE(server->Started()) << server->RequestLog();
    }

    using Env = WinePrefix::Env;
    ProcessResult RunAt(const std::string& url, const std::vector<std::string>& args, const Env& extra = {}) const {
        Env env = {{"ORLADESK_DOWNLOAD_SERVER_URL", url},
                   {"ORLADESK_INSTALLER_VERSION_URL", url + "/produtos/bin/newvantix/"},
                   {"ORLADESK_ERROR_REPORT_URL",
                    "https://127.0.0.1:" + std::to_string(FreeLoopbackPort()) + "/software/error"}};
        env.insert(env.end(), extra.begin(), extra.end());
        return wine->Run(WinePrefix::Installer().string(), args, env, kRunTimeoutSeconds * 2);
    }
    ProcessResult Run(const std::vector<std::string>& args) const { return RunAt(server->Url(), args); }

    fs::path InstallFolder(const std::string& name = "") const {
        return wine->AppData() / "Corvane" / (name.empty() ? std::string("OrlaDesk") : "OrlaDesk_" + name);
    }

    std::string LastLog() const {
        std::string newest;
        fs::file_time_type newestTime;
        for (const auto& entry : fs::directory_iterator(wine->Temp())) {
            const std::string file = entry.path().filename().string();
            if (!file.starts_with("OrlaDesk ") || entry.path().extension() != ".log") continue;
            if (newest.empty() || entry.last_write_time() > newestTime) {
                newest = entry.path().string();
                newestTime = entry.last_write_time();
            }
        }
        return newest.empty() ? std::string() : ReadFileText(newest);
    }

    std::string Describe(const ProcessResult& run) const {
        return "exit " + std::to_string(run.exitCode) + "\n--- stdout\n" + run.out + "\n--- stderr\n" + run.err +
               "\n--- log\n" + LastLog();
    }

    void ExpectShortcutsTo(const std::string& file, const fs::path& installFolder) const {
        const std::string target = wine->WindowsPath(installFolder / "vantixchart.exe");
        for (const fs::path& link :
             {wine->Desktop() / file,
              wine->AppData() / "Microsoft" / "Windows" / "Start Menu" / "Programs" / "Corvane" / file}) {
            SCOPED_TRACE(link);
            ASSERT_TRUE(fs::is_regular_file(link));
            EXPECT_TRUE(HoldsText(ReadFileText(link), target)) << "the link must point at " << target;
        }
    }

    void ExpectNothingInstalled() const {
        EXPECT_FALSE(fs::exists(InstallFolder()));
        EXPECT_FALSE(wine->RegistryKeyExists(kAppKey + "\\1.0"));
        EXPECT_FALSE(wine->RegistryKeyExists(kUninstallKey));
        EXPECT_FALSE(fs::exists(wine->Desktop() / "Orla Desk.lnk"));
    }

    std::unique_ptr<WinePrefix> wine;
    ReleaseTree release;
    FileMap product = SampleProduct();
    std::unique_ptr<ReleaseServe> server;
};

TEST_F(WindowsInstaller, InstallsNamedInstallsAndUpdatesKeepingTheUsersData) {
    PublishAndServe();
    ProcessResult install = Run({"/install"});
    ASSERT_EQ(install.exitCode, 0) << Describe(install);
    const fs::path folder = InstallFolder();
    EXPECT_EQ(ReadTree(folder), product);
    const std::string installPath = wine->WindowsPath(folder) + "\\";
    EXPECT_EQ(wine->RegistryValue(kAppKey + "\\1.0", "Dir"), installPath);
    EXPECT_EQ(wine->RegistryValue(kUninstallKey, "DisplayName"), "Orla Desk");
    EXPECT_EQ(wine->RegistryValue(kUninstallKey, "InstallLocation"), installPath);
    EXPECT_EQ(wine->RegistryValue(kUninstallKey, "UninstallString"), "\"" + installPath + "Desinstalar.exe\"");
    EXPECT_EQ(wine->RegistryValue(kUninstallKey, "NoModify"), "0x1");
    ExpectShortcutsTo("Orla Desk.lnk", folder);
    EXPECT_NE(LastLog().find("TInstallerThread.WMSetupDownloads: Version=1.2.3.4"), std::string::npos)
        << "the log is in %TEMP%";

    ProcessResult named = Run({"/install", "desk2"});
    ASSERT_EQ(named.exitCode, 0) << Describe(named);
    EXPECT_EQ(ReadTree(InstallFolder("desk2")), product);
    EXPECT_EQ(wine->RegistryValue(kUninstallKey + "_desk2", "DisplayName"), "Orla Desk (desk2)");
    ExpectShortcutsTo("Orla Desk (desk2).lnk", InstallFolder("desk2"));
    ProcessResult again = Run({"/install", "desk2"});
    EXPECT_EQ(again.exitCode, 1) << Describe(again);
    ProcessResult nobody = Run({"/update", "nobody"});
    EXPECT_EQ(nobody.exitCode, 2) << Describe(nobody);

    // The user's own data, and a file the new release drops.
    WriteTree(folder, {{"database/desktops/mine.json", "{\"mine\": true}"}, {"old.dll", "gone"}});
    product["lib2.dll"] = RandomBytes(70000, 7);
    PublishAndServe("1.2.3.5");
    ProcessResult update = Run({"/update"});
    ASSERT_EQ(update.exitCode, 0) << Describe(update);
    FileMap expected = product;
    expected["database/desktops/mine.json"] = "{\"mine\": true}";
    EXPECT_EQ(ReadTree(folder), expected);
}

TEST_F(WindowsInstaller, AnUpdateWhileTheProductRunsEndsWithThreeAndChangesNothing) {
    PublishAndServe();
    ProcessResult install = Run({"/install"});
    ASSERT_EQ(install.exitCode, 0) << Describe(install);
    const fs::path exe = InstallFolder() / "vantixchart.exe";
    BackgroundProcess running(WinePrefix::WineProgram(), WinePrefix::WineArguments(wine->WindowsPath(exe), {}),
                              wine->Environment());
    ASSERT_TRUE(running.WaitForLineContaining("running", std::chrono::seconds(60))) << running.StderrText();

    product["lib2.dll"] = RandomBytes(70000, 7);
    PublishAndServe("1.2.3.5");
    ProcessResult update = Run({"/update"});
    EXPECT_EQ(update.exitCode, 3) << Describe(update);
    EXPECT_NE(ReadFileText(InstallFolder() / "lib2.dll"), product["lib2.dll"]);
    running.Stop();
}

struct BrokenPackageCase {
    const char* name;
    bool bDelete;
    int exitCode;
    friend void PrintTo(const BrokenPackageCase& c, std::ostream* out) { *out << c.name; }
};

class WindowsBrokenPackage : public WindowsInstaller, public testing::WithParamInterface<BrokenPackageCase> {};

TEST_P(WindowsBrokenPackage, InstallEndsWithItsCodeAndLeavesNothing) {
    release.Publish(product, "1.2.3.4");
    const fs::path package = release.PackageOf(product.at("lib1.dll"));
    if (GetParam().bDelete)
        fs::remove(package);
    else
        WriteFileText(package, RandomBytes(fs::file_size(package), 99));
    Serve();
    ProcessResult run = Run({"/install"});
    EXPECT_EQ(run.exitCode, GetParam().exitCode) << Describe(run);
    ExpectNothingInstalled();
}

INSTANTIATE_TEST_SUITE_P(WindowsInstaller, WindowsBrokenPackage,
                         testing::Values(BrokenPackageCase{"MissingPackage", true, 4},
                                         BrokenPackageCase{"DamagedPackage", false, 255}),
                         [](const testing::TestParamInfo<BrokenPackageCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(WindowsInstaller, AServerThatNeverAnswersEndsWithFour) {
    SilentServer silent;
    ProcessResult run = RunAt(silent.Url(), {"/install"});
    EXPECT_EQ(run.exitCode, 4) << Describe(run);
    ExpectNothingInstalled();
}

// What the maker deploys: nginx over TLS, a signed release, the edition's key.
// Wine takes a server's certificate only for a host name, not for an address.
TEST_F(WindowsInstaller, ASignedReleaseInstallsOverTlsAndAChangedPackageIsRefused) {
    if (!NginxServer::Installed()) GTEST_SKIP() << "nginx is not installed";
    const std::string tool = VX_BIN_DIR "/vxrelease";
    const fs::path key = release.Work() / "release.key";
    ASSERT_EQ(RunProcess(tool, {"keygen", "--out", key.string()}).exitCode, 0);
    const fs::path source = release.Work() / "product";
    WriteTree(source, product);
    const ProcessResult publish =
        RunProcess(tool, {"publish", source.string(), "--product", "orladesk", "--version", "1.2.3.4", "--channel",
                          "stable", "--out", release.Tree().string(), "--installer-version", "1.81", "--sign-key",
                          key.string()});
    ASSERT_EQ(publish.exitCode, 0) << publish.err;
    NginxServer nginx(release.Tree(), release.Work() / "nginx");
    ASSERT_TRUE(nginx.Started()) << nginx.FailureText();
    std::string url = nginx.TlsBaseUrl();
    url.replace(url.find("127.0.0.1"), 9, "localhost");
    std::string publicKey = ReadFileText(key.string() + ".pub");
    while (!publicKey.empty() && std::isspace(static_cast<unsigned char>(publicKey.back()))) publicKey.pop_back();
    const Env trust = {{"ORLADESK_CA_BUNDLE", "Z:" + NginxServer::CaPem()}, {"ORLADESK_RELEASE_PUBLIC_KEYS", publicKey}};

    ProcessResult install = RunAt(url, {"/install"}, trust);
    ASSERT_EQ(install.exitCode, 0) << Describe(install);
    EXPECT_EQ(ReadTree(InstallFolder()), product);

    const fs::path package = release.PackageOf(product.at("lib2.dll"));
    std::string bytes = ReadFileText(package);
    bytes[bytes.size() / 2] ^= 0x01;
    WriteFileText(package, bytes);
    ProcessResult refused = RunAt(url, {"/install", "other"}, trust);
    EXPECT_EQ(refused.exitCode, 255) << Describe(refused);
    EXPECT_NE(LastLog().find("Release not verified"), std::string::npos) << Describe(refused);
    EXPECT_FALSE(fs::exists(InstallFolder("other")));
}

// Many of the product's users have names like this one, and so have their
// profile folders; the installation must land in the real folder.
TEST_F(WindowsInstaller, AUserFolderWithLettersOutsideAsciiIsInstalledInto) {
    wine = std::make_unique<WinePrefix>("João");
    ASSERT_EQ(wine->UserFolder().filename().string(), "João");
    PublishAndServe();
    ProcessResult install = Run({"/install"});
    ASSERT_EQ(install.exitCode, 0) << Describe(install);
    EXPECT_EQ(ReadTree(InstallFolder()), product);
    // The registered folder (its short name) must lead the next run to it.
    ProcessResult update = Run({"/update"});
    EXPECT_EQ(update.exitCode, 0) << Describe(update);
}

TEST_F(WindowsInstaller, TheHelpTheWindowlessStartAndTheVersionResourceAreTheBuilds) {
    ProcessResult help = wine->Run(WinePrefix::Installer().string(), {"/?"});
    EXPECT_EQ(help.exitCode, 0) << help.err;
    EXPECT_NE(help.out.find("/install"), std::string::npos) << help.out;
    ProcessResult interactive = wine->Run(WinePrefix::Installer().string(), {});
    EXPECT_EQ(interactive.exitCode, 255);
    EXPECT_NE(interactive.err.find("this build has no installer window"), std::string::npos) << interactive.err;
    // Explorer and an installed copy's check read the version from the resource.
    const std::optional<TFileVersion> version = ReadPeFileVersion(WinePrefix::Installer());
    ASSERT_TRUE(version.has_value());
    EXPECT_EQ(GetFileVersionString(WinePrefix::Installer(), true), "1.81.0.0");
}

}  // namespace
}  // namespace e2e
