// Unattended runs of the real OrlaDesk that cannot finish: the exit code that
// tells the calling software why, and that nothing half-done is registered.
#include <signal.h>

#include "InstallerRunSupport.h"
#include "support/NginxServer.h"
#include "support/TestZip.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;

class InstallerFailure : public InstallerRunTest {};

TEST_F(InstallerFailure, UpdateWhileTheInstalledProductRunsEndsWithThree) {
    PublishAndServe();
    ProcessResult install = Run({"/install"});
    ASSERT_EQ(install.exitCode, 0) << Describe(install);

    // Packages carry no file modes, so the installed file is not executable
    // until it is marked so.
    const fs::path exe = box.InstallFolder() / "vantixchart.exe";
    fs::permissions(exe, fs::perms::owner_exec, fs::perm_options::add);
    BackgroundProcess product(exe.string(), {"30"});
    ASSERT_TRUE(product.IsRunning());
    const size_t logBefore = server->RequestLog().size();

    ProcessResult update = Run({"/update"});
    EXPECT_EQ(update.exitCode, 3) << Describe(update);
    EXPECT_EQ(box.LastLog().find("WMSetupDownloads"), std::string::npos) << "nothing is set up";
    EXPECT_EQ(server->RequestLog().substr(logBefore), "") << "nothing is asked of the server";
    EXPECT_TRUE(product.IsRunning());
    product.Stop();

    ProcessResult again = Run({"/update"});
    EXPECT_EQ(again.exitCode, 0) << "once the product has ended, the update runs\n" << Describe(again);
}

// How the server's copy of a package is spoilt. All but the deleted one keep
// the listed size, so that the download itself succeeds.
enum class TBreak { eDelete, eGarbage, eOtherContent };

// A well-formed zip of exactly `size` bytes whose one file is not the release's.
std::string OtherContentZip(const std::string& name, size_t size) {
    const size_t overhead = MakeTestZip({{name, ""}}, TZipCompression::Store).size();
    return MakeTestZip({{name, RandomBytes(size - overhead, 98)}}, TZipCompression::Store);
}

void BreakPackage(TBreak kind, const fs::path& package, const std::string& name) {
    if (kind == TBreak::eDelete) {
        fs::remove(package);
        return;
    }
    const size_t size = fs::file_size(package);
    WriteFileText(package, kind == TBreak::eGarbage ? RandomBytes(size, 99) : OtherContentZip(name, size));
}

// A release whose packages the server holds wrongly: the run must end with the
// code of its failure and register nothing.
struct BrokenPackageCase {
    const char* name;
    TBreak kind;
    int exitCode;
    const char* logLine;
};

class BrokenPackage : public InstallerFailure, public testing::WithParamInterface<BrokenPackageCase> {};

TEST_P(BrokenPackage, InstallEndsWithItsCodeAndRegistersNothing) {
    const BrokenPackageCase& c = GetParam();
    release.Publish(product, "1.2.3.4");
    BreakPackage(c.kind, release.PackageOf(product.at("lib1.dll")), "lib1.dll");
    Serve();

    ProcessResult run = Run({"/install"});
    EXPECT_EQ(run.exitCode, c.exitCode) << Describe(run);
    EXPECT_NE(box.LastLog().find(c.logLine), std::string::npos) << Describe(run);
    // The engine must not go on to place and register what the other files gave,
    // nor leave them on the disk.
    ExpectNothingInstalled();
    EXPECT_TRUE(FoldersStartingWith(box.AppData() / "Corvane", "temp_install").empty());
}

INSTANTIATE_TEST_SUITE_P(
    InstallerFailure, BrokenPackage,
    testing::Values(BrokenPackageCase{"MissingPackage", TBreak::eDelete, 4,
                                      "TDownloadThread.DownloadSingleFile: Download failed"},
                    BrokenPackageCase{"PackageIsNotAZip", TBreak::eGarbage, 255, "TExtractThread.Execute: Exception="},
                    // A valid package of another file (a stale mirror): refused before it takes its name.
                    BrokenPackageCase{"PackageHoldsAnotherFile", TBreak::eOtherContent, 255,
                                      "TExtractThread.Execute: Invalid hash for File: lib1.dll"}),
    [](const testing::TestParamInfo<BrokenPackageCase>& info) { return std::string(info.param.name); });

TEST_F(InstallerFailure, NoServerAnsweringEndsWithFourAfterThreeVersionQueries) {
    const int closedPort = FreeLoopbackPort();
    ASSERT_GT(closedPort, 0);
    ProcessResult run = RunAt("http://127.0.0.1:" + std::to_string(closedPort), {"/install"});
    EXPECT_EQ(run.exitCode, 4) << Describe(run);
    const std::string log = box.LastLog();
    EXPECT_EQ(Occurrences(log, "TInstallerThread.WMSetupDownloads: Error getting vantix version info: "), 3u)
        << Describe(run);
    ExpectNothingInstalled();
    EXPECT_TRUE(FoldersStartingWith(box.Temp(), "Corvane_").empty());
}

// A run killed in the middle leaves only its temporary install folder; the next
// run starts over and succeeds (the kernel released the single-instance lock).
TEST_F(InstallerFailure, KilledInstallLeavesNothingRegisteredAndTheNextRunSucceeds) {
    if (!NginxServer::Installed()) GTEST_SKIP() << "nginx is not installed";
    product["big.dat"] = RandomBytes(400000, 7);  // stored as it is: random bytes do not compress
    release.Publish(product, "1.2.3.4");
    NginxServer nginx(release.Tree(), release.Work(), {.strExtraHttp = "limit_rate 100k;", .strAccessLogFormat = ""});
    ASSERT_TRUE(nginx.Started()) << nginx.FailureText();

    BackgroundProcess installer(kInstaller, {"/install"}, InstallerEnvironment(box, nginx.BaseUrl()));
    ASSERT_TRUE(WaitForLog(box, "Download succeeded", 60s)) << box.LastLog();
    ASSERT_TRUE(installer.IsRunning()) << "the slow package must still be on its way\n" << box.LastLog();
    ASSERT_EQ(kill(installer.Pid(), SIGKILL), 0);
    EXPECT_EQ(installer.Stop(), 128 + SIGKILL);

    ExpectNothingInstalled();
    EXPECT_EQ(FoldersStartingWith(box.AppData() / "Corvane", "temp_install").size(), 1u)
        << "the killed run's unpacked files wait in the temporary install folder";

    ProcessResult again = RunAt(nginx.BaseUrl(), {"/install"});
    ASSERT_EQ(again.exitCode, 0) << Describe(again);
    ExpectFolderHolds(box.InstallFolder(), product);
    EXPECT_TRUE(FoldersStartingWith(box.AppData() / "Corvane", "temp_install").empty());
    EXPECT_TRUE(HiveKeyExists(box, "Software\\Corvane\\OrlaDesk\\1.0"));
}

}  // namespace
}  // namespace e2e
