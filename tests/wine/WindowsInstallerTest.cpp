// The Windows OrlaDesk.exe, run under Wine in a prefix of its own, installing
// and updating unattended against a real release server: what lands on disk,
// in the registry and on the desktop, and the exit code of each failure.
#include <cctype>
#include <cstdlib>

#include "platform/FileVersion.h"
#include "support/NginxServer.h"
#include "support/SilentServer.h"
#include "wine/WindowsInstallerFixture.h"

namespace e2e {
namespace {

TEST_F(WindowsInstaller, InstallsNamedInstallsAndUpdatesKeepingTheUsersData) {
    ASSERT_NO_FATAL_FAILURE(PublishAndServe());
    ProcessResult install = Run({"/install"});
    ASSERT_EQ(install.exitCode, 0) << Describe(install);
    ExpectDefaultInstallation();
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
    const fs::path folder = InstallFolder();
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
    ASSERT_NO_FATAL_FAILURE(PublishAndServe());
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
    ASSERT_NO_FATAL_FAILURE(PublishAndServe());
    ProcessResult install = Run({"/install"});
    ASSERT_EQ(install.exitCode, 0) << Describe(install);
    EXPECT_EQ(ReadTree(InstallFolder()), product);
    // The registered folder (its short name) must lead the next run to it.
    ProcessResult update = Run({"/update"});
    EXPECT_EQ(update.exitCode, 0) << Describe(update);
}

// Without an X display Wine has no desktop: the help goes to the console and an
// interactive start says that no window can be shown.
TEST_F(WindowsInstaller, TheHelpTheStartWithoutADesktopAndTheVersionResourceAreTheBuilds) {
    ProcessResult help = wine->Run(WinePrefix::Installer().string(), {"/?"});
    EXPECT_EQ(help.exitCode, 0) << help.err;
    EXPECT_NE(help.out.find("/install"), std::string::npos) << help.out;
    ProcessResult interactive = wine->Run(WinePrefix::Installer().string(), {});
    EXPECT_EQ(interactive.exitCode, 255);
    EXPECT_NE(interactive.err.find("no display is available for the installer window"), std::string::npos)
        << interactive.err;
    // Explorer and an installed copy's check read the version from the resource.
    const std::optional<TFileVersion> version = ReadPeFileVersion(WinePrefix::Installer());
    ASSERT_TRUE(version.has_value());
    EXPECT_EQ(GetFileVersionString(WinePrefix::Installer(), true), "1.81.0.0");
}

}  // namespace
}  // namespace e2e
