// An unattended run that a worker ends with a failure code must stay ended: the
// record the worker dropped leaves the queues empty, which must not read as a
// finished run that places, registers and reports success after the quit. A
// run that unpacked a file failing its MD5 check ends the same way.
#include <gtest/gtest.h>

#include "base/ExitCode.h"
#include "base/MessageIds.h"
#include "engine/InstallerThread.h"
#include "platform/ProcessList.h"
#include "platform/RegistryHiveSqlite.h"
#include "support/EngineTestEnvironment.h"
#include "support/LogCapture.h"
#include "support/RecordingTarget.h"
#include "support/TestRelease.h"
#include "support/TestZip.h"
#include "workers/ExtractThread.h"

namespace {

using namespace std::chrono_literals;

// What the server sends for the package of a.dll.
enum class TPackage { AsReplied, Garbage, OtherContent };

struct FailureCase {
    const char* name;
    TReply reply;
    TPackage package;
    int exitCode;
};

class UnattendedFailureEnd : public testing::TestWithParam<FailureCase> {
protected:
    void SetUp() override {
        SetExitCode(0);
        TExtractThread::ResetCreateFailureFlag();
    }
    void TearDown() override {
        engine.reset();
        SetExitCode(0);
    }

    LogCapture log;
    TempDir dir;
    std::shared_ptr<TRegistryHiveSqlite> hive = std::make_shared<TRegistryHiveSqlite>(dir / "hkcu.sqlite", false);
    LocalHttpServer server;
    TestRelease release{server};
    RecordingTarget window;
    std::unique_ptr<TInstallerThread> engine;
};

TEST_P(UnattendedFailureEnd, NothingIsPlacedOrRegisteredAfterTheQuit) {
    release.Add("vantixchart.exe", std::string(5000, 'x'));
    release.Add("a.dll", std::string(3000, 'a'));
    release.Add("bin\\data.txt", "some data");
    release.Publish();
    TReply reply = GetParam().reply;
    if (GetParam().package == TPackage::Garbage) reply.strBody = std::string(release.Package("a.dll").size(), 'z');
    if (GetParam().package == TPackage::OtherContent) {
        // A well-formed package of the listed size whose file is not the release's.
        reply.strBody = MakeTestZip({{"a.dll", std::string(3000, 'b')}});
        ASSERT_EQ(reply.strBody.size(), release.Package("a.dll").size());
    }
    server.Route(release.PackagePath("a.dll"), reply);

    TEngineEnvironment env = TestEngineEnvironment(hive, dir / "appdata", server.BaseUrl());
    env.lstCommandLine = {"OrlaDesk", "/install"};
    engine = std::make_unique<TInstallerThread>(window, std::move(env));
    engine->Start();
    engine->WaitStart();
    engine->SetUnnatendedValues("", citInstall);
    engine->SetProxyConfig(TProxySettings{});
    engine->VerifyPreviousInstall();

    ASSERT_TRUE(window.WaitForCount(WM_QUIT, 1, 30s));
    // The engine keeps running after the quit (the process ends a moment later):
    // give its progress loop time to misread the empty queues.
    EXPECT_FALSE(log.WaitForLine("WriteRegistry", 1, 1s));
    EXPECT_EQ(GetExitCode(), GetParam().exitCode);
    EXPECT_EQ(window.Messages(WM_QUIT).size(), 1u);
    EXPECT_FALSE(hive->KeyExists("Software\\Corvane\\OrlaDesk"));
    EXPECT_FALSE(std::filesystem::exists(dir / "appdata/Corvane/OrlaDesk"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnattendedFailureEnd,
    testing::Values(FailureCase{"PackageMissing", TReply{404, "gone"}, TPackage::AsReplied, ecDownloadFailed},
                    FailureCase{"PackageNotAZip", TReply{}, TPackage::Garbage, ecUnexpected},
                    FailureCase{"PackageOfOtherContent", TReply{}, TPackage::OtherContent, ecUnexpected}),
    [](const testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

}  // namespace
