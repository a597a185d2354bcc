// An unattended run that a worker ends with a failure code must stay ended: the
// record the worker dropped leaves the queues empty, which must not read as a
// finished run that places, registers and reports success after the quit.
#include <gtest/gtest.h>

#include "app/ExitCode.h"
#include "engine/InstallerThread.h"
#include "engine/MessageIds.h"
#include "platform/ProcessList.h"
#include "platform/RegistryHiveSqlite.h"
#include "support/EngineTestEnvironment.h"
#include "support/LogCapture.h"
#include "support/RecordingTarget.h"
#include "support/TestRelease.h"
#include "workers/ExtractThread.h"

namespace {

using namespace std::chrono_literals;

struct FailureCase {
    const char* name;
    TReply reply;  // for the package of a.dll; empty body: the package's own size in garbage
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
    if (reply.nStatus == 200) reply.strBody = std::string(release.Package("a.dll").size(), 'z');
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

INSTANTIATE_TEST_SUITE_P(Cases, UnattendedFailureEnd,
                         testing::Values(FailureCase{"PackageMissing", TReply{404, "gone"}, ecDownloadFailed},
                                         FailureCase{"PackageNotAZip", TReply{200, ""}, ecUnexpected}),
                         [](const testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

}  // namespace
